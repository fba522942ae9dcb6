#include "tools/testsupport/LtcSourceProcess.h"

#include <cstdlib>

namespace testsupport {

using namespace std::chrono;

LtcSourceProcess::LtcSourceProcess(const PrivatePipeWire &pipewire, const std::vector<std::string> &arguments,
                                   milliseconds timeout)
{
    std::vector<std::string> argv { buildTreePath("bin/ltcsource") };
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    process_ = pipewire.start(argv);
    if (!process_->started()) {
        problem_ = "cannot start " + argv[0] + ": " + process_->error();
        return;
    }
    const std::string prefix = "ltcsource: ready node ";
    const auto deadline = steady_clock::now() + timeout;
    while (steady_clock::now() < deadline) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        const auto line = process_->readLine(left);
        if (!line)
            break;
        if (line->rfind(prefix, 0) == 0) {
            nodeId_ = uint32_t(std::strtoul(line->c_str() + prefix.size(), nullptr, 10));
            ready_ = true;
            return;
        }
    }
    problem_ = "ltcsource did not get ready";
}

LtcSourceProcess::~LtcSourceProcess() { stop(); }

std::string LtcSourceProcess::error() const
{
    return problem_ + (process_ ? ": " + process_->errorText() : std::string());
}

void LtcSourceProcess::stop()
{
    if (process_)
        process_->terminate();
}

} // namespace testsupport

#pragma once

#include "tools/testsupport/ChildProcess.h"
#include "tools/testsupport/PrivatePipeWire.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// An ltcsource child publishing an LTC node on a private PipeWire, started
// and waited for until its node and ports exist.
class LtcSourceProcess {
public:
    // `arguments` are ltcsource's options, e.g. {"--fps", "30", "--name", "LTC A"}.
    LtcSourceProcess(const PrivatePipeWire &pipewire, const std::vector<std::string> &arguments,
                     std::chrono::milliseconds timeout = std::chrono::seconds(30));
    ~LtcSourceProcess();

    bool ready() const { return ready_; }
    // Why it is not ready, with ltcsource's error output.
    std::string error() const;
    uint32_t nodeId() const { return nodeId_; }
    ChildProcess &process() { return *process_; }
    // SIGTERM and wait: the node disappears from the graph.
    void stop();

private:
    std::unique_ptr<ChildProcess> process_;
    bool ready_ = false;
    uint32_t nodeId_ = 0;
    std::string problem_;
};

} // namespace testsupport

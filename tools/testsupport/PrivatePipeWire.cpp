#include "tools/testsupport/PrivatePipeWire.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace testsupport {

using namespace std::chrono;
namespace fs = std::filesystem;

namespace {

std::string which(const std::string &program)
{
    for (const char *dir : { "/usr/bin", "/bin", "/usr/local/bin" }) {
        const std::string path = std::string(dir) + "/" + program;
        if (access(path.c_str(), X_OK) == 0)
            return path;
    }
    return program;
}

} // namespace

std::string buildTreePath(const std::string &relative)
{
    const char *dir = std::getenv("KAIRON_BUILD_DIR");
    return std::string(dir && *dir ? dir : KAIRON_TESTSUPPORT_BUILD_DIR) + "/" + relative;
}

PrivatePipeWire::PrivatePipeWire()
    : PrivatePipeWire(Options {})
{
}

PrivatePipeWire::PrivatePipeWire(const Options &options)
    : options_(options)
{
    std::string templ = (fs::temp_directory_path() / "kairon-pw-XXXXXX").string();
    if (!mkdtemp(templ.data())) {
        error_ = std::string("cannot make a temporary folder: ") + std::strerror(errno);
        return;
    }
    directory_ = templ;
    for (const char *sub : { "run", "config", "state" })
        fs::create_directories(fs::path(directory_) / sub);
    const std::string run = directory_ + "/run";
    overrides_ = {
        "XDG_RUNTIME_DIR=" + run,
        "PIPEWIRE_RUNTIME_DIR=" + run,
        "XDG_CONFIG_HOME=" + directory_ + "/config",
        "XDG_STATE_HOME=" + directory_ + "/state",
        "PIPEWIRE_REMOTE=pipewire-0",
        // Daemon messages go to the captured error output, not the journal.
        "PIPEWIRE_LOG_SYSTEMD=false",
    };
    if (options_.sessionManager) {
        bus_ = std::make_unique<ChildProcess>(ChildProcess::Options {
            { which("dbus-daemon"), "--session", "--nofork", "--nopidfile", "--address=unix:path=" + run + "/bus" },
            environmentWith(overrides_) });
        overrides_.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + run + "/bus");
        const auto deadline = steady_clock::now() + options_.timeout;
        while (!fs::exists(run + "/bus") && steady_clock::now() < deadline && bus_->running())
            std::this_thread::sleep_for(milliseconds(10));
        if (!fs::exists(run + "/bus")) {
            error_ = "the private session bus did not start: " + bus_->errorText();
            return;
        }
    }
    exportEnvironment();

    pipewire_ = start({ which("pipewire") });
    if (!pipewire_->started()) {
        error_ = "cannot start pipewire: " + pipewire_->error();
        return;
    }
    if (!waitFor("Core", "", "pipewire"))
        return;
    if (options_.sessionManager) {
        wireplumber_ = start({ which("wireplumber") });
        // The session manager announces itself with the "default" metadata.
        waitFor("Metadata", "metadata.name = \"default\"", "wireplumber");
    }
}

PrivatePipeWire::~PrivatePipeWire()
{
    // Clients first, then the daemon, then the bus they talk over.
    wireplumber_.reset();
    pipewire_.reset();
    bus_.reset();
    restoreEnvironment();
    if (!directory_.empty()) {
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }
}

void PrivatePipeWire::stopServer()
{
    wireplumber_.reset();
    pipewire_.reset();
}

std::vector<std::string> PrivatePipeWire::environment() const { return environmentWith(overrides_); }

std::unique_ptr<ChildProcess> PrivatePipeWire::start(const std::vector<std::string> &argv, bool dieWithParent) const
{
    return std::make_unique<ChildProcess>(ChildProcess::Options { argv, environment(), dieWithParent });
}

bool PrivatePipeWire::run(const std::vector<std::string> &argv, std::string &output, int &exitCode,
                          milliseconds timeout) const
{
    ChildProcess child(ChildProcess::Options { argv, environment() });
    if (!child.started() || !child.waitForExit(timeout)) {
        exitCode = -1;
        return false;
    }
    output = child.readRest(timeout);
    exitCode = child.exitCode();
    return true;
}

bool PrivatePipeWire::lists(const std::string &type, const std::string &text) const
{
    std::string output;
    int code = -1;
    const std::vector<std::string> argv = type == "Core" ? std::vector<std::string> { which("pw-cli"), "info", "0" }
                                                         : std::vector<std::string> { which("pw-cli"), "ls", type };
    return run(argv, output, code, seconds(10)) && code == 0 && output.find(text) != std::string::npos
        && output.find("Error") == std::string::npos;
}

bool PrivatePipeWire::waitFor(const std::string &type, const std::string &text, const std::string &what)
{
    const auto deadline = steady_clock::now() + options_.timeout;
    ChildProcess *daemon = what == "pipewire" ? pipewire_.get() : wireplumber_.get();
    while (steady_clock::now() < deadline) {
        if (lists(type, text))
            return true;
        if (daemon && !daemon->running()) {
            error_ = what + " ended before it was ready (exit status " + std::to_string(daemon->exitCode())
                + "): " + daemon->errorText();
            return false;
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
    error_ = what + " was not ready within " + std::to_string(options_.timeout.count()) + " ms: "
        + (daemon ? daemon->errorText() : std::string());
    return false;
}

void PrivatePipeWire::exportEnvironment()
{
    for (const auto &entry : overrides_) {
        const auto eq = entry.find('=');
        const std::string name = entry.substr(0, eq);
        const char *old = std::getenv(name.c_str());
        savedEnvironment_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name.c_str(), entry.c_str() + eq + 1, 1);
    }
}

void PrivatePipeWire::restoreEnvironment()
{
    for (auto it = savedEnvironment_.rbegin(); it != savedEnvironment_.rend(); ++it) {
        if (it->second)
            setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            unsetenv(it->first.c_str());
    }
    savedEnvironment_.clear();
}

} // namespace testsupport

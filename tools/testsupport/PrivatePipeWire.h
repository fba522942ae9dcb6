#pragma once

#include "tools/testsupport/ChildProcess.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A PipeWire daemon of the test's own, in a temporary folder: nothing of the
// user's audio setup is seen or touched. Optionally WirePlumber on a private
// session bus, for the path where a session manager links the streams.
// While it exists, this process's environment points at it too (restored on
// destruction); children get it explicitly through environment().
class PrivatePipeWire {
public:
    struct Options {
        bool sessionManager = false;
        std::chrono::milliseconds timeout = std::chrono::seconds(30);
    };

    PrivatePipeWire();
    explicit PrivatePipeWire(const Options &options);
    ~PrivatePipeWire();
    PrivatePipeWire(const PrivatePipeWire &) = delete;
    PrivatePipeWire &operator=(const PrivatePipeWire &) = delete;

    bool ready() const { return error_.empty(); }
    // What failed, with the daemons' own error output.
    const std::string &error() const { return error_; }
    const std::string &directory() const { return directory_; }
    std::vector<std::string> environment() const;

    std::unique_ptr<ChildProcess> start(const std::vector<std::string> &argv, bool dieWithParent = true) const;
    // Runs a program to its end; false when it did not end within the timeout.
    bool run(const std::vector<std::string> &argv, std::string &output, int &exitCode,
             std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;

    // Ends the daemons (session manager first), as when the audio server
    // goes away under its clients.
    void stopServer();

    // Whether `pw-cli ls <type>` lists an object with this property text,
    // e.g. ("Node", "node.name = \"LTC 25fps\"").
    bool lists(const std::string &type, const std::string &text) const;

private:
    bool waitFor(const std::string &type, const std::string &text, const std::string &what);
    void exportEnvironment();
    void restoreEnvironment();

    Options options_;
    std::string directory_;
    std::string error_;
    std::vector<std::string> overrides_;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
    std::unique_ptr<ChildProcess> bus_;
    std::unique_ptr<ChildProcess> pipewire_;
    std::unique_ptr<ChildProcess> wireplumber_;
};

// Absolute path of a program of the build tree ("bin/ltcsource"), from
// KAIRON_BUILD_DIR or else the tree this library was built in.
std::string buildTreePath(const std::string &relative);

} // namespace testsupport

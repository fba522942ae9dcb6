#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace testsupport {

// A child process started with an explicit environment, its standard output
// and error collected by reader threads so the child never blocks on a full
// pipe. The child leads its own process group; destruction ends the group.
class ChildProcess {
public:
    struct Options {
        std::vector<std::string> argv;        // argv[0] is the program path
        std::vector<std::string> environment; // "NAME=value" entries, passed as is
        // Ask the kernel to SIGKILL the child when the thread that started it
        // ends, so a crashed test leaves no daemon behind.
        bool dieWithParent = true;
    };

    explicit ChildProcess(const Options &options);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return pid_ > 0; }
    const std::string &error() const { return error_; }
    pid_t pid() const { return pid_; }

    // The next complete line of standard output (without the line end), or
    // nothing when the timeout passes or the output ended first.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Waits for the end of standard output and returns what was not yet read.
    std::string readRest(std::chrono::milliseconds timeout);
    // Everything the child wrote to standard error so far.
    std::string errorText() const;
    // Waits until standard output and error are closed (the child and
    // anything it left behind have ended), so the texts above are complete.
    bool waitForOutputEnd(std::chrono::milliseconds timeout);

    bool waitForExit(std::chrono::milliseconds timeout);
    bool running();
    // Valid after waitForExit succeeded.
    bool exitedNormally() const { return exited_ && WIFEXITED(status_); }
    int exitCode() const { return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }
    int termSignal() const { return WIFSIGNALED(status_) ? WTERMSIG(status_) : 0; }

    void signal(int sig) const;
    // SIGTERM, then SIGKILL when the child has not ended within the grace time.
    void terminate(std::chrono::milliseconds grace = std::chrono::seconds(10));

private:
    struct Stream {
        int fd = -1;
        std::string data;
        bool closed = false;
        std::thread reader;
    };
    void readLoop(Stream &stream);
    bool reap(bool block);
    void endGroup();

    pid_t pid_ = -1;
    int stopPipe_[2] = { -1, -1 };
    bool exited_ = false;
    int status_ = 0;
    std::string error_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Stream out_;
    Stream err_;
};

// The current environment with the given "NAME=value" entries replacing or
// adding to it.
std::vector<std::string> environmentWith(const std::vector<std::string> &overrides);

} // namespace testsupport

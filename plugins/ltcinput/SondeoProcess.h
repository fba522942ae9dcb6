#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// A Sondeo child whose standard output is a pipe to this process. Standard
// error stays ours. The child never inherits our other descriptors, and it is
// sent SIGTERM when the thread that started it ends (for the application, its
// main thread, so when the application dies), so no reader lingers.
class SondeoProcess
{
public:
    // What a child that cannot start the program writes to its standard
    // output: a frame line the listener parses like any other (11:11:11.11).
    static constexpr const char *kMarkerLine = "11:11:11.11nc11 11 11 11 11 11 11 11\n";

    SondeoProcess() = default;
    ~SondeoProcess();
    SondeoProcess(const SondeoProcess &) = delete;
    SondeoProcess &operator=(const SondeoProcess &) = delete;

    // Forks and runs `program` with `args` (argv[0] is the program path).
    // With markerOnFailure a child that cannot run the program writes the
    // marker line three times (the third after a second) and exits 127.
    // Returns false when the pipe or the fork fails.
    bool start(const std::string &program, const std::vector<std::string> &args,
               bool markerOnFailure);

    int readFd() const { return readFd_; }
    pid_t pid() const { return pid_; }

    void closeReadEnd();
    // Asks a still running child to end.
    void terminate();
    // Waits for the child; after `grace` it is killed. Returns the raw wait
    // status, or -1 when there was no child to collect.
    int reap(std::chrono::milliseconds grace);

private:
    int readFd_ = -1;
    pid_t pid_ = 0;
};

#include "plugins/ltcinput/SondeoProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

void writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        data += n;
        size -= size_t(n);
    }
}

// Runs in the forked child of a possibly multi-threaded parent: only
// async-signal-safe calls until exec or _exit.
[[noreturn]] void runChild(int writeFd, pid_t parent, const char *program, char *const argv[],
                           bool markerOnFailure)
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        ::_exit(0);
    if (writeFd != STDOUT_FILENO) {
        if (::dup2(writeFd, STDOUT_FILENO) < 0)
            ::_exit(127);
    } else if (::fcntl(STDOUT_FILENO, F_SETFD, 0) < 0) {
        // Our standard output was closed and the pipe took its number: dup2
        // would leave close-on-exec set and the program would start without output.
        ::_exit(127);
    }
    ::close_range(3, ~0U, 0);
    // The parent may have ignored SIGPIPE; Sondeo relies on it to notice a closed pipe.
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(program, argv);

    if (markerOnFailure) {
        const char *marker = SondeoProcess::kMarkerLine;
        const size_t size = std::strlen(marker);
        writeAll(STDOUT_FILENO, marker, size);
        writeAll(STDOUT_FILENO, marker, size);
        struct timespec second = { 1, 0 };
        while (::nanosleep(&second, &second) < 0 && errno == EINTR) { }
        writeAll(STDOUT_FILENO, marker, size);
    }
    ::_exit(127);
}

} // namespace

SondeoProcess::~SondeoProcess()
{
    closeReadEnd();
    terminate();
    reap(std::chrono::milliseconds(1000));
}

bool SondeoProcess::start(const std::string &program, const std::vector<std::string> &args,
                          bool markerOnFailure)
{
    if (pid_ != 0)
        return false;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) < 0)
        return false;

    // Everything the child needs is prepared before fork: it must not allocate.
    std::vector<std::string> argStore = args;
    if (argStore.empty())
        argStore.push_back(program);
    std::vector<char *> argv;
    for (auto &a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (child == 0)
        runChild(fds[1], parent, program.c_str(), argv.data(), markerOnFailure);

    ::close(fds[1]);
    readFd_ = fds[0];
    pid_ = child;
    return true;
}

void SondeoProcess::closeReadEnd()
{
    if (readFd_ >= 0) {
        ::close(readFd_);
        readFd_ = -1;
    }
}

void SondeoProcess::terminate()
{
    if (pid_ > 0)
        ::kill(pid_, SIGTERM);
}

int SondeoProcess::reap(std::chrono::milliseconds grace)
{
    if (pid_ <= 0)
        return -1;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + grace;
    for (;;) {
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = 0;
            return status;
        }
        if (r < 0 && errno != EINTR) {
            pid_ = 0;
            return -1;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) { }
    pid_ = 0;
    return status;
}

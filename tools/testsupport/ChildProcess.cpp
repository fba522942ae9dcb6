#include "tools/testsupport/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char **environ;

namespace testsupport {

using namespace std::chrono;

std::vector<std::string> environmentWith(const std::vector<std::string> &overrides)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto &o : overrides)
            replaced = replaced || o.substr(0, o.find('=')) == name;
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), overrides.begin(), overrides.end());
    return env;
}

ChildProcess::ChildProcess(const Options &options)
{
    if (options.argv.empty()) {
        error_ = "no program given";
        return;
    }
    int outPipe[2] = { -1, -1 }, errPipe[2] = { -1, -1 };
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0 || pipe2(stopPipe_, O_CLOEXEC) != 0) {
        error_ = std::string("cannot create pipes: ") + std::strerror(errno);
        // The stop pipe is the destructor's to close; the others are only known here.
        for (int fd : { outPipe[0], outPipe[1], errPipe[0], errPipe[1] })
            if (fd >= 0)
                close(fd);
        return;
    }
    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls are allowed in a threaded process.
    std::vector<char *> argv, envp;
    for (const auto &a : options.argv)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto &e : options.environment)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        if (options.dieWithParent) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent)
                _exit(127);
        }
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        execve(argv[0], argv.data(), envp.data());
        const char msg[] = "testsupport: exec failed\n";
        (void)!write(STDERR_FILENO, msg, sizeof msg - 1);
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        error_ = std::string("cannot fork: ") + std::strerror(errno);
        close(outPipe[0]);
        close(errPipe[0]);
        return;
    }
    pid_ = pid;
    setpgid(pid, pid); // also here, so the group exists before we signal it
    out_.fd = outPipe[0];
    err_.fd = errPipe[0];
    out_.reader = std::thread([this] { readLoop(out_); });
    err_.reader = std::thread([this] { readLoop(err_); });
}

ChildProcess::~ChildProcess()
{
    if (pid_ > 0) {
        terminate(seconds(5));
        endGroup();
    }
    if (stopPipe_[1] >= 0)
        (void)!write(stopPipe_[1], "x", 1);
    for (Stream *s : { &out_, &err_ }) {
        if (s->reader.joinable())
            s->reader.join();
        if (s->fd >= 0)
            close(s->fd);
    }
    for (int fd : stopPipe_)
        if (fd >= 0)
            close(fd);
}

void ChildProcess::readLoop(Stream &stream)
{
    char buffer[4096];
    for (;;) {
        pollfd fds[2] = { { stream.fd, POLLIN, 0 }, { stopPipe_[0], POLLIN, 0 } };
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents)
            break;
        const ssize_t n = read(stream.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        std::lock_guard lock(mutex_);
        if (n <= 0)
            break;
        stream.data.append(buffer, size_t(n));
        changed_.notify_all();
    }
    std::lock_guard lock(mutex_);
    stream.closed = true;
    changed_.notify_all();
}

std::optional<std::string> ChildProcess::readLine(milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    std::size_t end = std::string::npos;
    changed_.wait_for(lock, timeout, [&] {
        end = out_.data.find('\n');
        return end != std::string::npos || out_.closed;
    });
    if (end == std::string::npos)
        return std::nullopt;
    std::string line = out_.data.substr(0, end);
    out_.data.erase(0, end + 1);
    return line;
}

std::string ChildProcess::readRest(milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return out_.closed; });
    return std::exchange(out_.data, {});
}

bool ChildProcess::waitForOutputEnd(milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return out_.closed && err_.closed; });
}

std::string ChildProcess::errorText() const
{
    std::lock_guard lock(mutex_);
    return err_.data;
}

bool ChildProcess::reap(bool block)
{
    if (exited_)
        return true;
    if (pid_ <= 0)
        return false;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, block ? 0 : WNOHANG);
    if (r == pid_) {
        exited_ = true;
        status_ = status;
    }
    return exited_;
}

bool ChildProcess::waitForExit(milliseconds timeout)
{
    const auto deadline = steady_clock::now() + timeout;
    while (!reap(false)) {
        if (steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(milliseconds(10));
    }
    return true;
}

bool ChildProcess::running() { return pid_ > 0 && !reap(false); }

void ChildProcess::signal(int sig) const
{
    if (pid_ > 0 && !exited_)
        kill(pid_, sig);
}

void ChildProcess::terminate(milliseconds grace)
{
    if (!running())
        return;
    kill(pid_, SIGTERM);
    if (!waitForExit(grace)) {
        kill(pid_, SIGKILL);
        reap(true);
    }
}

void ChildProcess::endGroup()
{
    // Whatever the child left in its group (a grandchild holding our pipes).
    kill(-pid_, SIGKILL);
}

} // namespace testsupport

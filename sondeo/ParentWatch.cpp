#include "sondeo/ParentWatch.h"

#include <atomic>
#include <csignal>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace sondeo {

namespace {

// Kept apart from the termination signals: the kernel also sends it when only
// the forking thread of a still running parent ends, so it is verified first.
constexpr int kParentDeathSignal = SIGUSR1;

std::atomic<pid_t> startParent{0};
std::atomic<int> signalDescriptor{-1};
std::atomic<bool> wakeSent{false};

} // namespace

bool ParentWatch::begin()
{
    startParent.store(getppid());

    sigset_t watched;
    sigemptyset(&watched);
    sigaddset(&watched, SIGTERM);
    sigaddset(&watched, SIGINT);
    sigaddset(&watched, SIGHUP);
    sigaddset(&watched, kParentDeathSignal);
    pthread_sigmask(SIG_BLOCK, &watched, nullptr);
    signalDescriptor.store(signalfd(-1, &watched, SFD_CLOEXEC | SFD_NONBLOCK));

    prctl(PR_SET_PDEATHSIG, kParentDeathSignal);
    // The parent may have died before the signal was armed.
    return !parentGone();
}

int ParentWatch::descriptor()
{
    return signalDescriptor.load();
}

bool ParentWatch::parentGone()
{
    return getppid() != startParent.load(std::memory_order_relaxed);
}

bool ParentWatch::shouldEnd()
{
    bool end = false;
    const int fd = signalDescriptor.load();
    if (fd >= 0) {
        signalfd_siginfo info;
        while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (static_cast<int>(info.ssi_signo) != kParentDeathSignal)
                end = true;
        }
    }
    return end || parentGone();
}

bool ParentWatch::checkFromAudioThread()
{
    if (!parentGone())
        return true;
    if (!wakeSent.exchange(true))
        kill(getpid(), kParentDeathSignal);
    return false;
}

} // namespace sondeo

// The built Sondeo run as a child process, with no audio server reachable.

#include "sondeo/LineWriter.h"
#include "tools/testsupport/LtcSourceProcess.h"
#include "tools/testsupport/PrivatePipeWire.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// Starts the built Sondeo with a given environment and reads what it prints.
class SondeoChild : public testing::Test {
protected:
    struct Child {
        pid_t pid = -1;   // Sondeo
        pid_t middle = -1; // Sondeo's parent when started through one, else -1
        int out = -1;
        int err = -1;
    };

    // Starts Sondeo, directly or through a middle process that only waits.
    Child start(const std::vector<std::string> &args, bool throughMiddle = false, bool ignoreBrokenPipe = false)
    {
        std::vector<std::string> argStrings = {SONDEO_PATH};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<char *> argv, envp;
        for (std::string &a : argStrings)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string &e : env_)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        int out[2], err[2], pidPipe[2];
        EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
        EXPECT_EQ(pipe2(err, O_CLOEXEC), 0);
        EXPECT_EQ(pipe2(pidPipe, O_CLOEXEC), 0);

        auto execSondeo = [&] {
            if (ignoreBrokenPipe)
                signal(SIGPIPE, SIG_IGN); // kept across exec, as a parent may leave it
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        };

        Child child;
        const pid_t first = fork();
        if (first == 0) {
            if (!throughMiddle)
                execSondeo();
            const pid_t sondeo = fork();
            if (sondeo == 0)
                execSondeo();
            (void)!write(pidPipe[1], &sondeo, sizeof sondeo);
            for (;;)
                pause();
        }
        close(out[1]);
        close(err[1]);
        close(pidPipe[1]);
        child.out = out[0];
        child.err = err[0];
        if (throughMiddle) {
            child.middle = first;
            EXPECT_EQ(read(pidPipe[0], &child.pid, sizeof child.pid), static_cast<ssize_t>(sizeof child.pid));
        } else {
            child.pid = first;
        }
        close(pidPipe[0]);
        return child;
    }

    // Reads a descriptor to its end, giving up at the deadline.
    static std::string readAll(int fd, Clock::time_point deadline, bool *reachedEnd = nullptr)
    {
        std::string text;
        char buffer[512];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p = {fd, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
                break;
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n == 0) {
                if (reachedEnd)
                    *reachedEnd = true;
                break;
            }
            if (n < 0)
                break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

    // True once the process's main thread sleeps in poll: Sondeo's wait loop.
    static bool waitUntilWaiting(pid_t pid)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < deadline) {
            std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
            long number = -1;
            in >> number;
#ifdef SYS_poll
            if (number == SYS_poll)
                return true;
#endif
            if (number == SYS_ppoll)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // The exit status, or minus the signal that ended it; a process still
    // running after the patience is killed and reported as -1000.
    static int exitStatusOf(pid_t pid, std::chrono::seconds patience = std::chrono::seconds(10))
    {
        const auto deadline = Clock::now() + patience;
        int status = 0;
        pid_t done = 0;
        while ((done = waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (done != pid) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1000;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }

    std::vector<std::string> env_;
};

// An empty runtime folder: the audio server's socket is nowhere to be found.
class NoAudioServer : public SondeoChild {
protected:
    void SetUp() override
    {
        char dirTemplate[] = "/tmp/sondeo-noserver-XXXXXX";
        ASSERT_NE(mkdtemp(dirTemplate), nullptr);
        runtimeDir_ = dirTemplate;
        for (char **e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("XDG_RUNTIME_DIR=", 0) != 0 && entry.rfind("PIPEWIRE_", 0) != 0)
                env_.push_back(entry);
        }
        env_.push_back("XDG_RUNTIME_DIR=" + runtimeDir_);
        env_.push_back("PIPEWIRE_RUNTIME_DIR=" + runtimeDir_);
        env_.push_back("PIPEWIRE_REMOTE=" + runtimeDir_ + "/none");
    }
    void TearDown() override { std::filesystem::remove_all(runtimeDir_); }

    std::string runtimeDir_;
};

TEST_F(NoAudioServer, HelpAndVersionTexts)
{
    const std::string version = "Sondeo 2.1.4\n";
    const std::string usage =
        "Usage: Sondeo [[-hvd] | device side]\n"
        "  -h         Help (this screen)\n"
        "  -v         Sondeo Version\n"
        "  -d         Display all audio devices\n"
        "  device     The audio device to use (number, 0 is default)\n"
        "  side       L or R for the Left and Right audio chanels\n"
        "\n"
        "  If no parameters are taken, the left side of the default\n"
        "  device is used.\n";
    struct Row {
        std::vector<std::string> args;
        std::string out;
    };
    const Row rows[] = {
        {{"-v"}, version},
        {{"-h"}, version + usage},
        {{"--help"}, version + usage},
        {{"7", "-v", "-h"}, version},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        Child child = start(row.args);
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        EXPECT_EQ(readAll(child.out, deadline), row.out);
        EXPECT_EQ(readAll(child.err, deadline), "");
        EXPECT_EQ(exitStatusOf(child.pid), 0);
        close(child.out);
        close(child.err);
    }
}

TEST_F(NoAudioServer, DeviceListingIsEmptyAndSaysWhy)
{
    Child child = start({"-d"});
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    EXPECT_EQ(readAll(child.out, deadline), "");
    EXPECT_NE(readAll(child.err, deadline), "");
    EXPECT_EQ(exitStatusOf(child.pid), 0);
    close(child.out);
    close(child.err);
}

// A tool whose capture did not start waits until it is ended; however it
// ends, what it printed through buffered output reaches the reader, and the
// status is 0. The parent's death is noticed although the orphan is adopted
// by a subreaper (this test process), not by process 1.
TEST_F(NoAudioServer, WaitsAfterAFailedStartAndEndsCleanly)
{
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    struct Row {
        std::vector<std::string> args;
        bool killParent;
        std::string out;
        std::string errContains;
    };
    const Row rows[] = {
        {{"0", "0"}, true, "input->startPlayback( 0, 0 ); failed \n", ""},
        {{"3", "1"}, false, "input->startPlayback( 3, 1 ); failed \n", ""},
        {{"R", "L"}, true, "input->startPlayback( 0, 0 ); failed \n", ""},
        {{"0", "-1"}, true, "", "channel -1"},
        {{"0", "-2"}, false, "", "channel -2"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args) + (row.killParent ? " parent killed" : " terminated"));
        Child child = start(row.args, row.killParent);
        ASSERT_TRUE(waitUntilWaiting(child.pid)) << "Sondeo did not settle into its wait";

        if (row.killParent) {
            ASSERT_EQ(kill(child.middle, SIGKILL), 0);
            EXPECT_EQ(exitStatusOf(child.middle), -SIGKILL);
        } else {
            ASSERT_EQ(kill(child.pid, SIGTERM), 0);
        }
        bool ended = false;
        const std::string out = readAll(child.out, Clock::now() + std::chrono::seconds(1), &ended);
        EXPECT_TRUE(ended) << "still running a second later";
        EXPECT_EQ(out, row.out);
        const std::string err = readAll(child.err, Clock::now() + std::chrono::seconds(5));
        EXPECT_NE(err.find(row.errContains), std::string::npos) << err;
        EXPECT_NE(err.find("\nSondeo terminated"), std::string::npos) << err;
        EXPECT_EQ(exitStatusOf(child.pid), 0);
        close(child.out);
        close(child.err);
    }
}

// With a private audio server and one mono LTC source on it.
class MonoSource : public SondeoChild {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pipewire_.ready()) << pipewire_.error();
        source_ = std::make_unique<testsupport::LtcSourceProcess>(pipewire_, std::vector<std::string>{"--name", "LTC Mono"});
        ASSERT_TRUE(source_->ready()) << source_->error();
        env_ = pipewire_.environment();
    }

    testsupport::PrivatePipeWire pipewire_;
    std::unique_ptr<testsupport::LtcSourceProcess> source_;
};

// The line protocol has no message for a channel the device lacks: it is
// said on standard error, nothing is captured, and the tool waits.
TEST_F(MonoSource, ChannelBeyondTheDeviceIsRefused)
{
    Child child = start({"0", "1"});
    ASSERT_TRUE(waitUntilWaiting(child.pid));
    ASSERT_EQ(kill(child.pid, SIGTERM), 0);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    EXPECT_EQ(readAll(child.out, deadline), "");
    const std::string err = readAll(child.err, deadline);
    EXPECT_NE(err.find("device 0 has 1 input channel (0 to 0); channel 1 does not exist"), std::string::npos) << err;
    EXPECT_EQ(exitStatusOf(child.pid), 0);
    close(child.out);
    close(child.err);
}

// A parent that ignores the broken-pipe signal passes that on to the tool;
// it must still end once its reader has gone.
TEST_F(MonoSource, EndsWhenItsReaderClosesThePipeWithBrokenPipeIgnored)
{
    Child child = start({"0", "0"}, false, true);
    std::string out;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (out.find('\n') == std::string::npos && Clock::now() < deadline) {
        char buffer[64];
        pollfd p = {child.out, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            const ssize_t n = read(child.out, buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ASSERT_GE(out.size(), sondeo::kFrameLineLength) << "no frame line arrived";
    EXPECT_EQ(out.find('\n'), sondeo::kFrameLineLength - 1) << out;
    close(child.out);

    const std::string err = readAll(child.err, Clock::now() + std::chrono::seconds(10));
    EXPECT_NE(err.find("\nSondeo terminated"), std::string::npos) << err;
    EXPECT_EQ(exitStatusOf(child.pid), 0);
    close(child.err);
}

} // namespace

// The input with real child processes and pipes: a stand-in Sondeo script
// prints listings and frame lines, so these run without an audio server.
#include "kairon/core/PluginManager.h"
#include "orrery/TCMDTime.h"
#include "platform/ClassRegistry.h"
#include "plugins/ltcinput/SMPTETimeIn.h"
#include "plugins/ltcinput/SondeoProcess.h"
#include "plugins/ltcinput/tests/LtcTestLines.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class SondeoScript : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        SMPTETimeIn::setResourceFolderOverride(dir_.path());
    }
    void TearDown() override { SMPTETimeIn::setResourceFolderOverride(QString()); }

    // Installs "Sondeo" as a shell script with this body.
    void installSondeo(const std::string &body)
    {
        QFile f(dir_.filePath(QStringLiteral("Sondeo")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("#!/bin/sh\n" + body + "\n").c_str());
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QString path(const char *name) const { return dir_.filePath(QString::fromUtf8(name)); }
    void writeFile(const char *name, const std::string &text)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.c_str());
    }
    QString readFile(const char *name)
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    static bool waitFor(const std::function<bool()> &condition,
                        std::chrono::milliseconds limit = 5s)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (condition())
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return condition();
    }
    // No child of this process is left, running or as a zombie.
    static bool noChildLeft()
    {
        int status;
        return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
    }

    QTemporaryDir dir_;
};

TEST_F(SondeoScript, DiscoveryListsEveryChannelWithFullNumbers)
{
    installSondeo("[ \"$1\" = -d ] || exit 3\n"
                  "printf '>device Line In\\t0\\t0\\n>device Line In\\t0\\t1\\n'\n"
                  "printf 'Sondeo 2.1.4\\n>device\\n'\n"
                  "printf '>device Desk 12\\t10\\t11\\n'");
    const auto devices = SMPTETimeIn::getAllDevicesInit();
    ASSERT_EQ(devices.size(), 3u);
    struct Expected
    {
        const char *name;
        int32_t device, side;
    };
    const Expected expected[] = { { "Line In", 0, 0 }, { "Line In", 0, 1 }, { "Desk 12", 10, 11 } };
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(devices[i]->name(), QString::fromUtf8(expected[i].name));
        EXPECT_EQ(devices[i]->device(), expected[i].device);
        EXPECT_EQ(devices[i]->side(), expected[i].side);
    }
    EXPECT_TRUE(noChildLeft());
}

TEST_F(SondeoScript, ClassAddsOneStartedInputPerChannelToTheManager)
{
    installSondeo("if [ \"$1\" = -d ]; then printf '>device Line In\\t0\\t0\\n>device Line "
                  "In\\t0\\t1\\n'; exit 0; fi\n"
                  "exec yes '"
                  + frameLine(1, 2, 3, 4).substr(0, 36) + "'");
    auto cls = std::dynamic_pointer_cast<PluginClass>(
        platform::ClassRegistry::shared().classNamed("SMPTETimeIn"));
    ASSERT_TRUE(cls) << "the class object is registered by name";
    EXPECT_EQ(cls->pluginName(), QStringLiteral("Audio LTC"));
    EXPECT_TRUE(cls->conformsTo(QStringLiteral("tsyncInput")));
    EXPECT_FALSE(cls->conformsTo(QStringLiteral("tsyncOutput")));

    PluginManager manager;
    manager.addPluginClass(cls);
    const InputList inputs = manager.inputPluginInstances();
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[0]->name(), QStringLiteral("Line In (Left)"));
    EXPECT_EQ(inputs[1]->name(), QStringLiteral("Line In (Right)"));
    auto left = std::dynamic_pointer_cast<SMPTETimeIn>(inputs[0]);
    auto right = std::dynamic_pointer_cast<SMPTETimeIn>(inputs[1]);
    ASSERT_TRUE(left && right);
    EXPECT_GT(left->cpid(), 0);
    EXPECT_GT(right->cpid(), 0);
    EXPECT_NE(left->cpid(), right->cpid()) << "each input has a Sondeo of its own";
    EXPECT_TRUE(waitFor([&] { return left->myTime() && right->myTime(); }));
}

TEST_F(SondeoScript, DiscoveryWithoutSondeoFindsNothing)
{
    const auto devices = SMPTETimeIn::getAllDevicesInit();
    EXPECT_TRUE(devices.empty());
    EXPECT_TRUE(noChildLeft());
}

TEST_F(SondeoScript, InputReadsFramesThenStopsAndCollectsItsChild)
{
    std::string lines;
    for (unsigned i = 0; i < 70; ++i)
        lines += frameLineAt(108000 + i, 25);
    writeFile("lines", "Sondeo capturing\n" + lines);
    installSondeo("echo \"$@\" > '" + path("args").toStdString() + "'\ncat '"
                  + path("lines").toStdString() + "'");

    auto in = SMPTETimeIn::initWithThisChannel(10, 12, QStringLiteral("Desk"));
    EXPECT_EQ(in->name(), QStringLiteral("Desk (12)"));
    ASSERT_TRUE(waitFor([&] { return in->cpid() == 0; })) << "listener did not stop at end of file";
    EXPECT_EQ(readFile("args"), QStringLiteral("10 12\n"));
    auto t = in->myTime();
    ASSERT_TRUE(t);
    EXPECT_EQ(t->fps(), 25u);
    EXPECT_EQ(t->second(), 2u);
    EXPECT_EQ(t->frame(), 19u);
    // The rate changed at the first wrap, which breaks the run once; 45 frames follow.
    EXPECT_EQ(in->statusLevel(), kStatusUnsteady);
    for (int i = 0; i < 10; ++i)
        in->statusLevel();
    EXPECT_EQ(in->statusLevel(), kStatusNoSignal);
    EXPECT_TRUE(waitFor([] { return SMPTETimeIn::totalReadersRunning() == 0; }));
    EXPECT_TRUE(noChildLeft());
}

TEST_F(SondeoScript, MissingSondeoGivesTheMarkerLines)
{
    // No Sondeo in the resources folder.
    auto in = SMPTETimeIn::initWithThisChannel(0, 0, QStringLiteral("Line In"));
    ASSERT_TRUE(waitFor([&] { return in->cpid() == 0; }, 5s));
    auto t = in->myTime();
    ASSERT_TRUE(t);
    EXPECT_EQ(t->hour(), 11u);
    EXPECT_EQ(t->minute(), 11u);
    EXPECT_EQ(t->second(), 11u);
    EXPECT_EQ(t->frame(), 11u);
    EXPECT_EQ(in->statusLevel(), kStatusNoSignal);
    EXPECT_TRUE(noChildLeft());
}

TEST_F(SondeoScript, DestroyedWhileReadingEndsChildAndListener)
{
    // An endless stream of lines while the main thread polls as the application does.
    installSondeo("exec yes '" + frameLine(1, 2, 3, 4).substr(0, 36) + "'");
    auto in = SMPTETimeIn::initWithThisChannel(0, 1, QStringLiteral("Line In"));
    const pid_t child = in->cpid();
    ASSERT_GT(child, 0);
    ASSERT_TRUE(waitFor([&] { return bool(in->myTime()); }));

    testing::internal::CaptureStderr();
    in->startDevice(0, 1);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Attempt to restart Sondeo while in use thwarted!"), std::string::npos);
    EXPECT_EQ(in->cpid(), child);

    const auto end = std::chrono::steady_clock::now() + 200ms;
    while (std::chrono::steady_clock::now() < end) {
        auto t = in->myTime();
        ASSERT_TRUE(t);
        EXPECT_EQ(t->minute(), 2u);
        in->statusLevel();
        in->currentTimeDelta();
        in->nowUB();
    }
    in.reset();
    EXPECT_EQ(SMPTETimeIn::totalReadersRunning(), 0);
    EXPECT_TRUE(noChildLeft());
    EXPECT_EQ(::kill(child, 0), -1);
}

TEST_F(SondeoScript, StopFromTheMainThreadWhileReadingEndsTheReaderCleanly)
{
    installSondeo("exec yes '" + frameLine(1, 2, 3, 4).substr(0, 36) + "'");
    auto in = SMPTETimeIn::initWithThisChannel(0, 0, QStringLiteral("Line In"));
    const pid_t child = in->cpid();
    ASSERT_GT(child, 0);
    ASSERT_TRUE(waitFor([&] { return bool(in->myTime()); }));

    in->stop();
    EXPECT_EQ(in->cpid(), 0);
    EXPECT_EQ(SMPTETimeIn::totalReadersRunning(), 0);
    EXPECT_TRUE(noChildLeft());
    EXPECT_EQ(::kill(child, 0), -1);
    ASSERT_TRUE(in->myTime());
    EXPECT_EQ(in->myTime()->minute(), 2u);

    // A stopped input starts again on request, with a new child and listener.
    in->startDevice(0, 0);
    EXPECT_GT(in->cpid(), 0);
    EXPECT_NE(in->cpid(), child);
    EXPECT_TRUE(waitFor([] { return SMPTETimeIn::totalReadersRunning() == 1; }));
    in.reset();
    EXPECT_EQ(SMPTETimeIn::totalReadersRunning(), 0);
    EXPECT_TRUE(noChildLeft());
}

TEST_F(SondeoScript, ChildIgnoringTerminationIsStillCollected)
{
    installSondeo("trap '' TERM\nwhile :; do sleep 0.05; done");
    auto in = SMPTETimeIn::initWithThisChannel(0, 0, QStringLiteral("Stubborn"));
    ASSERT_GT(in->cpid(), 0);
    std::this_thread::sleep_for(50ms);
    in.reset();
    EXPECT_TRUE(noChildLeft());
}

TEST_F(SondeoScript, ManyInputsStartAndStopTogether)
{
    installSondeo("exec yes '" + frameLine(5, 6, 7, 8).substr(0, 36) + "'");
    std::vector<std::shared_ptr<SMPTETimeIn>> inputs;
    for (int side = 0; side < 12; ++side)
        inputs.push_back(
            SMPTETimeIn::initWithThisChannel(side / 2, side % 2, QStringLiteral("Bus")));
    ASSERT_TRUE(waitFor([&] {
        for (auto &in : inputs)
            if (!in->myTime())
                return false;
        return true;
    }));
    EXPECT_EQ(SMPTETimeIn::totalReadersRunning(), 12);
    inputs.clear();
    EXPECT_EQ(SMPTETimeIn::totalReadersRunning(), 0);
    EXPECT_TRUE(noChildLeft());
}

TEST(SondeoProcessTest, ChildWritesIntoThePipeWhenOurStandardOutputIsClosed)
{
    // With standard input and output closed the pipe takes descriptors 0 and
    // 1; that is tried in a forked tester so this process keeps its own.
    const pid_t tester = ::fork();
    ASSERT_GE(tester, 0);
    if (tester == 0) {
        ::close(STDIN_FILENO);
        ::close(STDOUT_FILENO);
        int result = 2;
        {
            SondeoProcess child;
            if (child.start("/bin/echo", { "/bin/echo", "ok" }, false)) {
                char buffer[8] = {};
                const ssize_t n = ::read(child.readFd(), buffer, sizeof buffer);
                result = (n == 3 && std::memcmp(buffer, "ok\n", 3) == 0) ? 0 : 1;
            }
        }
        ::_exit(result);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(tester, &status, 0), tester);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace

// The LTC input end to end: real Sondeo children capture ltcsource nodes on a
// private PipeWire; the bundles are loaded as the application loads them.
#include "orrery/TCMDTime.h"
#include "plugins/ltcinput/tests/InputHost.h"
#include "tools/testsupport/LtcSourceProcess.h"
#include "tools/testsupport/PrivatePipeWire.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;
using testsupport::LtcSourceProcess;
using testsupport::PrivatePipeWire;

class LtcEndToEnd : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "ltcinput_e2e_tests";
        static char *argv[] = { name, nullptr };
        app_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite()
    {
        delete app_;
        app_ = nullptr;
    }
    static double seconds(const TimeDelta &d) { return d.tv_sec + d.tv_usec / 1e6; }

    static QApplication *app_;
};
QApplication *LtcEndToEnd::app_ = nullptr;

// Polls an input's status like the main window's table timer and records
// when each level was first seen.
struct StatusTrace
{
    milliseconds firstYellow { -1 }, firstGreen { -1 };
    StatusLevel last = -100;
};

StatusTrace traceUntilGreen(tsyncInput &in, milliseconds limit)
{
    StatusTrace trace;
    const auto start = steady_clock::now();
    while (steady_clock::now() - start < limit) {
        trace.last = in.statusLevel();
        const auto at = duration_cast<milliseconds>(steady_clock::now() - start);
        if (trace.last == kStatusUnsteady && trace.firstYellow.count() < 0)
            trace.firstYellow = at;
        if (trace.last == kStatusReliable) {
            trace.firstGreen = at;
            break;
        }
        std::this_thread::sleep_for(50ms);
    }
    return trace;
}

TEST_F(LtcEndToEnd, SourcesBecomeNamedInputsAndTheLtcChannelTurnsGreen)
{
    PrivatePipeWire pipewire;
    ASSERT_TRUE(pipewire.ready()) << pipewire.error();
    // A stereo source with LTC on its right channel only, and a mono one.
    LtcSourceProcess stage(pipewire,
                           { "--name", "Stage", "--channels", "2", "--ltc-channel", "1", "--fps",
                             "25", "--offset", "2.5" });
    ASSERT_TRUE(stage.ready()) << stage.error();
    LtcSourceProcess booth(pipewire, { "--name", "Booth", "--fps", "29.97", "--offset", "-1.25" });
    ASSERT_TRUE(booth.ready()) << booth.error();

    {
        ltctest::InputHost host;
        const QStringList classes = host.inputClassNames();
        for (const char *cls : { "ConstantTimeIn", "SMPTETimeIn", "SystemTimeIn" })
            EXPECT_TRUE(classes.contains(QLatin1String(cls)))
                << cls << " in " << classes.join(", ").toStdString();
        const QStringList names = host.inputNames();
        for (const char *name : { "Stage (Left)", "Stage (Right)", "Booth (Left)", "System Time" })
            EXPECT_TRUE(names.contains(QLatin1String(name)))
                << name << " in " << names.join(", ").toStdString();

        auto right = host.inputNamed(QStringLiteral("Stage (Right)"));
        auto left = host.inputNamed(QStringLiteral("Stage (Left)"));
        auto mono = host.inputNamed(QStringLiteral("Booth (Left)"));
        ASSERT_TRUE(right && left && mono);

        const StatusTrace trace = traceUntilGreen(*right, 20s);
        ASSERT_EQ(trace.last, kStatusReliable) << "no steady LTC on Stage (Right)";
        EXPECT_GE(trace.firstYellow.count(), 0) << "went green without passing yellow";
        EXPECT_LT(trace.firstYellow, trace.firstGreen);
        std::printf("Stage (Right): yellow after %lld ms, green after %lld ms\n",
                    (long long)trace.firstYellow.count(), (long long)trace.firstGreen.count());

        auto t = right->myTime();
        ASSERT_TRUE(t);
        EXPECT_EQ(t->fps(), 25u);
        // The label is read after its frame has passed, so the offset comes out
        // a little below what the source added.
        const double offset = seconds(right->currentTimeDelta());
        EXPECT_LT(offset, 2.5 + 0.02);
        // Lower bound: a frame and a half of lag by design plus capture latency,
        // with room for a loaded machine (the lag is measured by a benchmark).
        EXPECT_GT(offset, 2.5 - 0.6);

        EXPECT_EQ(traceUntilGreen(*mono, 10s).last, kStatusReliable);
        ASSERT_TRUE(mono->myTime());
        EXPECT_EQ(mono->myTime()->fps(), 30u);
        EXPECT_TRUE(mono->myTime()->isDropFrame());
        const double monoOffset = seconds(mono->currentTimeDelta());
        EXPECT_LT(monoOffset, -1.25 + 0.02);
        EXPECT_GT(monoOffset, -1.25 - 0.6);

        EXPECT_EQ(left->statusLevel(), kStatusNoSignal) << "the silent channel decodes nothing";
        EXPECT_FALSE(left->myTime());

        EXPECT_EQ(ltctest::sondeoChildren().size(), 3u);
        right.reset();
        left.reset();
        mono.reset();
    }
    // The instances are gone with the manager: no Sondeo runs and none is a zombie.
    EXPECT_TRUE(ltctest::sondeoChildren().empty());
}

TEST_F(LtcEndToEnd, StoppedSourceTurnsRedWithinASecond)
{
    PrivatePipeWire pipewire;
    ASSERT_TRUE(pipewire.ready()) << pipewire.error();
    LtcSourceProcess source(pipewire, { "--name", "Line In", "--fps", "30" });
    ASSERT_TRUE(source.ready()) << source.error();

    ltctest::InputHost host;
    auto in = host.inputNamed(QStringLiteral("Line In (Left)"));
    ASSERT_TRUE(in);
    ASSERT_EQ(traceUntilGreen(*in, 20s).last, kStatusReliable);

    source.stop();
    // Queried 13 times a second, as the main window's table does.
    const auto stopped = steady_clock::now();
    // Red comes from counting queries, so count them rather than time a busy
    // machine: the eleventh query without a frame turns it red, plus a few
    // for frames still on their way when the source went (at 13 queries a
    // second, about a second in all).
    StatusLevel level = kStatusReliable;
    int queries = 0;
    while (level != kStatusNoSignal && steady_clock::now() - stopped < 10s) {
        std::this_thread::sleep_for(77ms);
        level = in->statusLevel();
        ++queries;
    }
    const auto took = duration_cast<milliseconds>(steady_clock::now() - stopped);
    std::printf("red %lld ms (%d queries) after the source stopped\n", (long long)took.count(), queries);
    EXPECT_EQ(level, kStatusNoSignal);
    EXPECT_LE(queries, 16);

    // Sondeo ends when its device goes; its listener collects it.
    const auto end = steady_clock::now() + 5s;
    while (!ltctest::sondeoChildren().empty() && steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(ltctest::sondeoChildren().empty()) << "Sondeo left running or as a zombie";
}

} // namespace

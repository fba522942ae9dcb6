// Frame lines, frame-rate measurement, status and the delta to the system clock,
// driven straight into an unstarted input.
#include "plugins/ltcinput/SMPTETimeIn.h"
#include "orrery/TCMDTime.h"
#include "orrery/UBMDUserBits.h"
#include "plugins/ltcinput/LtcLineBuffer.h"
#include "plugins/ltcinput/tests/LtcTestLines.h"

#include <gtest/gtest.h>

#include <ctime>
#include <sys/time.h>

namespace {

TEST(SMPTETimeInLine, ParsesFieldsAndRejectsShortLines)
{
    struct Case
    {
        const char *what;
        std::string line;
        bool parsed;
        unsigned h, m, s, f;
        bool df;
        unsigned ub1, ub8;
    };
    const std::string full = "10:20:30.15dn01 02 03 04 05 06 07 08\n";
    const Case cases[] = {
        { "37 bytes with newline", full, true, 10, 20, 30, 15, true, 1, 8 },
        { "36 bytes, no terminator", full.substr(0, 36), true, 10, 20, 30, 15, true, 1, 8 },
        { "35 bytes is ignored", full.substr(0, 35), false, 0, 0, 0, 0, false, 0, 0 },
        { "a Sondeo start message is ignored", "Sondeo capturing device 0 side 0\n", false, 0, 0, 0,
          0, false, 0, 0 },
        { "marker line of a child that could not start", SondeoProcess::kMarkerLine, true, 11, 11,
          11, 11, false, 11, 11 },
        { "leading blanks in fields", " 1: 2: 3. 4nc15 00 00 00 00 00 00 09\n", true, 1, 2, 3, 4,
          false, 15, 9 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SMPTETimeIn in;
        in.processTCLine(c.line);
        auto t = in.myTime();
        ASSERT_EQ(bool(t), c.parsed);
        if (!c.parsed)
            continue;
        EXPECT_EQ(t->hour(), c.h);
        EXPECT_EQ(t->minute(), c.m);
        EXPECT_EQ(t->second(), c.s);
        EXPECT_EQ(t->frame(), c.f);
        EXPECT_EQ(t->isDropFrame(), c.df);
        EXPECT_EQ(t->fps(), 30u);
        auto ub = in.nowUB();
        ASSERT_TRUE(ub);
        EXPECT_EQ(ub->ub1(), c.ub1);
        EXPECT_EQ(ub->ub8(), c.ub8);
        EXPECT_EQ(in.statusLevel(), kStatusNoSignal);
    }
}

TEST(SMPTETimeInLine, RejectedLabelClearsTimeAndBreaksTheRun)
{
    SMPTETimeIn in;
    for (unsigned i = 1; i <= 10; ++i)
        in.processTCLine(frameLineAt(i, 30));
    ASSERT_EQ(in.statusLevel(), kStatusUnsteady);
    in.processTCLine(frameLine(1, 0, 0, 30)); // frame 30 does not exist at 30 fps
    EXPECT_FALSE(in.myTime());
    EXPECT_EQ(in.statusLevel(), kStatusNoSignal);
}

TEST(LtcLineBuffer, SplitsChunksIntoLines)
{
    const std::string a = frameLine(1, 0, 0, 1);
    const std::string b = frameLine(1, 0, 0, 2);
    LtcLineBuffer buffer;
    // One and a half lines in one read; the half is completed by the next read.
    auto lines = buffer.append(a + b.substr(0, 18));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], a);
    EXPECT_EQ(buffer.pending(), b.substr(0, 18));
    lines = buffer.append(b.substr(18) + "x\ry");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], b);
    EXPECT_EQ(lines[1], "x\r");
    EXPECT_EQ(buffer.pending(), "y");

    // A stream that never ends a line is dropped instead of growing without bound.
    lines = buffer.append(std::string(LtcLineBuffer::kMaxPendingBytes + 10, 'z'));
    EXPECT_TRUE(lines.empty());
    EXPECT_LE(buffer.pending().size(), LtcLineBuffer::kMaxPendingBytes);
}

TEST(SMPTETimeInStatus, FrameRateIsMeasuredAtEachWrapToFrameZero)
{
    struct Case
    {
        const char *what;
        unsigned framesInSecond; // frames 0 .. n-1, then frame 0 of the next second
        unsigned expectedFps;
    };
    const Case cases[] = {
        { "24 fps", 24, 24 },
        { "25 fps", 25, 25 },
        { "30 fps", 30, 30 },
        { "a second with a lost last frame leaves the rate", 23, 30 },
        { "an irregular count leaves the rate", 27, 30 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SMPTETimeIn in;
        EXPECT_EQ(in.fps(), 30u);
        for (unsigned f = 0; f < c.framesInSecond; ++f)
            in.processTCLine(frameLine(2, 0, 0, f));
        EXPECT_EQ(in.fps(), 30u) << "the rate only changes at frame 0";
        in.processTCLine(frameLine(2, 0, 1, 0));
        EXPECT_EQ(in.fps(), c.expectedFps);
        ASSERT_TRUE(in.myTime());
        EXPECT_EQ(in.myTime()->fps(), c.expectedFps);
    }
}

TEST(SMPTETimeInStatus, LevelFollowsConsecutiveFramesAndQueries)
{
    // Lines from count `start` on (30 fps, non-drop): the first line after
    // creation breaks the run unless its count is 1.
    struct Case
    {
        const char *what;
        unsigned start;
        unsigned lines;
        int queriesAfter; // status queries without a new line, the last one checked
        StatusLevel expected;
    };
    const unsigned oneHour = 108000;
    const Case cases[] = {
        { "first line is a break", oneHour, 1, 1, kStatusNoSignal },
        { "4 frames after the break", oneHour, 5, 1, kStatusNoSignal },
        { "5th frame after the break", oneHour, 6, 1, kStatusUnsteady },
        { "59th frame after the break", oneHour, 60, 1, kStatusUnsteady },
        { "60th frame after the break", oneHour, 61, 1, kStatusReliable },
        { "count 1 continues from creation: 5 frames", 1, 5, 1, kStatusUnsteady },
        { "consecutive across a second (01:00:00:29 to 01:00:01:00)", oneHour + 29 - 60, 62, 1,
          kStatusReliable },
        { "10 queries without a frame keep green", oneHour, 61, 10, kStatusReliable },
        { "the 11th query without a frame is red", oneHour, 61, 11, kStatusNoSignal },
        { "long runs stay green", oneHour, 3000, 1, kStatusReliable },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SMPTETimeIn in;
        for (unsigned i = 0; i < c.lines; ++i)
            in.processTCLine(frameLineAt(c.start + i, 30));
        StatusLevel level = -100;
        for (int q = 0; q < c.queriesAfter; ++q)
            level = in.statusLevel();
        EXPECT_EQ(level, c.expected);
    }
}

TEST(SMPTETimeInStatus, JumpOrRepeatAfterGreenIsRedUntilSteadyAgain)
{
    SMPTETimeIn in;
    for (unsigned i = 0; i < 61; ++i)
        in.processTCLine(frameLineAt(1000 + i, 30));
    ASSERT_EQ(in.statusLevel(), kStatusReliable);
    in.processTCLine(frameLineAt(1000 + 60, 30)); // repeated frame
    EXPECT_EQ(in.statusLevel(), kStatusNoSignal);
    for (unsigned i = 61; i < 66; ++i)
        in.processTCLine(frameLineAt(1000 + i, 30));
    EXPECT_EQ(in.statusLevel(), kStatusUnsteady);
}

// Seconds since the epoch of today's local date at the given time of day.
int64_t localToday(int h, int m, int s)
{
    time_t now = time(nullptr);
    struct tm cal;
    localtime_r(&now, &cal);
    cal.tm_hour = h;
    cal.tm_min = m;
    cal.tm_sec = s;
    return int64_t(mktime(&cal));
}

int64_t microsNow()
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return int64_t(tv.tv_sec) * 1000000 + tv.tv_usec;
}

TEST(SMPTETimeInDelta, LabelOnTodaysDateMinusTheClock)
{
    struct Case
    {
        const char *what;
        std::string line; // empty: no frame yet
        int h, m, s;
        int64_t frameMicros;
    };
    const Case cases[] = {
        { "frame 15 non-drop counts at 29.97", frameLine(12, 0, 1, 15, false), 12, 0, 1, 500500 },
        { "frame 15 drop-frame counts at 30", frameLine(12, 0, 1, 15, true), 12, 0, 1, 500000 },
        { "frame 0", frameLine(23, 59, 59, 0), 23, 59, 59, 0 },
        { "no time yet counts as midnight", "", 0, 0, 0, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SMPTETimeIn in;
        if (!c.line.empty())
            in.processTCLine(c.line);
        const int64_t label = localToday(c.h, c.m, c.s) * 1000000 + c.frameMicros;
        const int64_t before = microsNow();
        const TimeDelta d = in.currentTimeDelta();
        const int64_t after = microsNow();
        EXPECT_GE(d.tv_usec, 0);
        EXPECT_LE(d.tv_usec, 999999);
        const int64_t delta = int64_t(d.tv_sec) * 1000000 + d.tv_usec;
        EXPECT_LE(delta, label - before);
        EXPECT_GE(delta, label - after);
    }
}

TEST(SMPTETimeInName, DeviceNameAndChannelWord)
{
    struct Case
    {
        int32_t side;
        const char *expected;
    };
    const Case cases[] = { { 0, "Line In (Left)" },
                           { 1, "Line In (Right)" },
                           { 2, "Line In (2)" },
                           { 10, "Line In (10)" } };
    for (const Case &c : cases) {
        SMPTETimeIn::setResourceFolderOverride(QStringLiteral("/nonexistent"));
        auto in = SMPTETimeIn::initWithThisChannel(0, c.side, QStringLiteral("Line In"));
        EXPECT_EQ(in->name(), QString::fromUtf8(c.expected));
        EXPECT_EQ(SMPTETimeIn::pluginName(), QStringLiteral("Audio LTC"));
    }
    SMPTETimeIn::setResourceFolderOverride(QString());
}

} // namespace

#include "orrery/TCMDTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>

namespace {

// "HH:MM:SS:FF/fps", ';' before the frames of a drop-frame label, or "nil".
std::string text(const std::shared_ptr<const TCMDTime> &t)
{
    if (!t)
        return "nil";
    char buf[80];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u%c%02u/%u", t->hour(), t->minute(), t->second(),
                  t->isDropFrame() ? ';' : ':', t->frame(), t->fps());
    return buf;
}

bool sameLabel(const TCMDTime &a, const TCMDTime &b)
{
    return a.hour() == b.hour() && a.minute() == b.minute() && a.second() == b.second()
        && a.frame() == b.frame() && a.fps() == b.fps() && a.isDropFrame() == b.isDropFrame();
}

struct Rate
{
    uint32_t fps;
    bool dropFrame;
};

std::string rateName(const testing::TestParamInfo<Rate> &info)
{
    return "At" + std::to_string(info.param.fps) + (info.param.dropFrame ? "DropFrame" : "");
}

void PrintTo(const Rate &rate, std::ostream *os)
{
    *os << rate.fps << (rate.dropFrame ? " drop frame" : "");
}

class WholeDay : public testing::TestWithParam<Rate>
{
};

// Walks every label of a day in order: each valid label must number exactly
// one more than the one before, and that number must rebuild the label; each
// skipped drop-frame label must be rejected.
TEST_P(WholeDay, EveryLabelAndEveryCountRoundTrip)
{
    const auto [fps, df] = GetParam();
    const uint32_t skipped = df ? fps / 15 : 0;
    uint32_t expected = 0;
    for (uint32_t h = 0; h < 24; ++h) {
        for (uint32_t m = 0; m < 60; ++m) {
            for (uint32_t s = 0; s < 60; ++s) {
                for (uint32_t f = 0; f < fps; ++f) {
                    const auto label = TCMDTime::initWithHour(h, m, s, f, fps, df);
                    if (m % 10 != 0 && s == 0 && f < skipped) {
                        ASSERT_FALSE(label) << h << ":" << m << ":" << s << ";" << f;
                        continue;
                    }
                    ASSERT_TRUE(label) << h << ":" << m << ":" << s << ":" << f;
                    ASSERT_EQ(label->timeInFrames(), expected) << text(label);
                    const auto back = TCMDTime::initWithTimeInFrames(expected, fps, df);
                    ASSERT_TRUE(sameLabel(*back, *label)) << "count " << expected << " gives "
                                                          << text(back) << ", not " << text(label);
                    ++expected;
                }
            }
        }
    }
    // Every count of the day was visited once.
    const uint32_t day = 86400 * fps - 1296 * skipped;
    EXPECT_EQ(expected, day);
    EXPECT_EQ(text(TCMDTime::timeWithFrames(day, fps, df)),
              text(TCMDTime::initWithHour(0, 0, 0, 0, fps, df)));
}

INSTANTIATE_TEST_SUITE_P(Rates, WholeDay,
                         testing::Values(Rate { 24, false }, Rate { 25, false }, Rate { 30, false },
                                         Rate { 30, true }, Rate { 60, true }),
                         rateName);

// Frames per hour, ten minutes, skipping minute and day, seen through labels.
TEST(TCMDTime, FrameTotalsPerRate)
{
    struct Row
    {
        uint32_t fps;
        bool df;
        uint32_t H, T, M, D;
    };
    const Row rows[] = {
        { 30, true, 107892, 17982, 1798, 2589408 },  { 60, true, 215784, 35964, 3596, 5178816 },
        { 30, false, 108000, 18000, 1800, 2592000 }, { 25, false, 90000, 15000, 1500, 2160000 },
        { 24, false, 86400, 14400, 1440, 2073600 },
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::to_string(r.fps) + (r.df ? " drop frame" : ""));
        const uint32_t first = r.df ? r.fps / 15 : 0; // first label of a skipping minute
        EXPECT_EQ(TCMDTime::initWithHour(1, 0, 0, 0, r.fps, r.df)->timeInFrames(), r.H);
        EXPECT_EQ(TCMDTime::initWithHour(0, 10, 0, 0, r.fps, r.df)->timeInFrames(), r.T);
        EXPECT_EQ(TCMDTime::initWithHour(0, 2, 0, first, r.fps, r.df)->timeInFrames()
                      - TCMDTime::initWithHour(0, 1, 0, first, r.fps, r.df)->timeInFrames(),
                  r.M);
        EXPECT_EQ(TCMDTime::initWithHour(23, 59, 59, r.fps - 1, r.fps, r.df)->timeInFrames() + 1,
                  r.D);
        EXPECT_EQ(text(TCMDTime::timeWithFrames(-1, r.fps, r.df)),
                  text(TCMDTime::initWithHour(23, 59, 59, r.fps - 1, r.fps, r.df)));
    }
}

constexpr uint32_t u32max = std::numeric_limits<uint32_t>::max();
constexpr int64_t i64max = std::numeric_limits<int64_t>::max();
constexpr int64_t i64min = std::numeric_limits<int64_t>::min();

std::shared_ptr<TCMDTime> label(uint32_t h, uint32_t m, uint32_t s, uint32_t f, uint32_t fps,
                                bool df)
{
    return TCMDTime::initWithHour(h, m, s, f, fps, df);
}

struct Case
{
    const char *name;
    std::function<std::shared_ptr<const TCMDTime>()> make;
    const char *expected;
};

// Each case builds a value; "nil" is an empty result.
const Case cases[] = {
    // Validation of labels built from fields.
    { "30df minute start frame 0 rejected", [] { return label(0, 1, 0, 0, 30, true); }, "nil" },
    { "30df minute start frame 1 rejected", [] { return label(0, 1, 0, 1, 30, true); }, "nil" },
    { "30df minute start frame 2 valid", [] { return label(0, 1, 0, 2, 30, true); },
      "00:01:00;02/30" },
    { "30df tenth minute valid", [] { return label(0, 10, 0, 0, 30, true); }, "00:10:00;00/30" },
    { "30df midnight valid", [] { return label(0, 0, 0, 0, 30, true); }, "00:00:00;00/30" },
    { "30df second 1 frame 0 valid", [] { return label(0, 1, 1, 0, 30, true); }, "00:01:01;00/30" },
    { "60df frame 3 rejected", [] { return label(0, 1, 0, 3, 60, true); }, "nil" },
    { "60df frame 4 valid", [] { return label(0, 1, 0, 4, 60, true); }, "00:01:00;04/60" },
    { "25 clears the flag", [] { return label(0, 1, 0, 0, 25, true); }, "00:01:00:00/25" },
    { "24 clears the flag", [] { return label(0, 1, 0, 0, 24, true); }, "00:01:00:00/24" },
    { "frame equal to rate", [] { return label(0, 0, 0, 30, 30, false); }, "nil" },
    { "hour 24", [] { return label(24, 0, 0, 0, 30, false); }, "nil" },
    { "minute 60", [] { return label(0, 60, 0, 0, 30, false); }, "nil" },
    { "second 60", [] { return label(0, 0, 60, 0, 30, false); }, "nil" },
    { "rate 0", [] { return label(0, 0, 0, 0, 0, false); }, "nil" },
    { "rate 1", [] { return label(23, 59, 59, 0, 1, false); }, "23:59:59:00/1" },
    { "largest rate",
      [] { return label(23, 59, 59, TCMDTime::maxFps - 1, TCMDTime::maxFps, false); },
      "23:59:59:49709/49710" },
    { "rate above the largest", [] { return label(0, 0, 0, 0, TCMDTime::maxFps + 1, false); },
      "nil" },
    { "largest unsigned fields", [] { return label(u32max, u32max, u32max, u32max, u32max, true); },
      "nil" },
    // Counts to labels, not wrapped.
    { "count 1799", [] { return TCMDTime::initWithTimeInFrames(1799, 30, true); },
      "00:00:59;29/30" },
    { "count 1800", [] { return TCMDTime::initWithTimeInFrames(1800, 30, true); },
      "00:01:00;02/30" },
    { "count 2", [] { return TCMDTime::initWithTimeInFrames(2, 30, true); }, "00:00:00;02/30" },
    { "count 17982", [] { return TCMDTime::initWithTimeInFrames(17982, 30, true); },
      "00:10:00;00/30" },
    { "count of a day", [] { return TCMDTime::initWithTimeInFrames(2589408, 30, true); },
      "24:00:00;00/30" },
    { "flag kept at 25 skips one label",
      [] { return TCMDTime::initWithTimeInFrames(1500, 25, true); }, "00:01:00;01/25" },
    { "largest count at rate 1", [] { return TCMDTime::initWithTimeInFrames(u32max, 1, false); },
      "1193046:28:15:00/1" },
    { "largest count at the largest rate",
      [] { return TCMDTime::initWithTimeInFrames(u32max, u32max, true); },
      "00:00:01;00/4294967295" },
    { "count at rate 0 is the placeholder",
      [] { return TCMDTime::initWithTimeInFrames(5, 0, true); }, "00:00:00:00/0" },
    // Any count, wrapped into a day.
    { "day wraps to midnight", [] { return TCMDTime::timeWithFrames(2589408, 30, true); },
      "00:00:00;00/30" },
    { "minus one", [] { return TCMDTime::timeWithFrames(-1, 30, true); }, "23:59:59;29/30" },
    { "largest signed count", [] { return TCMDTime::timeWithFrames(i64max, 30, true); },
      "22:22:15;29/30" },
    { "smallest signed count", [] { return TCMDTime::timeWithFrames(i64min, 30, true); },
      "01:37:44;00/30" },
    { "flag cleared at 25", [] { return TCMDTime::timeWithFrames(1500, 25, true); },
      "00:01:00:00/25" },
    { "day of the largest rate",
      [] { return TCMDTime::timeWithFrames(-1, TCMDTime::maxFps, false); },
      "23:59:59:49709/49710" },
    { "wrapped at rate 0", [] { return TCMDTime::timeWithFrames(-1, 0, false); }, "00:00:00:00/0" },
    { "wrapped above the largest rate",
      [] { return TCMDTime::timeWithFrames(-1, TCMDTime::maxFps + 1, false); }, "00:00:00:00/0" },
    // Adding frames.
    { "plus one at the end of the day",
      [] { return label(23, 59, 59, 29, 30, false)->timeAddingFrames(1); }, "00:00:00:00/30" },
    { "minus one at midnight", [] { return label(0, 0, 0, 0, 30, false)->timeAddingFrames(-1); },
      "23:59:59:29/30" },
    { "plus one into a skipping minute",
      [] { return label(0, 0, 59, 29, 30, true)->timeAddingFrames(1); }, "00:01:00;02/30" },
    { "plus a whole day", [] { return label(12, 34, 56, 7, 30, false)->timeAddingFrames(2592000); },
      "12:34:56:07/30" },
    { "plus the largest count",
      [] { return label(23, 59, 59, 29, 30, true)->timeAddingFrames(i64max); }, "22:22:15;28/30" },
    { "minus the largest count",
      [] { return label(0, 0, 0, 0, 30, true)->timeAddingFrames(i64min); }, "01:37:44;00/30" },
    { "from a label past a day",
      [] { return TCMDTime::initWithTimeInFrames(2592001, 30, false)->timeAddingFrames(0); },
      "00:00:00:01/30" },
    { "to the placeholder", [] { return std::make_shared<TCMDTime>()->timeAddingFrames(1); },
      "00:00:00:00/0" },
    // The convenience constructor.
    { "frame count rolls over", [] { return TCMDTime::timeWithHour(0, 0, 0, 1800, 30, true); },
      "00:01:00;02/30" },
    { "frame count at rate 1", [] { return TCMDTime::timeWithHour(0, 0, 0, u32max, 1, false); },
      "1193046:28:15:00/1" },
    { "frame count at rate 0", [] { return TCMDTime::timeWithHour(0, 0, 0, 5, 0, false); }, "nil" },
    { "label form validates", [] { return TCMDTime::timeWithHour(0, 1, 0, 0, 30, true); }, "nil" },
    { "label form", [] { return TCMDTime::timeWithHour(1, 2, 3, 4, 25, false); },
      "01:02:03:04/25" },
    { "placeholder", [] { return std::make_shared<TCMDTime>(); }, "00:00:00:00/0" },
};

TEST(TCMDTime, NamedCases)
{
    for (const Case &c : cases)
        EXPECT_EQ(text(c.make()), c.expected) << c.name;
}

TEST(TCMDTime, CountsNamedByTheirLabels)
{
    struct Row
    {
        std::shared_ptr<TCMDTime> label;
        uint32_t count;
    };
    const Row rows[] = {
        { label(0, 10, 0, 0, 30, true), 17982 },
        { label(1, 0, 0, 0, 30, true), 107892 },
        { label(23, 59, 59, 29, 30, true), 2589407 },
        { label(23, 59, 59, 29, 30, false), 2591999 },
        { label(0, 1, 0, 2, 30, true), 1800 },
        { label(23, 59, 59, TCMDTime::maxFps - 1, TCMDTime::maxFps, false), 4294943999u },
        { TCMDTime::initWithTimeInFrames(u32max, 1, false), u32max },
        { TCMDTime::initWithTimeInFrames(u32max, u32max, true), u32max },
        { TCMDTime::initWithTimeInFrames(u32max, 30, true), u32max },
        { TCMDTime::initWithTimeInFrames(u32max, 24, true), u32max },
    };
    for (const Row &r : rows)
        EXPECT_EQ(r.label->timeInFrames(), r.count) << text(r.label);
}

TEST(TCMDTime, AddingFramesLeavesTheReceiverAndDropsTheSource)
{
    const auto start = label(10, 0, 0, 0, 30, true);
    start->setSource("deck A");
    const auto later = start->timeAddingFrames(1800);
    EXPECT_EQ(text(start), "10:00:00;00/30");
    EXPECT_EQ(start->source(), "deck A");
    EXPECT_EQ(text(later), "10:01:00;02/30");
    EXPECT_TRUE(later->source().isEmpty());
}

} // namespace

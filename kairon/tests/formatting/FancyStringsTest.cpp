#include "kairon/core/fancyStrings.h"
#include "orrery/TCMDTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

constexpr int32_t i32max = std::numeric_limits<int32_t>::max();
constexpr int32_t i32min = std::numeric_limits<int32_t>::min();

TEST(FancyTimeString, Labels)
{
    struct Row
    {
        std::shared_ptr<const TCMDTime> label;
        bool withFrames;
        const char *expected;
    };
    const Row rows[] = {
        { TCMDTime::initWithHour(1, 2, 3, 4, 30, false), true, "01:02:03.04" },
        { TCMDTime::initWithHour(1, 2, 3, 4, 30, false), false, "01:02:03" },
        { nullptr, true, "00:00:00.00" },
        { nullptr, false, "00:00:00" },
        { TCMDTime::initWithHour(1, 0, 0, 29, 30, true), true, "01:00:00.29" },
        { TCMDTime::initWithHour(0, 0, 0, 119, 120, false), true, "00:00:00.119" },
        { TCMDTime::initWithTimeInFrames(0xFFFFFFFFu, 1, false), true, "1193046:28:15.00" },
    };
    for (const Row &r : rows)
        EXPECT_EQ(fancyTimeString(r.label, r.withFrames), r.expected) << r.expected;
}

TEST(FancyOffsetString, Offsets)
{
    struct Row
    {
        TimeDelta delta;
        int32_t fraction;
        bool withFrames;
        const char *expected;
        const char *framesOnly;
    };
    const Row rows[] = {
        { { 0, 0 }, 30, true, "+00:00:00.00", "00" },
        { { 1, 500000 }, 30, true, "+00:00:01.15", "15" },
        { { 1, 500000 }, 100, true, "+00:00:01.50", "50" },
        { { 1, 500000 }, 30, false, "+00:00:01", "15" },
        { { -1, -500000 }, 30, true, "-00:00:01.15", "15" },
        { { -2, 500000 }, 30, true, "-00:00:01.15", "15" },
        { { 0, -400000 }, 25, true, "-00:00:00.10", "10" },
        { { 0, -500000 }, 30, true, "-00:00:00.15", "15" },
        { { 3661, 0 }, 30, true, "+01:01:01.00", "00" },
        { { 23 * 3600, 0 }, 30, true, "-01:00:00.00", "00" },
        { { 12 * 3600, 0 }, 30, true, "+12:00:00.00", "00" },
        { { -12 * 3600, 0 }, 30, true, "-12:00:00.00", "00" },
        { { 12 * 3600 + 1, 0 }, 30, true, "-11:59:59.00", "00" },
        { { -25 * 3600, 0 }, 30, true, "-01:00:00.00", "00" },
        // Several days round to exactly twelve hours, which stays as it is.
        { { 43200 + 3 * 86400, 0 }, 30, true, "+12:00:00.00", "00" },
        { { -43200 - 3 * 86400, 0 }, 30, true, "-12:00:00.00", "00" },
        { { 43200 + 3 * 86400, 40000 }, 1000, true, "-11:59:59.968", "968" },
        { { -1, 1000000 }, 30, true, "+00:00:00.00", "00" }, // sums to zero: no minus sign
        // Fractions: 0, negative, and above 100.
        { { 1, 500000 }, 0, true, "+00:00:01.00", "00" },
        { { 1, 500000 }, -30, true, "+00:00:01.15", "15" },
        { { 0, 500000 }, 1000, true, "+00:00:00.500", "500" },
        // The 32-bit float: at twelve hours the step is about 4 ms.
        { { 43199, 990000 }, 1000, true, "+11:59:59.988", "988" },
        { { 43199, 999000 }, 1000, true, "+12:00:00.00", "00" }, // rounds up to twelve hours
        // Extremes of both fields and of the fraction.
        { { 0, i32max }, 30, true, "+00:35:47.14", "14" },
        { { i32min, 0 }, 30, true, "-03:14:08.00", "00" },
        { { i32max, i32max }, i32min, true, "+03:48:16.00", "00" },
        { { i32min, i32min }, i32max, true, "-03:48:16.00", "00" },
        { { 0, -1 }, i32min, true, "-00:00:00.2147", "2147" },
        { { 0, 999999 }, i32max, true, "+00:00:00.2147481471", "2147481471" },
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.expected);
        EXPECT_EQ(fancyOffsetString(r.delta, r.fraction, r.withFrames), r.expected);
        EXPECT_EQ(fancyOffsetString_FramesOnly(r.delta, r.fraction), r.framesOnly);
    }
}

} // namespace

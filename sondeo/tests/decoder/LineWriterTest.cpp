#include "sondeo/LineWriter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

// The listing is tab separated and line based: a name must not break it.
TEST(LineWriter, DeviceLines)
{
    const std::string plain = "USB Audio CODEC";
    const std::string empty;
    const std::string withControls = "Desk\tLeft\nRight\r";
    struct Row {
        const std::string *name;
        int32_t device;
        int32_t channel;
        const char *line;
    };
    const Row rows[] = {
        {&plain, 0, 1, ">device USB Audio CODEC\t0\t1\n"},
        {&withControls, 2, 0, ">device Desk Left Right \t2\t0\n"},
        {&empty, 3, 0, ">device Audio input 3\t3\t0\n"},
        {nullptr, 12, 7, ">device Audio input 12\t12\t7\n"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(sondeo::deviceLine(row.name, row.device, row.channel), row.line);
}

TEST(LineWriter, FailureLine)
{
    EXPECT_EQ(sondeo::failureLine(-4, 2147483647), "input->startPlayback( -4, 2147483647 ); failed \n");
}

// Only the decoder's 4-bit fields fit the line; any other frame must still
// not lead the writer past the formatted text.
TEST(LineWriter, FrameLineNeverLongerThanItsBuffer)
{
    const int32_t wide = -100000000; // ten digits with the sign, still no overflow in tens * 10
    LtcFrame frame;
    frame.hourTens = frame.minuteTens = frame.secondTens = frame.frameTens = wide;
    frame.userBits1 = frame.userBits2 = frame.userBits3 = frame.userBits4 = INT32_MIN;
    frame.userBits5 = frame.userBits6 = frame.userBits7 = frame.userBits8 = INT32_MIN;
    char line[64];
    const std::size_t length = sondeo::formatFrameLine(frame, line);
    EXPECT_EQ(length, std::strlen(line));
}

} // namespace

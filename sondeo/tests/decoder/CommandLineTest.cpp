#include "sondeo/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using sondeo::Action;

TEST(CommandLine, ArgumentScan)
{
    struct Row {
        std::vector<const char *> args;
        Action action;
        int32_t device;
        int32_t side;
    };
    const Row rows[] = {
        {{}, Action::Capture, 0, 0},
        {{"-h"}, Action::Help, 0, 0},
        {{"--help"}, Action::Help, 0, 0},
        {{"-v"}, Action::Version, 0, 0},
        {{"-d"}, Action::ListDevices, 0, 0},
        {{"1", "-d"}, Action::ListDevices, 0, 0},     // a flag may stand anywhere
        {{"-v", "-h"}, Action::Version, 0, 0},        // the first flag decides
        {{"-dx"}, Action::Capture, 0, 0},             // flags match as a whole
        {{"0", "1"}, Action::Capture, 0, 1},
        {{"2", "R"}, Action::Capture, 2, 0},          // no digits reads as 0
        {{" +3", "-1x"}, Action::Capture, 3, -1},
        {{"5"}, Action::Capture, 0, 0},               // one argument: defaults
        {{"1", "1", "1"}, Action::Capture, 0, 0},     // three: defaults
        {{"99999999999", "-99999999999"}, Action::Capture, INT32_MAX, INT32_MIN},
    };
    for (const Row &row : rows) {
        std::vector<const char *> argv = {"Sondeo"};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        const sondeo::CommandLine line = sondeo::scanArguments(static_cast<int>(argv.size()), argv.data());
        SCOPED_TRACE(testing::PrintToString(row.args));
        EXPECT_EQ(line.action, row.action);
        EXPECT_EQ(line.device, row.device);
        EXPECT_EQ(line.side, row.side);
    }
}

} // namespace

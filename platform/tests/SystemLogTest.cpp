#include "platform/SystemLog.h"

#include <gtest/gtest.h>

namespace {

// The line reaches standard error as written: conversions in a message are
// text, never format directives.
TEST(SystemLog, WritesTheLineVerbatimToStandardError)
{
    const char *messages[] = {
        "sharedManager does not exist!",
        "100% done: %s %n %d",
        "Zeit: 12:00:00 – ö",
    };
    for (const char *message : messages) {
        testing::internal::CaptureStderr();
        platform::systemLog(QString::fromUtf8(message));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(message) + "\n");
    }
}

} // namespace

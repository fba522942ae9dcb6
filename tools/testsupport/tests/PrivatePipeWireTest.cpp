#include "tools/testsupport/LtcSourceProcess.h"
#include "tools/testsupport/PrivatePipeWire.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace testsupport;
using namespace std::chrono;

namespace {

bool processExists(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }

} // namespace

TEST(PrivatePipeWire, StartsIsolatedAndLeavesNothingBehind)
{
    const char *before = std::getenv("XDG_RUNTIME_DIR");
    const std::string runtimeBefore = before ? before : "";
    pid_t source = 0;
    std::string folder;
    {
        PrivatePipeWire pipewire;
        ASSERT_TRUE(pipewire.ready()) << pipewire.error();
        folder = pipewire.directory();
        EXPECT_EQ(std::string(std::getenv("PIPEWIRE_RUNTIME_DIR")), folder + "/run");
        EXPECT_TRUE(std::filesystem::exists(folder + "/run/pipewire-0"));

        LtcSourceProcess ltc(pipewire, { "--name", "Fixture Source", "--channels", "2" });
        ASSERT_TRUE(ltc.ready()) << ltc.error();
        source = ltc.process().pid();
        EXPECT_TRUE(pipewire.lists("Node", "node.name = \"Fixture Source\""));
        EXPECT_TRUE(pipewire.lists("Port", "node.id = \"" + std::to_string(ltc.nodeId()) + "\""));

        ltc.stop();
        EXPECT_TRUE(ltc.process().exitedNormally()) << ltc.process().errorText();
        EXPECT_EQ(ltc.process().exitCode(), 0);
        EXPECT_FALSE(pipewire.lists("Node", "node.name = \"Fixture Source\""));
    }
    EXPECT_FALSE(processExists(source));
    EXPECT_FALSE(std::filesystem::exists(folder));
    const char *after = std::getenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(after ? std::string(after) : std::string(), runtimeBefore);
}

TEST(PrivatePipeWire, LtcSourceRefusesBadOptionsWithoutAServer)
{
    // No daemon is needed to reject a bad command line, and the message says why.
    ChildProcess child({ { buildTreePath("bin/ltcsource"), "--fps", "26" }, environmentWith({}) });
    ASSERT_TRUE(child.waitForExit(seconds(30)));
    child.waitForOutputEnd(seconds(30));
    EXPECT_EQ(child.exitCode(), 2);
    EXPECT_NE(child.errorText().find("frame rate must be 24, 25, 29.97 or 30"), std::string::npos) << child.errorText();
}

// A node has room for 64 channels: a file with more is refused up front, with
// no daemon needed, instead of being described past that room.
TEST(PrivatePipeWire, LtcSourceRefusesAFileWithTooManyChannels)
{
    const std::string name = "ltcsource-65ch-" + std::to_string(getpid()) + ".wav";
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    {
        const uint16_t channels = 65, bits = 16;
        const uint32_t rate = 48000, frames = 16, dataSize = frames * channels * bits / 8;
        std::ofstream wav(path, std::ios::binary);
        auto put = [&](auto value) { wav.write(reinterpret_cast<const char *>(&value), sizeof value); };
        wav.write("RIFF", 4);
        put(uint32_t(36 + dataSize));
        wav.write("WAVEfmt ", 8);
        put(uint32_t(16));
        put(uint16_t(1)); // integer PCM
        put(channels);
        put(rate);
        put(uint32_t(rate * channels * bits / 8));
        put(uint16_t(channels * bits / 8));
        put(bits);
        wav.write("data", 4);
        put(dataSize);
        wav.write(std::string(dataSize, '\0').data(), dataSize);
    }
    ChildProcess child({ { buildTreePath("bin/ltcsource"), "--file", path }, environmentWith({}) });
    ASSERT_TRUE(child.waitForExit(seconds(30)));
    child.waitForOutputEnd(seconds(30));
    std::filesystem::remove(path);
    EXPECT_EQ(child.exitCode(), 1);
    EXPECT_NE(child.errorText().find("has 65 channels"), std::string::npos) << child.errorText();
}

TEST(PrivatePipeWire, WithSessionManager)
{
    PrivatePipeWire pipewire(PrivatePipeWire::Options { true, seconds(30) });
    ASSERT_TRUE(pipewire.ready()) << pipewire.error();
    EXPECT_TRUE(pipewire.lists("Metadata", "metadata.name = \"default\""));
}

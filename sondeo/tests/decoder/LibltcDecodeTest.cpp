// The decoder fed straight from samples made by an independent encoder.

#include "LtcTestSignal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

using namespace ltctest;

namespace {

struct CleanCase {
    double rate;
    double fps;
    bool dropFrame;
};

void PrintTo(const CleanCase &c, std::ostream *out)
{
    *out << c.fps << " fps at " << c.rate << " Hz";
}

std::string caseName(const testing::TestParamInfo<CleanCase> &info)
{
    const CleanCase &c = info.param;
    const char *fps = c.dropFrame ? "2997df" : c.fps == 24 ? "24" : c.fps == 25 ? "25" : "30";
    return std::string("fps") + fps + "_" + std::to_string(static_cast<int>(c.rate));
}

class CleanLtc : public testing::TestWithParam<CleanCase> {};

// Every frame after the first comes out, in order, with its flags and user
// bits; the first has no sync word before it. The run crosses a minute
// boundary, where drop-frame timecode skips frame numbers.
TEST_P(CleanLtc, YieldsEveryFrameAfterTheFirst)
{
    const CleanCase c = GetParam();
    const LtcSignal signal = encodeWithLibltc(c.rate, c.fps, c.dropFrame, 90, 1, 8, 59, 0);
    // Stereo with the code on the right channel, in capture-sized buffers.
    const DecodeResult result = decodeSamples(interleave(signal.samples, 2, 1), 2, 1);

    ASSERT_EQ(result.frames.size(), signal.frames.size() - 1);
    for (std::size_t i = 0; i < result.frames.size(); ++i) {
        ASSERT_TRUE(sameFrame(signal.frames[i + 1], result.frames[i]))
            << "frame " << i + 1 << ": expected " << describe(signal.frames[i + 1])
            << ", decoded " << describe(result.frames[i]);
    }
    EXPECT_EQ(result.frames.front().dropFrame, c.dropFrame ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(RatesAndFrameRates, CleanLtc,
                         testing::Values(CleanCase{44100, 24, false}, CleanCase{48000, 24, false},
                                         CleanCase{44100, 25, false}, CleanCase{48000, 25, false},
                                         CleanCase{44100, 29.97, true}, CleanCase{48000, 29.97, true},
                                         CleanCase{44100, 30, false}, CleanCase{48000, 30, false}),
                         caseName);

TEST(ChannelSelection, DecodesOnlyTheSelectedChannel)
{
    const LtcSignal signal = encodeWithLibltc(48000, 25, false, 10, 10, 0, 0, 0);
    const std::vector<float> stereo = interleave(signal.samples, 2, 1);
    EXPECT_EQ(decodeSamples(stereo, 2, 1).frames.size(), 9u);
    EXPECT_TRUE(decodeSamples(stereo, 2, 0).frames.empty());
}

// Noise, dropouts and spikes may cost frames, but every frame that comes
// out must be one that was sent, in order.
TEST(NoisyLtc, NeverYieldsAWrongFrame)
{
    for (const CleanCase c : {CleanCase{44100, 30, false}, CleanCase{48000, 25, false},
                              CleanCase{44100, 24, false}, CleanCase{48000, 29.97, true}}) {
        SCOPED_TRACE(testing::Message() << c.fps << " fps at " << c.rate);
        LtcSignal signal = encodeWithLibltc(c.rate, c.fps, c.dropFrame, 300, 23, 59, 50, 0);
        std::mt19937 random(1234);
        std::normal_distribution<float> noise(0.0f, 0.04f);
        std::uniform_int_distribution<std::size_t> place(0, signal.samples.size() - 1);
        std::uniform_int_distribution<int> dropoutLength(40, 3000);

        for (float &s : signal.samples)
            s = s * 0.8f + noise(random);
        for (int i = 0; i < 25; ++i) { // dropouts to digital silence
            const std::size_t at = place(random);
            const std::size_t end = std::min(signal.samples.size(), at + static_cast<std::size_t>(dropoutLength(random)));
            std::fill(signal.samples.begin() + static_cast<std::ptrdiff_t>(at),
                      signal.samples.begin() + static_cast<std::ptrdiff_t>(end), 0.0f);
        }
        for (int i = 0; i < 60; ++i) { // one-sample clicks of the wrong sign
            float &s = signal.samples[place(random)];
            s = -s;
        }

        const DecodeResult result = decodeSamples(signal.samples, 1, 0, 256);
        std::size_t next = 0;
        for (const LtcFrame &decoded : result.frames) {
            while (next < signal.frames.size() && !sameFrame(signal.frames[next], decoded))
                ++next;
            ASSERT_LT(next, signal.frames.size()) << "not sent, or out of order: " << describe(decoded);
            ++next;
        }
        // The damage is local: most frames still come through.
        EXPECT_GT(result.frames.size(), signal.frames.size() / 2);
    }
}

std::string findProgram(const char *name)
{
    const char *path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::filesystem::path candidate = std::filesystem::path(dir) / name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// A real recording (8-bit at 22.05 kHz, brought to 44.1 kHz float the way
// the audio server would). Its chain sags back to zero between edges and
// rings there; the level-following hysteresis must ignore that ringing and
// yield every frame an independent decoder reads, in order, apart from the
// first (no complete sync word before it) and the last (cut off).
TEST(Recording, YieldsTheFramesTheRecordingHolds)
{
    // The shared test data sits beside the checkout (../shared), as on the
    // developers' machines and in CI.
    const char *sourceDir = std::getenv("KAIRON_SOURCE_DIR");
    std::filesystem::path data = sourceDir ? std::filesystem::path(sourceDir) / ".." / "shared" / "testdata"
                                           : std::filesystem::path("../shared/testdata");
    if (!std::filesystem::exists(data))
        data = "/work/shared/testdata";
    const std::filesystem::path raw = data / "ltc-25fps-22050hz-u8.raw";
    const std::filesystem::path expectedList = data / "ltc-25fps-22050hz-u8.expected.txt";
    if (!std::filesystem::exists(raw) || !std::filesystem::exists(expectedList))
        GTEST_SKIP() << "the shared LTC recording is not available at " << data;
    const std::string sox = findProgram("sox");
    if (sox.empty())
        GTEST_SKIP() << "sox is needed to resample the recording (package sox)";

    char dirTemplate[] = "/tmp/sondeo-recording-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::filesystem::path dir = dirTemplate;
    const std::filesystem::path resampled = dir / "ltc-44100-float.raw";
    const std::string command = sox + " -V1 -t raw -e unsigned -b 8 -r 22050 -c 1 '" + raw.string()
                              + "' -t raw -e float -b 32 -r 44100 '" + resampled.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::ifstream in(resampled, std::ios::binary);
    std::vector<float> samples;
    for (float s; in.read(reinterpret_cast<char *>(&s), sizeof s);)
        samples.push_back(s);
    std::filesystem::remove_all(dir);
    ASSERT_FALSE(samples.empty());

    // "2000-00-00 +0000 HH:MM:SS:FF |   start   end"
    std::vector<std::string> expected;
    std::ifstream list(expectedList);
    for (std::string line; std::getline(list, line);) {
        std::istringstream fields(line);
        std::string date, zone, time;
        if (fields >> date >> zone >> time)
            expected.push_back(time);
    }
    ASSERT_FALSE(expected.empty());

    const DecodeResult result = decodeSamples(samples, 1, 0);
    ASSERT_GT(result.intervals.size(), expected.size() * 80) << "the recording did not reach the decoder";
    std::size_t next = 0;
    for (const LtcFrame &f : result.frames) {
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d:%02d", f.hours(), f.minutes(), f.seconds(), f.frames());
        while (next < expected.size() && expected[next] != time)
            ++next;
        ASSERT_LT(next, expected.size()) << "not in the recording, or out of order: " << time;
        ++next;
    }
    EXPECT_GE(result.frames.size() + 2, expected.size()) << "frames were lost";
    RecordProperty("framesDecoded", static_cast<int>(result.frames.size()));
    RecordProperty("framesInRecording", static_cast<int>(expected.size()));
}

} // namespace

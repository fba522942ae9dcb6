// The capture layer's pure parts: how a negotiated format is described in
// the diagnostic lines, and how missed graph cycles are noticed.

#include "sondeo/capture/LostAudioDetector.h"
#include "sondeo/capture/StreamDescription.h"

#include <spa/param/audio/format-utils.h>
#include <spa/pod/builder.h>

#include <gtest/gtest.h>

#include <vector>

using capture::LostAudioDetector;
using capture::StreamDescription;

namespace {

struct FormatCase {
    const char *name;
    spa_audio_format format;
    uint32_t channels;
    uint32_t flags;
    uint32_t bytesPerFrame;
    uint32_t bits;
};

void PrintTo(const FormatCase &c, std::ostream *os) { *os << c.name; }

class DescribesFormat : public ::testing::TestWithParam<FormatCase> {};

} // namespace

TEST_P(DescribesFormat, AsTheDiagnosticLinesPrintIt)
{
    const FormatCase &c = GetParam();
    uint8_t buffer[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    spa_audio_info_raw info {};
    info.format = c.format;
    info.rate = 44100;
    info.channels = c.channels;
    const spa_pod *pod = spa_format_audio_raw_build(&b, SPA_PARAM_Format, &info);

    StreamDescription d;
    ASSERT_TRUE(capture::describeFormat(pod, d));
    EXPECT_EQ(d.formatID, StreamDescription::kLinearPCM);
    EXPECT_EQ(d.sampleRate, 44100.0);
    EXPECT_EQ(d.formatFlags, c.flags);
    EXPECT_EQ(d.bytesPerFrame, c.bytesPerFrame);
    EXPECT_EQ(d.bytesPerPacket, c.bytesPerFrame);
    EXPECT_EQ(d.framesPerPacket, 1u);
    EXPECT_EQ(d.channelsPerFrame, c.channels);
    EXPECT_EQ(d.bitsPerChannel, c.bits);
    EXPECT_EQ(d.isFloat(), (c.flags & StreamDescription::kFlagIsFloat) != 0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DescribesFormat,
    ::testing::Values(FormatCase { "float_stereo", SPA_AUDIO_FORMAT_F32, 2, 0x9, 8, 32 },
                      FormatCase { "float_mono", SPA_AUDIO_FORMAT_F32, 1, 0x9, 4, 32 },
                      FormatCase { "int16_is_not_float", SPA_AUDIO_FORMAT_S16, 2, 0xC, 4, 16 },
                      FormatCase { "int24_in_32_not_packed", SPA_AUDIO_FORMAT_S24_32, 1, 0x4, 4, 24 },
                      FormatCase { "planar_float_frame_is_one_sample", SPA_AUDIO_FORMAT_F32P, 2, 0x29, 4, 32 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DescribeFormat, NonPcmAndUnreadableFormats)
{
    uint8_t buffer[256];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const auto *encoded = static_cast<const spa_pod *>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_Format, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_audio),
        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_aac)));
    StreamDescription d;
    ASSERT_TRUE(capture::describeFormat(encoded, d));
    EXPECT_NE(d.formatID, StreamDescription::kLinearPCM);
    EXPECT_FALSE(capture::describeFormat(nullptr, d));
}

namespace {

struct Cycle {
    uint64_t ticksSincePrevious;
    uint32_t frames;
    uint64_t tickRate;
    bool lost;
};

struct LossCase {
    const char *name;
    std::vector<Cycle> cycles;
};

void PrintTo(const LossCase &c, std::ostream *os) { *os << c.name; }

class NoticesLostAudio : public ::testing::TestWithParam<LossCase> {};

} // namespace

// A 256-tick quantum at 48 kHz reaches a 44.1 kHz stream as 235 or 236 frames.
TEST_P(NoticesLostAudio, OnlyWhenTheGraphMovedOnWithoutTheStream)
{
    LostAudioDetector detector;
    uint64_t ticks = 1000;
    for (size_t i = 0; i < GetParam().cycles.size(); ++i) {
        const Cycle &c = GetParam().cycles[i];
        ticks += c.ticksSincePrevious;
        EXPECT_EQ(detector.buffer(ticks, c.tickRate, c.frames, 44100), c.lost) << "cycle " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, NoticesLostAudio,
    ::testing::Values(
        LossCase { "steady_with_resampler_jitter",
                   { { 0, 235, 48000, false }, { 256, 236, 48000, false }, { 256, 235, 48000, false }, { 256, 236, 48000, false } } },
        LossCase { "one_missed_cycle",
                   { { 0, 235, 48000, false }, { 256, 236, 48000, false }, { 512, 235, 48000, true }, { 256, 236, 48000, false } } },
        LossCase { "several_missed_cycles",
                   { { 0, 235, 48000, false }, { 2048, 235, 48000, true }, { 256, 235, 48000, false } } },
        LossCase { "smaller_quantum_is_no_loss",
                   { { 0, 470, 48000, false }, { 512, 235, 48000, false }, { 256, 235, 48000, false } } },
        LossCase { "graph_rate_change_is_no_loss",
                   { { 0, 235, 48000, false }, { 5000, 256, 44100, false }, { 256, 256, 44100, false } } },
        LossCase { "empty_buffer_then_data",
                   { { 0, 0, 48000, false }, { 4096, 235, 48000, false }, { 256, 236, 48000, false } } }),
    [](const auto &info) { return std::string(info.param.name); });

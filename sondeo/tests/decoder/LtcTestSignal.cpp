#include "LtcTestSignal.h"

#include "sondeo/BiphaseDecoder.h"
#include "sondeo/TransitionDetector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ltc.h>
#include <memory>

namespace ltctest {

namespace {

void putField(std::array<int, 64> &bits, int first, int width, int value)
{
    for (int i = 0; i < width; ++i)
        bits[first + i] = (value >> i) & 1;
}

constexpr int kSyncBits[16] = {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1};

} // namespace

std::array<int, 64> EncodedFrame::dataBits() const
{
    std::array<int, 64> bits{};
    putField(bits, 0, 4, frames % 10);
    putField(bits, 4, 4, userBits[0]);
    putField(bits, 8, 2, frames / 10);
    putField(bits, 10, 1, dropFrame);
    putField(bits, 11, 1, colourFrame);
    putField(bits, 12, 4, userBits[1]);
    putField(bits, 16, 4, seconds % 10);
    putField(bits, 20, 4, userBits[2]);
    putField(bits, 24, 3, seconds / 10);
    putField(bits, 28, 4, userBits[3]);
    putField(bits, 32, 4, minutes % 10);
    putField(bits, 36, 4, userBits[4]);
    putField(bits, 40, 3, minutes / 10);
    putField(bits, 44, 4, userBits[5]);
    putField(bits, 48, 4, hours % 10);
    putField(bits, 52, 4, userBits[6]);
    putField(bits, 56, 2, hours / 10);
    putField(bits, 60, 4, userBits[7]);
    return bits;
}

bool sameFrame(const EncodedFrame &e, const LtcFrame &d)
{
    const int decodedUserBits[8] = {d.userBits1, d.userBits2, d.userBits3, d.userBits4,
                                    d.userBits5, d.userBits6, d.userBits7, d.userBits8};
    return e.hours == d.hours() && e.minutes == d.minutes() && e.seconds == d.seconds()
        && e.frames == d.frames() && e.dropFrame == d.dropFrame && e.colourFrame == d.colourFrame
        && std::equal(e.userBits.begin(), e.userBits.end(), decodedUserBits);
}

std::string describe(const EncodedFrame &f)
{
    char text[96];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%02d d%d c%d ub1-8 %d %d %d %d %d %d %d %d",
                  f.hours, f.minutes, f.seconds, f.frames, f.dropFrame, f.colourFrame,
                  f.userBits[0], f.userBits[1], f.userBits[2], f.userBits[3],
                  f.userBits[4], f.userBits[5], f.userBits[6], f.userBits[7]);
    return text;
}

std::string describe(const LtcFrame &f)
{
    char text[96];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%02d d%d c%d ub1-8 %d %d %d %d %d %d %d %d",
                  f.hours(), f.minutes(), f.seconds(), f.frames(), f.dropFrame, f.colourFrame,
                  f.userBits1, f.userBits2, f.userBits3, f.userBits4,
                  f.userBits5, f.userBits6, f.userBits7, f.userBits8);
    return text;
}

LtcSignal encodeWithLibltc(double sampleRate, double fps, bool dropFrame, int count,
                           int hours, int minutes, int seconds, int frame)
{
    const LTC_TV_STANDARD standard = std::lround(fps) == 25 ? LTC_TV_625_50
                                   : std::lround(fps) == 24 ? LTC_TV_FILM_24 : LTC_TV_525_60;
    std::unique_ptr<LTCEncoder, void (*)(LTCEncoder *)> encoder(
        ltc_encoder_create(sampleRate, fps, standard, LTC_BGF_DONT_TOUCH), ltc_encoder_free);

    SMPTETimecode start{};
    start.hours = static_cast<unsigned char>(hours);
    start.mins = static_cast<unsigned char>(minutes);
    start.secs = static_cast<unsigned char>(seconds);
    start.frame = static_cast<unsigned char>(frame);
    LTCFrame ltc;
    ltc_frame_reset(&ltc);
    ltc_time_to_frame(&ltc, &start, standard, 0);
    ltc.dfbit = dropFrame ? 1 : 0;

    LtcSignal signal;
    std::vector<ltcsnd_sample_t> buffer(ltc_encoder_get_buffersize(encoder.get()));
    for (int i = 0; i < count; ++i) {
        // Every group takes every value 0-15 over the run, each group differently.
        ltc.user1 = static_cast<unsigned>(i) % 16;
        ltc.user2 = static_cast<unsigned>(i + 3) % 16;
        ltc.user3 = static_cast<unsigned>(i * 3 + 1) % 16;
        ltc.user4 = static_cast<unsigned>(15 - i % 16);
        ltc.user5 = static_cast<unsigned>(i * 5 + 7) % 16;
        ltc.user6 = static_cast<unsigned>(i / 2) % 16;
        ltc.user7 = static_cast<unsigned>(i * 7 + 2) % 16;
        ltc.user8 = static_cast<unsigned>(i + 9) % 16;
        ltc.col_frame = (i % 3 == 1) ? 1 : 0;

        EncodedFrame expected;
        expected.hours = ltc.hours_tens * 10 + ltc.hours_units;
        expected.minutes = ltc.mins_tens * 10 + ltc.mins_units;
        expected.seconds = ltc.secs_tens * 10 + ltc.secs_units;
        expected.frames = ltc.frame_tens * 10 + ltc.frame_units;
        expected.dropFrame = ltc.dfbit;
        expected.colourFrame = ltc.col_frame;
        expected.userBits = {int(ltc.user1), int(ltc.user2), int(ltc.user3), int(ltc.user4),
                             int(ltc.user5), int(ltc.user6), int(ltc.user7), int(ltc.user8)};
        signal.frames.push_back(expected);

        ltc_encoder_set_frame(encoder.get(), &ltc);
        ltc_encoder_encode_frame(encoder.get());
        const int produced = ltc_encoder_copy_buffer(encoder.get(), buffer.data());
        for (int s = 0; s < produced; ++s)
            signal.samples.push_back((static_cast<float>(buffer[s]) - 128.0f) / 128.0f);

        ltc_frame_increment(&ltc, static_cast<int>(std::ceil(fps)), standard, 0);
    }
    // The edge that closes the last frame's sync word.
    ltc_encoder_end_encode(encoder.get());
    const int produced = ltc_encoder_copy_buffer(encoder.get(), buffer.data());
    for (int s = 0; s < produced; ++s)
        signal.samples.push_back((static_cast<float>(buffer[s]) - 128.0f) / 128.0f);
    return signal;
}

std::vector<float> interleave(const std::vector<float> &mono, uint32_t stride, uint32_t side)
{
    std::vector<float> out(mono.size() * stride);
    for (std::size_t frame = 0; frame < mono.size(); ++frame) {
        for (uint32_t channel = 0; channel < stride; ++channel) {
            out[frame * stride + channel] = channel == side
                ? mono[frame]
                : 0.3f * static_cast<float>(std::sin(0.05 * static_cast<double>(frame) * (channel + 1)));
        }
    }
    return out;
}

DecodeResult decodeSamples(const std::vector<float> &samples, uint32_t stride, int32_t side,
                           uint32_t framesPerBuffer)
{
    DecodeResult result;
    auto recordByte = [](void *context, uint8_t byte) {
        static_cast<DecodeResult *>(context)->intervals.push_back(byte);
    };
    TransitionDetector detector(side, recordByte, &result);
    const uint32_t chunk = framesPerBuffer * stride;
    for (std::size_t at = 0; at < samples.size(); at += chunk) {
        const auto count = static_cast<uint32_t>(std::min<std::size_t>(chunk, samples.size() - at));
        detector.processBuffer(count, stride, samples.data() + at);
    }

    auto recordFrame = [](void *context, const LtcFrame &frame) {
        static_cast<DecodeResult *>(context)->frames.push_back(frame);
    };
    BiphaseDecoder decoder(recordFrame, &result);
    for (uint8_t byte : result.intervals)
        decoder.feed(byte);
    return result;
}

std::vector<float> squareWave(const std::vector<int> &segments, float amplitude)
{
    std::vector<float> samples;
    float level = amplitude;
    for (int length : segments) {
        samples.insert(samples.end(), static_cast<std::size_t>(length), level);
        level = -level;
    }
    return samples;
}

std::vector<int> frameSegments(std::span<const int> dataBits, int shortLength, int longLength)
{
    std::vector<int> segments;
    auto addBit = [&](int bit) {
        if (bit) {
            segments.push_back(shortLength);
            segments.push_back(shortLength);
        } else {
            segments.push_back(longLength);
        }
    };
    for (int bit : dataBits)
        addBit(bit);
    for (int bit : kSyncBits)
        addBit(bit);
    return segments;
}

} // namespace ltctest

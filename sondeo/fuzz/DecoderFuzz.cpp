// libFuzzer target for the LTC decoder. The first byte picks the road:
// even, the rest are interval bytes straight into the decoder; odd, the
// rest are float samples through the transition detector first, with a
// stride, channel and buffer size taken from that byte.

#include "sondeo/BiphaseDecoder.h"
#include "sondeo/LineWriter.h"
#include "sondeo/TransitionDetector.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool inRange(int32_t value, int32_t max) { return value >= 0 && value <= max; }

// Every frame must make a well-formed 37-byte line, whatever the input.
void checkFrame(void *, const LtcFrame &f)
{
    const bool fieldsFit = inRange(f.frameUnits, 15) && inRange(f.frameTens, 3) && inRange(f.dropFrame, 1)
        && inRange(f.colourFrame, 1) && inRange(f.secondUnits, 15) && inRange(f.secondTens, 7)
        && inRange(f.minuteUnits, 15) && inRange(f.minuteTens, 7) && inRange(f.hourUnits, 15)
        && inRange(f.hourTens, 3) && inRange(f.userBits1, 15) && inRange(f.userBits2, 15)
        && inRange(f.userBits3, 15) && inRange(f.userBits4, 15) && inRange(f.userBits5, 15)
        && inRange(f.userBits6, 15) && inRange(f.userBits7, 15) && inRange(f.userBits8, 15);
    char line[64];
    if (!fieldsFit || sondeo::formatFrameLine(f, line) != sondeo::kFrameLineLength || line[36] != '\n')
        __builtin_trap();
}

struct Pipeline {
    BiphaseDecoder decoder{checkFrame, nullptr};
};

void toDecoder(void *context, uint8_t interval)
{
    // The detector only ever reports 1 to 101 samples.
    if (interval < 1 || interval > 101)
        __builtin_trap();
    static_cast<Pipeline *>(context)->decoder.feed(interval);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;

    Pipeline pipeline;
    if ((mode & 1) == 0) {
        for (size_t i = 0; i < size; ++i)
            pipeline.decoder.feed(data[i]);
        return 0;
    }

    const uint32_t stride = 1u + ((mode >> 1) & 3u);
    const int32_t side = static_cast<int32_t>((mode >> 3) & 3u) % static_cast<int32_t>(stride);
    const uint32_t framesPerBuffer = 1u + (mode >> 5) * 37u;
    std::vector<float> samples(size / sizeof(float));
    if (samples.empty())
        return 0;
    std::memcpy(samples.data(), data, samples.size() * sizeof(float));

    TransitionDetector detector(side, toDecoder, &pipeline);
    const uint32_t chunk = framesPerBuffer * stride;
    for (size_t at = 0; at < samples.size(); at += chunk) {
        const size_t left = samples.size() - at;
        detector.processBuffer(static_cast<uint32_t>(left < chunk ? left : chunk), stride, samples.data() + at);
    }
    return 0;
}

#pragma once

#include "sondeo/LtcFrame.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Signals and helpers for feeding the decoder straight from samples.
namespace ltctest {

// A frame as it was encoded: what the decoder must hand on.
struct EncodedFrame {
    int hours = 0, minutes = 0, seconds = 0, frames = 0;
    int dropFrame = 0, colourFrame = 0;
    std::array<int, 8> userBits{}; // userBits[0] is group 1
    // Data bits 0-63 as transmitted; used for hand-made interval signals.
    std::array<int, 64> dataBits() const;
};

bool sameFrame(const EncodedFrame &expected, const LtcFrame &decoded);
std::string describe(const EncodedFrame &frame);
std::string describe(const LtcFrame &frame);

// Clean LTC from libltc's encoder: `count` consecutive frames starting at
// the given time, with user bits and colour flags that change every frame,
// ending with the edge that completes the last sync word.
struct LtcSignal {
    std::vector<float> samples;         // mono, -1..1
    std::vector<EncodedFrame> frames;   // in the order they were encoded
};
LtcSignal encodeWithLibltc(double sampleRate, double fps, bool dropFrame, int count,
                           int hours, int minutes, int seconds, int frame);

// Interleaves a mono signal into `stride` channels at `side`; the other
// channels carry a steady tone, so they would decode to nothing.
std::vector<float> interleave(const std::vector<float> &mono, uint32_t stride, uint32_t side);

// Runs the detector and the decoder over the samples, handing them in
// buffers of `framesPerBuffer` frames like a capture callback would.
struct DecodeResult {
    std::vector<uint8_t> intervals;
    std::vector<LtcFrame> frames;
};
DecodeResult decodeSamples(const std::vector<float> &samples, uint32_t stride, int32_t side,
                           uint32_t framesPerBuffer = 367);

// Square wave whose half-periods are the given segment lengths: each segment
// after the first becomes one interval byte of that length.
std::vector<float> squareWave(const std::vector<int> &segments, float amplitude = 0.5f);
// Biphase-mark segments for data bits (normally 64) followed by the sync word, with the
// given half-cell and whole-cell lengths.
std::vector<int> frameSegments(std::span<const int> dataBits, int shortLength, int longLength);

} // namespace ltctest

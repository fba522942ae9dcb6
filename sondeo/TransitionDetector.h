#pragma once

#include <cstdint>

// Runs on the audio thread: finds sign changes of the selected channel with a
// hysteresis and emits, per transition, the number of samples since the
// previous one (1 to 101) as one byte. After 100 samples without a transition
// one byte 101 marks silence, once until the next transition.
//
// The hysteresis is a fifth of the recent peak level, never below 0.0001 of
// full scale: real recordings (AC-coupled chains) sag back to zero between
// edges and ring there, and a fixed hair-trigger threshold turns that ringing
// into bursts of tiny intervals that drop every frame. Following the level
// keeps faint signals decodable while ignoring that ringing.
//
// Per sample: a few float operations, no memory traffic. The sink is called
// once per transition and must not allocate or lock.
class TransitionDetector {
public:
    using ByteSink = void (*)(void *context, uint8_t interval);
    // Called once per buffer before any sample is looked at; false skips the buffer.
    using BufferCheck = bool (*)();

    static constexpr float kThresholdFloor = 0.0001f;
    static constexpr int32_t kSilenceLimit = 100;
    static constexpr float kHysteresisFraction = 0.2f;
    // Per sample: a half-life of about 30 ms at 44.1 kHz, far longer than a bit cell.
    static constexpr float kPeakDecay = 0.9995f;
    // The peak counts no more than full scale: an infinite or absurd sample
    // would otherwise lift the threshold out of reach for good.
    static constexpr float kPeakCeiling = 1.0f;

    TransitionDetector(int32_t side, ByteSink sink, void *context, BufferCheck check = nullptr);

    // A sink writing each byte to a file descriptor with a blocking write;
    // the context is a pointer to the descriptor.
    static void writeToDescriptor(void *fdPointer, uint8_t interval);

    // One buffer of interleaved samples: sampleCount samples in total,
    // stride channels per frame. Returns 0.
    int processBuffer(uint32_t sampleCount, uint32_t stride, const float *samples);

    // The capture callback: hands the buffer to the installed detector.
    static void install(TransitionDetector *detector);
    static int processSamples(uint32_t sampleCount, uint32_t stride, const float *samples);

private:
    void emit(int32_t count) { sink_(context_, static_cast<uint8_t>(count & 0xff)); }

    int32_t side_;
    ByteSink sink_;
    void *context_;
    BufferCheck check_;

    int32_t polarity_ = 0;
    int32_t samplesSinceTransition_ = 0;
    int32_t silent_ = 0;
    float peak_ = 0.0f;
};

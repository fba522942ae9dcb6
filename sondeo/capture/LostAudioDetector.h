#pragma once

#include <cstdint>

namespace capture {

// Notices graph cycles that a capture stream missed: when its thread runs
// too late, that cycle's audio never reaches it and the signal jumps. Fed
// with the graph position at each buffer and the frames the buffer held.
// Real-time safe: arithmetic only.
class LostAudioDetector {
public:
    // Graph position of this buffer in ticks of tickRate (ticks per second).
    // True when audio was lost since the previous buffer.
    bool buffer(uint64_t ticks, uint64_t tickRate, uint32_t frames, uint32_t frameRate)
    {
        const bool lost = expected_ && tickRate == tickRate_ && ticks > expected_ + tolerance_;
        // The buffer's frames in graph ticks; half of it again absorbs the
        // resampler's jitter without hiding a whole lost cycle.
        const uint64_t length = frameRate ? uint64_t(frames) * tickRate / frameRate : 0;
        expected_ = length ? ticks + length : 0;
        tolerance_ = length / 2;
        tickRate_ = tickRate;
        return lost;
    }

private:
    uint64_t expected_ = 0;
    uint64_t tolerance_ = 0;
    uint64_t tickRate_ = 0;
};

} // namespace capture

#pragma once

#include <cstddef>
#include <cstdint>

// Where the published node's samples come from. fill() runs on PipeWire's
// data thread: implementations must not block, allocate or lock.
class SignalSource {
public:
    virtual ~SignalSource() = default;
    virtual uint32_t rate() const = 0;
    virtual uint32_t channels() const = 0;
    // Writes up to `frames` interleaved float frames; fewer means the signal
    // has ended (the rest of the buffer is left to the caller).
    virtual size_t fill(float *out, size_t frames) = 0;
    // The graph went on without this node for a while (its thread ran
    // late): a clock signal skips what was not played, a recording does not.
    virtual void skip(size_t frames) { (void)frames; }
};

#pragma once

#include <cstdint>

struct spa_pod;

namespace capture {

// The input stream's format in the terms the diagnostic lines print.
struct StreamDescription {
    static constexpr uint32_t kLinearPCM = 0x6c70636d; // 'lpcm'
    static constexpr uint32_t kFlagIsFloat = 1u << 0;
    static constexpr uint32_t kFlagIsBigEndian = 1u << 1;
    static constexpr uint32_t kFlagIsSignedInteger = 1u << 2;
    static constexpr uint32_t kFlagIsPacked = 1u << 3;
    static constexpr uint32_t kFlagIsNonInterleaved = 1u << 5;

    double sampleRate = 0;
    uint32_t formatID = 0;
    uint32_t formatFlags = 0;
    uint32_t bytesPerPacket = 0;
    uint32_t framesPerPacket = 0;
    uint32_t bytesPerFrame = 0;
    uint32_t channelsPerFrame = 0;
    uint32_t bitsPerChannel = 0;
    uint32_t reserved = 0;

    bool isFloat() const { return formatFlags & kFlagIsFloat; }
};

// Describes a negotiated SPA Format parameter. False when it cannot be read
// at all; a format that is not raw audio gives a formatID other than lpcm.
bool describeFormat(const spa_pod *format, StreamDescription &out);

} // namespace capture

#pragma once

#include <cstdint>

// One decoded LTC frame, fields as they stand in the 64 data bits. The BCD
// digits are not range checked: a damaged but well-formed frame is passed on
// as computed.
struct LtcFrame {
    int32_t frameUnits = 0;   // bits 0-3
    int32_t userBits1 = 0;    // bits 4-7
    int32_t frameTens = 0;    // bits 8-9
    int32_t dropFrame = 0;    // bit 10
    int32_t colourFrame = 0;  // bit 11
    int32_t userBits2 = 0;    // bits 12-15
    int32_t secondUnits = 0;  // bits 16-19
    int32_t userBits3 = 0;    // bits 20-23
    int32_t secondTens = 0;   // bits 24-26
    int32_t userBits4 = 0;    // bits 28-31
    int32_t minuteUnits = 0;  // bits 32-35
    int32_t userBits5 = 0;    // bits 36-39
    int32_t minuteTens = 0;   // bits 40-42
    int32_t userBits6 = 0;    // bits 44-47
    int32_t hourUnits = 0;    // bits 48-51
    int32_t userBits7 = 0;    // bits 52-55
    int32_t hourTens = 0;     // bits 56-57
    int32_t userBits8 = 0;    // bits 60-63

    int32_t hours() const { return hourTens * 10 + hourUnits; }
    int32_t minutes() const { return minuteTens * 10 + minuteUnits; }
    int32_t seconds() const { return secondTens * 10 + secondUnits; }
    int32_t frames() const { return frameTens * 10 + frameUnits; }
};

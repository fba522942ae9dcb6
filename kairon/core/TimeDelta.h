#pragma once

#include <cstdint>

// An input's time minus the system clock: tv_sec + tv_usec / 1e6 seconds.
// The fields may differ in sign and tv_usec may lie outside 0..999999, so
// consumers only ever use the pair through that sum.
struct TimeDelta {
    int32_t tv_sec = 0;
    int32_t tv_usec = 0;
};

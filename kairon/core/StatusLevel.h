#pragma once

#include <cstdint>

// How far an input can be trusted.
using StatusLevel = int32_t;
constexpr StatusLevel kStatusNoActiveInput = -1; // only passed by the controller (blue)
constexpr StatusLevel kStatusNoSignal = 0;       // red
constexpr StatusLevel kStatusUnsteady = 1;       // yellow
constexpr StatusLevel kStatusInformational = 2;  // blue; never used to set the clock
constexpr StatusLevel kStatusReliable = 10;      // green

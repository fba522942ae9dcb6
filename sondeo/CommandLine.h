#pragma once

#include <cstdint>

namespace sondeo {

enum class Action { Help, Version, ListDevices, Capture };

struct CommandLine {
    Action action = Action::Capture;
    int32_t device = 0;
    int32_t side = 0;
};

// The first argument equal to "-h" (or "--help"), "-v" or "-d" decides;
// otherwise exactly two arguments give device and channel, and anything
// else captures device 0, channel 0.
CommandLine scanArguments(int argc, const char *const *argv);

// Leading white space, an optional sign, then leading decimal digits; no
// digits reads as 0. Values beyond 32 bits are clamped.
int32_t parseNumber(const char *text);

} // namespace sondeo

#pragma once

#include "tools/ltcsource/SignalSource.h"

#include <string>

// Publishes a SignalSource as a PipeWire Audio/Source node and runs until a
// signal, the end of the signal or the duration ends it.
class SourceNode {
public:
    struct Settings {
        std::string name;
        std::string description;
        double durationSeconds = 0.0; // 0: until ended
    };

    // Returns the process exit status.
    static int run(SignalSource &signal, const Settings &settings);
};

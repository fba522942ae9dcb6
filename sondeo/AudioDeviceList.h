#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A snapshot of the system's audio input devices in a stable order; device
// numbers on the command line index into it. When no audio server can be
// reached the list is empty and the reason is printed on standard error.
class AudioDeviceList {
public:
    AudioDeviceList();

    uint32_t count() const;
    // Device identifier at the index, 0 when the index (taken as unsigned) is out of range.
    uint32_t deviceAt(int32_t index) const;
    // -1 when out of range; 0 when the device's input channels cannot be read.
    int32_t inputChannelCount(int32_t index) const;
    // Empty when out of range.
    std::optional<std::string> deviceName(int32_t index) const;

private:
    struct Device {
        uint32_t id;
        std::string name;
        int32_t channels;
    };
    std::vector<Device> devices_;
};

#pragma once

#include <QString>
#include <cstdint>

// One input channel found by device discovery.
class audioDeviceDescription
{
public:
    audioDeviceDescription(int32_t device, int32_t side, const QString &name);

    int32_t device() const { return device_; }
    void setDevice(int32_t device) { device_ = device; }
    int32_t side() const { return side_; }
    void setSide(int32_t side) { side_ = side; }
    QString name() const { return name_; }

private:
    int32_t device_;
    int32_t side_;
    QString name_;
};

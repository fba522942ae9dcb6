#include "plugins/ltcinput/audioDeviceDescription.h"

audioDeviceDescription::audioDeviceDescription(int32_t device, int32_t side, const QString &name)
    : device_(device)
    , side_(side)
    , name_(name)
{
}

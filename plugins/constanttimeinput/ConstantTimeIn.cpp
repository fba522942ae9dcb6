#include "plugins/constanttimeinput/ConstantTimeIn.h"

#include "kairon/core/PluginManager.h"
#include "orrery/TCMDTime.h"
#include "platform/ClassRegistry.h"
#include "platform/UserDefaultsController.h"
#include "plugins/constanttimeinput/ConstantTimeIn_Listener.h"
#include "plugins/constanttimeinput/_ConstantTimePrefController.h"

#include <algorithm>
#include <ctime>
#include <limits>
#include <sys/time.h>

static platform::ClassRegistration<ConstantTimeInClass> registration;

namespace {

const QString kHourKVO = QStringLiteral("values.ConstantTimeValue_HR");
const QString kMinuteKVO = QStringLiteral("values.ConstantTimeValue_MN");
const QString kSecondKVO = QStringLiteral("values.ConstantTimeValue_SC");
const QString kFrameKVO = QStringLiteral("values.ConstantTimeValue_FR");

int32_t readValue(const QString &keyPath)
{
    return platform::UserDefaultsController::sharedUserDefaultsController().intValueForKeyPath(
        keyPath);
}

// The stored values are not range-checked, so a hand-edited one can give
// more microseconds or seconds than the fields hold: whole seconds the
// microseconds cannot hold move into the seconds, which are kept in range.
// Any delta that fits keeps its fields exactly as computed.
TimeDelta fittedDelta(int64_t seconds, int64_t microseconds)
{
    constexpr int64_t low = std::numeric_limits<int32_t>::min();
    constexpr int64_t high = std::numeric_limits<int32_t>::max();
    if (microseconds < low || microseconds > high) {
        seconds += microseconds / 1000000;
        microseconds %= 1000000;
    }
    TimeDelta delta;
    delta.tv_sec = int32_t(std::clamp(seconds, low, high));
    delta.tv_usec = int32_t(microseconds);
    return delta;
}

} // namespace

const QString ConstantTimeIn::kName = QStringLiteral("Constant Time");

ConstantTimeIn::ConstantTimeIn()
    : hour_(readValue(kHourKVO))
    , minute_(readValue(kMinuteKVO))
    , second_(readValue(kSecondKVO))
    , frame_(readValue(kFrameKVO))
{
}

void ConstantTimeIn::observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &,
                                            void *)
{
    if (keyPath == kHourKVO)
        hour_ = readValue(kHourKVO);
    if (keyPath == kMinuteKVO)
        minute_ = readValue(kMinuteKVO);
    if (keyPath == kSecondKVO)
        second_ = readValue(kSecondKVO);
    if (keyPath == kFrameKVO)
        frame_ = readValue(kFrameKVO);
}

std::shared_ptr<const TCMDTime> ConstantTimeIn::myTime()
{
    // Negative values reach the label as huge unsigned numbers, which it rejects.
    return TCMDTime::initWithHour(uint32_t(hour_), uint32_t(minute_), uint32_t(second_),
                                  uint32_t(frame_), 30, false);
}

TimeDelta ConstantTimeIn::currentTimeDelta()
{
    timeval now {};
    gettimeofday(&now, nullptr);
    const time_t nowSeconds = now.tv_sec;
    struct tm local
    {
    };
    localtime_r(&nowSeconds, &local);

    const auto microseconds = static_cast<int64_t>(float(frame_) / 30.0f * 1000000);
    local.tm_hour = hour_;
    local.tm_min = minute_;
    local.tm_sec = second_;
    const time_t constantSeconds = mktime(&local);

    timeval system {};
    gettimeofday(&system, nullptr);
    return fittedDelta(int64_t(constantSeconds) - system.tv_sec, microseconds - system.tv_usec);
}

ConstantTimeInClass::ConstantTimeInClass() = default;
ConstantTimeInClass::~ConstantTimeInClass() = default;

QWidget *ConstantTimeInClass::preferenceView()
{
    return _ConstantTimePrefController::globalNib();
}

void ConstantTimeInClass::initializePluginWithManager(PluginManager *manager)
{
    listener_ = ConstantTimeIn_Listener::initWithPluginManager(manager);
}

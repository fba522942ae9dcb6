#include "plugins/systemtimeinput/SystemTimeIn.h"

#include "kairon/core/PluginManager.h"
#include "orrery/TCMDTime.h"
#include "platform/ClassRegistry.h"
#include "platform/UserDefaultsController.h"
#include "plugins/systemtimeinput/_SystemTimePrefController.h"

#include <ctime>

static platform::ClassRegistration<SystemTimeInClass> registration;

namespace {
const QString kFramerateKVO = QStringLiteral("values.systemTime_framerate");
}

const QString SystemTimeIn::kName = QStringLiteral("System Time");

std::shared_ptr<SystemTimeIn> SystemTimeIn::initWithThisOption(const void *)
{
    return std::make_shared<SystemTimeIn>();
}

SystemTimeIn::SystemTimeIn()
{
    platform::UserDefaultsController::sharedUserDefaultsController().addObserver(
        this, kFramerateKVO,
        platform::UserDefaultsController::New | platform::UserDefaultsController::Old);
    observeValueForKeyPath(QString(), nullptr, QVariantMap(), nullptr);
}

SystemTimeIn::~SystemTimeIn() = default;

void SystemTimeIn::observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &,
                                          void *)
{
    if (keyPath.isEmpty() || keyPath == kFramerateKVO)
        framerate_
            = platform::UserDefaultsController::sharedUserDefaultsController().intValueForKeyPath(
                kFramerateKVO);
}

std::shared_ptr<const TCMDTime> SystemTimeIn::timeForClock(const timeval &clock, int32_t framerate)
{
    const time_t seconds = clock.tv_sec;
    struct tm local
    {
    };
    if (!localtime_r(&seconds, &local))
        return nullptr;
    // A rate below 1 gives no valid label: no time, rather than a label at a wrapped-around rate.
    if (framerate < 1)
        return nullptr;
    const auto frame = static_cast<int32_t>(double(float(clock.tv_usec)) / 1000000.0 * framerate);
    return TCMDTime::initWithHour(uint32_t(local.tm_hour), uint32_t(local.tm_min),
                                  uint32_t(local.tm_sec), uint32_t(frame), uint32_t(framerate),
                                  false);
}

std::shared_ptr<const TCMDTime> SystemTimeIn::myTime()
{
    timeval now {};
    gettimeofday(&now, nullptr);
    return timeForClock(now, framerate_);
}

TimeDelta SystemTimeIn::currentTimeDelta()
{
    TimeDelta delta;
    timeval first {};
    timeval second {};
    gettimeofday(&first, nullptr);
    gettimeofday(&second, nullptr);
    delta.tv_sec = int32_t(first.tv_sec - second.tv_sec);
    delta.tv_usec = int32_t(first.tv_usec - second.tv_usec);
    return delta;
}

QWidget *SystemTimeInClass::preferenceView()
{
    return _SystemTimePrefController::globalNib();
}

void SystemTimeInClass::initializePluginWithManager(PluginManager *manager)
{
    if (!manager)
        return;
    if (auto input = SystemTimeIn::initWithThisOption(nullptr))
        manager->addPluginInstance(input);
}

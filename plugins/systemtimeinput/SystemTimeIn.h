#pragma once

#include "kairon/core/PluginClass.h"
#include "kairon/core/tsyncInput.h"
#include "platform/KeyValueObserver.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <sys/time.h>

class TCMDTime;

// The computer's own clock as an input: local time of day at the frame rate
// the user chose (systemTime_framerate), a delta of practically zero, and
// always status 2 (informational: never used to set the clock). Automatic
// selection falls back to it by its name, "System Time".
class SystemTimeIn : public tsyncInput, public platform::KeyValueObserver
{
public:
    static const QString kName;

    // Follows systemTime_framerate from now on. The option is not used.
    static std::shared_ptr<SystemTimeIn> initWithThisOption(const void *option);
    SystemTimeIn();
    ~SystemTimeIn() override;

    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override;

    QString name() const override { return kName; }
    StatusLevel statusLevel() override { return kStatusInformational; }
    // Two clock readings in a row, the first standing for this input's time:
    // zero or a few microseconds negative, fields not normalised.
    TimeDelta currentTimeDelta() override;
    // The local time of day now; empty at a frame rate no label can have.
    std::shared_ptr<const TCMDTime> myTime() override;

    // The label for one clock reading: local hour, minute and second, and the
    // frame the microseconds fall in at `framerate`.
    static std::shared_ptr<const TCMDTime> timeForClock(const timeval &clock, int32_t framerate);

    int32_t framerate() const { return framerate_; }

private:
    int32_t framerate_ = 0;
};

// The class object of SystemTimeIn.
class SystemTimeInClass : public PluginClassFor<SystemTimeIn>
{
public:
    QString className() const override { return QStringLiteral("SystemTimeIn"); }
    QString pluginName() const override { return SystemTimeIn::kName; }
    QWidget *preferenceView() override;
    // The one instance the application gets.
    void initializePluginWithManager(PluginManager *manager) override;
    void terminateClass() override { }
};

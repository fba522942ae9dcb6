#pragma once

#include "kairon/core/PluginClass.h"
#include "kairon/core/tsyncInput.h"

#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <memory>

class ConstantTimeIn_Listener;
class QObject;
class TCMDTime;

// A fixed, user-set time of day as an input: the configured hours, minutes,
// seconds and frames at 30 frames per second, always status 2. It exists only
// while ConstantTimeEnabled is on (ConstantTimeIn_Listener adds and removes it).
class ConstantTimeIn : public tsyncInput
{
public:
    static const QString kName;

    // Reads the four values; absent ones are 0.
    ConstantTimeIn();

    // Reloads the value whose key path this is.
    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context);

    QString name() const override { return kName; }
    StatusLevel statusLevel() override { return kStatusInformational; }
    // The constant time on today's local date minus the system clock; fields
    // subtracted separately, no day wrap.
    TimeDelta currentTimeDelta() override;
    // Empty when the values form no label at 30 frames per second.
    std::shared_ptr<const TCMDTime> myTime() override;

    int32_t hour() const { return hour_; }
    int32_t minute() const { return minute_; }
    int32_t second() const { return second_; }
    int32_t frame() const { return frame_; }

private:
    int32_t hour_ = 0;
    int32_t minute_ = 0;
    int32_t second_ = 0;
    int32_t frame_ = 0;
};

// The class object of ConstantTimeIn. It registers no instance itself: its
// listener does, while the input is switched on.
class ConstantTimeInClass : public PluginClassFor<ConstantTimeIn>
{
public:
    ConstantTimeInClass();
    ~ConstantTimeInClass() override;
    QString className() const override { return QStringLiteral("ConstantTimeIn"); }
    QString pluginName() const override { return ConstantTimeIn::kName; }
    QWidget *preferenceView() override;
    void initializePluginWithManager(PluginManager *manager) override;
    void terminateClass() override { }

    ConstantTimeIn_Listener *listener() const { return listener_.get(); }

private:
    std::unique_ptr<ConstantTimeIn_Listener> listener_;
};

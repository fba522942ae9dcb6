#pragma once

#include "kairon/core/StatusLevel.h"
#include "kairon/core/TimeDelta.h"
#include "platform/KeyValueObserver.h"

#include <QString>
#include <memory>

class QObject;
class TCMDTime;

// The relay from the controller to the outputs: every active tick's time,
// delta, name and status go to every output instance, running or not, with
// the user's choice of whether offsets show frames.
class activeClockWindow : public platform::KeyValueObserver
{
public:
    // Follows offsetClock_frames.
    activeClockWindow();
    ~activeClockWindow() override;
    activeClockWindow(const activeClockWindow &) = delete;
    activeClockWindow &operator=(const activeClockWindow &) = delete;

    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override;

    void updateTime(const std::shared_ptr<const TCMDTime> &time, TimeDelta offset,
                    const QString &name, int32_t offsetFraction, StatusLevel status);
    // An action that does nothing; a control may be connected to it.
    void showHide_Dummy(QObject *sender);

    bool showFrames() const { return showFrames_; }

private:
    bool showFrames_ = false;
};

#pragma once

#include "kairon/core/StatusLevel.h"
#include "kairon/core/TimeDelta.h"
#include "kairon/core/tsyncPlugin.h"

#include <memory>

class QObject;
class TCMDTime;

// A display of the active input.
class tsyncOutput : public virtual tsyncPlugin {
public:
    virtual void start(QObject *sender) = 0;
    virtual void stop(QObject *sender) = 0;
    // Sent on every active tick to every output, running or not.
    virtual void updateTime(std::shared_ptr<const TCMDTime> time, TimeDelta offset, const QString &name,
                            int32_t offsetFraction, bool showFrames, StatusLevel status) = 0;
};

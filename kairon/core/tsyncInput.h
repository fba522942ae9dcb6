#pragma once

#include "kairon/core/StatusLevel.h"
#include "kairon/core/TimeDelta.h"
#include "kairon/core/tsyncPlugin.h"

#include <memory>

class TCMDTime;

// A time source.
class tsyncInput : public virtual tsyncPlugin {
public:
    // May update bookkeeping on every call (the LTC input counts queries).
    virtual StatusLevel statusLevel() = 0;
    virtual TimeDelta currentTimeDelta() = 0;
    // The current time of day, or empty.
    virtual std::shared_ptr<const TCMDTime> myTime() = 0;
};

#pragma once

#include "kairon/core/TimeDelta.h"

#include <QString>

#include <cstdint>
#include <memory>

class TCMDTime;

// The texts every display shows for a label and for an offset.

// "HH:MM:SS.FF" (or "HH:MM:SS"); an empty label prints zeros. The separator
// before the frames is a full stop for drop-frame labels too.
QString fancyTimeString(const std::shared_ptr<const TCMDTime> &time, bool withFrames);

// "+HH:MM:SS.FF" (or "+HH:MM:SS"): the offset taken the shorter way round a
// 24-hour day, so at most twelve hours either way; the fraction of a second is
// counted in `fraction` frames per second. Computed on a 32-bit float, as the
// displays always have: at twelve hours the resolution is about 4 ms.
QString fancyOffsetString(TimeDelta offset, int32_t fraction, bool withFrames);

// Only the frames field of fancyOffsetString, "FF", unsigned.
QString fancyOffsetString_FramesOnly(TimeDelta offset, int32_t fraction);

#include "kairon/core/fancyStrings.h"

#include "orrery/TCMDTime.h"

#include <cmath>

namespace {

struct OffsetParts
{
    float x; // the offset, wrapped into -43200 .. +43200
    int64_t frames; // magnitude of the fraction of a second, in frames
};

OffsetParts offsetParts(TimeDelta offset, int32_t fraction)
{
    float x = static_cast<float>(offset.tv_sec + offset.tv_usec / 1000000.0);
    // Wrap into twelve hours either way, ±43200 itself unchanged. Taking off
    // one day at a time in float would be exact at every step (|x| < 2^31 + 2^12,
    // and a day, 675 * 2^7, is a multiple of the float step below 2^31), so
    // taking off all the days at once in double gives the same float, without
    // ~25000 turns for the largest offsets.
    double v = x;
    if (v > 43200.0)
        v -= std::ceil((v - 43200.0) / 86400.0) * 86400.0;
    else if (v < -43200.0)
        v += std::ceil((-43200.0 - v) / 86400.0) * 86400.0;
    x = static_cast<float>(v);
    // |fractional part| < 1, so even a fraction of INT32_MIN stays within 64 bits.
    const double part = std::fmod(static_cast<double>(x), 1.0) * static_cast<double>(fraction);
    const auto frames = static_cast<int64_t>(part);
    return { x, frames < 0 ? -frames : frames };
}

} // namespace

QString fancyTimeString(const std::shared_ptr<const TCMDTime> &time, bool withFrames)
{
    const uint32_t h = time ? time->hour() : 0;
    const uint32_t m = time ? time->minute() : 0;
    const uint32_t s = time ? time->second() : 0;
    if (!withFrames)
        return QString::asprintf("%02u:%02u:%02u", h, m, s);
    const uint32_t f = time ? time->frame() : 0;
    return QString::asprintf("%02u:%02u:%02u.%02u", h, m, s, f);
}

QString fancyOffsetString(TimeDelta offset, int32_t fraction, bool withFrames)
{
    const OffsetParts p = offsetParts(offset, fraction);
    // |x| <= 43200 after wrapping, so the conversion is in range.
    const int32_t whole = static_cast<int32_t>(p.x);
    const int32_t w = whole < 0 ? -whole : whole;
    const char sign = p.x < 0.0f ? '-' : '+';
    const int hours = w / 3600;
    const int minutes = (w / 60) % 60;
    const int seconds = w % 60;
    if (!withFrames)
        return QString::asprintf("%c%02i:%02i:%02i", sign, hours, minutes, seconds);
    return QString::asprintf("%c%02i:%02i:%02i.%02lld", sign, hours, minutes, seconds,
                             static_cast<long long>(p.frames));
}

QString fancyOffsetString_FramesOnly(TimeDelta offset, int32_t fraction)
{
    return QString::asprintf("%02lld",
                             static_cast<long long>(offsetParts(offset, fraction).frames));
}

#include "orrery/TCMDTime.h"

#include "orrery/tsd.h"

#include <QRegularExpression>

#include <limits>

const QString TCMDTime::typeTag = QStringLiteral("TCMDTime");

namespace {

// Frame totals of one rate. Kept in 64 bits: at very high rates an hour or a
// day of frames does not fit 32 bits, and every label this class holds must
// still convert exactly.
struct Frames
{
    uint64_t d; // labels skipped at the start of every minute not a multiple of ten
    uint64_t H; // per hour
    uint64_t T; // per ten minutes
    uint64_t M; // per skipping minute
    uint64_t D; // per day
};

Frames framesFor(uint32_t fps, bool dropFrame)
{
    const uint64_t f = fps;
    const uint64_t d = dropFrame ? f / 15 : 0;
    return { d, 3600 * f - 54 * d, 600 * f - 9 * d, 60 * f - d, 86400 * f - 1296 * d };
}

bool isDropFrameRate(uint32_t fps)
{
    return fps == 30 || fps == 60;
}

} // namespace

TCMDTime::TCMDTime(Key, uint32_t hour, uint32_t minute, uint32_t second, uint32_t frame,
                   uint32_t fps, bool dropFrame)
    : m_hour(hour)
    , m_minute(minute)
    , m_second(second)
    , m_frame(frame)
    , m_fps(fps)
    , m_df(dropFrame)
{
}

std::shared_ptr<TCMDTime> TCMDTime::initWithHour(uint32_t hour, uint32_t minute, uint32_t second,
                                                 uint32_t frame, uint32_t fps, bool dropFrame)
{
    dropFrame = dropFrame && isDropFrameRate(fps);
    if (hour > 23 || minute > 59 || second > 59 || frame >= fps || fps > maxFps)
        return nullptr;
    if (dropFrame && minute % 10 != 0 && second == 0 && frame < fps / 15)
        return nullptr;
    return std::make_shared<TCMDTime>(Key(), hour, minute, second, frame, fps, dropFrame);
}

std::shared_ptr<TCMDTime> TCMDTime::initWithTimeInFrames(uint32_t count, uint32_t fps,
                                                         bool dropFrame)
{
    if (fps == 0)
        return std::make_shared<TCMDTime>();
    const Frames f = framesFor(fps, dropFrame);
    uint64_t r = count;
    const uint64_t hour = r / f.H;
    r %= f.H;
    const uint64_t tens = r / f.T;
    r %= f.T;
    // The first minute of each ten-minute block skips no labels.
    const uint64_t units = r > f.d ? (r - f.d) / f.M : 0;
    r -= units * f.M;
    return std::make_shared<TCMDTime>(
        Key(), static_cast<uint32_t>(hour), static_cast<uint32_t>(tens * 10 + units),
        static_cast<uint32_t>(r / fps), static_cast<uint32_t>(r % fps), fps, dropFrame);
}

std::shared_ptr<TCMDTime> TCMDTime::timeWithHour(uint32_t hour, uint32_t minute, uint32_t second,
                                                 uint32_t frame, uint32_t fps, bool dropFrame)
{
    if (hour == 0 && minute == 0 && second == 0) {
        if (fps == 0)
            return nullptr;
        return initWithTimeInFrames(frame, fps, dropFrame);
    }
    return initWithHour(hour, minute, second, frame, fps, dropFrame);
}

std::shared_ptr<TCMDTime> TCMDTime::timeWithFrames(int64_t count, uint32_t fps, bool dropFrame)
{
    // Above maxFps a day's count would not fit the 32-bit count of a label.
    if (fps == 0 || fps > maxFps)
        return std::make_shared<TCMDTime>();
    dropFrame = dropFrame && isDropFrameRate(fps);
    const auto day = static_cast<int64_t>(framesFor(fps, dropFrame).D);
    int64_t r = count % day;
    if (r < 0)
        r += day;
    return initWithTimeInFrames(static_cast<uint32_t>(r), fps, dropFrame);
}

uint64_t TCMDTime::countOfFields() const
{
    const Frames f = framesFor(m_fps, m_df);
    return m_hour * f.H + (m_minute / 10) * f.T + (m_minute % 10) * f.M + uint64_t(m_second) * m_fps
        + m_frame;
}

uint32_t TCMDTime::timeInFrames() const
{
    // Every constructor keeps a label's count within 32 bits.
    return static_cast<uint32_t>(countOfFields());
}

std::shared_ptr<TCMDTime> TCMDTime::timeAddingFrames(int64_t frames) const
{
    if (m_fps == 0)
        return std::make_shared<TCMDTime>();
    const auto day = static_cast<int64_t>(framesFor(m_fps, m_df).D);
    // Reduce before adding so the sum cannot overflow for any `frames`.
    int64_t total = frames % day + static_cast<int64_t>(timeInFrames());
    total %= day;
    if (total < 0)
        total += day;
    return timeWithFrames(total, m_fps, m_df);
}

QString TCMDTime::dataText() const
{
    return QString::asprintf("%02u:%02u:%02u%c%02u/%u", m_hour, m_minute, m_second,
                             m_df ? ';' : ':', m_frame, m_fps);
}

std::shared_ptr<TCMDTime> TCMDTime::initWithTsd(const tsd &record)
{
    if (record.type() != typeTag)
        return nullptr;
    const QRegularExpression form(
        QStringLiteral("^(\\d{1,10}):(\\d{1,10}):(\\d{1,10})([:;])(\\d{1,10})/(\\d{1,10})$"));
    const QRegularExpressionMatch m = form.match(record.data());
    if (!m.hasMatch())
        return nullptr;
    uint32_t v[5];
    const int groups[5] = { 1, 2, 3, 5, 6 };
    for (int i = 0; i < 5; ++i) {
        bool ok = false;
        v[i] = m.captured(groups[i]).toUInt(&ok);
        if (!ok)
            return nullptr;
    }
    const auto [hour, minute, second, frame, fps] = v;
    const bool dropFrame = m.captured(4) == QLatin1String(";");

    std::shared_ptr<TCMDTime> value;
    if (fps == 0) {
        if (hour == 0 && minute == 0 && second == 0 && frame == 0 && !dropFrame)
            value = std::make_shared<TCMDTime>();
    } else if (minute <= 59 && second <= 59 && frame < fps
               && hour <= std::numeric_limits<uint32_t>::max() / framesFor(fps, dropFrame).H) {
        // A label some constructor can make is the one its own count rebuilds;
        // that also refuses skipped drop-frame labels.
        const TCMDTime fields(Key(), hour, minute, second, frame, fps, dropFrame);
        const uint64_t count = fields.countOfFields();
        if (count <= std::numeric_limits<uint32_t>::max()) {
            auto rebuilt = initWithTimeInFrames(static_cast<uint32_t>(count), fps, dropFrame);
            if (rebuilt->hour() == hour && rebuilt->minute() == minute
                && rebuilt->second() == second && rebuilt->frame() == frame)
                value = rebuilt;
        }
    }
    if (value)
        value->setSource(record.source());
    return value;
}

#pragma once

#include "orrery/TCMetaData.h"

#include <cstdint>
#include <memory>

// One timecode label: hour, minute, second and frame at an integer nominal
// rate, with or without drop-frame numbering (29.97 is 30 with the flag set,
// 59.94 is 60 with it). Converts exactly between labels and frame counts and
// wraps at 24 hours. Immutable apart from the inherited source, so a label
// built on one thread may be read on another.
//
// Rates: every label built from fields has 1 <= fps <= maxFps, the largest
// rate whose day still numbers in a 32-bit count. The frame-count forms take
// any rate from 1 up; at rate 0 (and, where the count is wrapped into a day,
// above maxFps) they answer the placeholder (rate 0, 00:00:00:00) instead of
// dividing by zero, so they never fail. timeInFrames() is exact for every
// label this class can hold.
class TCMDTime : public TCMetaData
{
    struct Key
    {
        explicit Key() = default;
    };

public:
    static const QString typeTag;
    static constexpr uint32_t maxFps = 49710;

    // The placeholder 00:00:00:00 at rate 0, not a valid label.
    TCMDTime() = default;
    TCMDTime(Key, uint32_t hour, uint32_t minute, uint32_t second, uint32_t frame, uint32_t fps,
             bool dropFrame);

    // A validated label; empty when rejected. The drop-frame flag is cleared
    // for rates other than 30 and 60.
    static std::shared_ptr<TCMDTime> initWithHour(uint32_t hour, uint32_t minute, uint32_t second,
                                                  uint32_t frame, uint32_t fps, bool dropFrame);
    // The label `count` frames after 00:00:00:00, hours not wrapped (a day or
    // more gives hour 24 or more). Rate and flag are stored as given, so a set
    // flag at 24 or 25 fps skips fps/15 = 1 label per minute.
    static std::shared_ptr<TCMDTime> initWithTimeInFrames(uint32_t count, uint32_t fps,
                                                          bool dropFrame);
    // With hour, minute and second all 0, `frame` is a frame count that rolls
    // into seconds, minutes and hours; otherwise as initWithHour. Empty when
    // rejected, and at rate 0.
    static std::shared_ptr<TCMDTime> timeWithHour(uint32_t hour, uint32_t minute, uint32_t second,
                                                  uint32_t frame, uint32_t fps, bool dropFrame);
    // Any count, wrapped into one day (negative counts count back from
    // midnight). The flag is cleared for rates other than 30 and 60.
    static std::shared_ptr<TCMDTime> timeWithFrames(int64_t count, uint32_t fps, bool dropFrame);

    // Frames since 00:00:00:00.
    uint32_t timeInFrames() const;
    // A new label `frames` later (earlier when negative), wrapped into one
    // day; its source is empty.
    std::shared_ptr<TCMDTime> timeAddingFrames(int64_t frames) const;

    uint32_t hour() const { return m_hour; }
    uint32_t minute() const { return m_minute; }
    uint32_t second() const { return m_second; }
    uint32_t frame() const { return m_frame; }
    uint32_t fps() const { return m_fps; }
    bool isDropFrame() const { return m_df; }

    // The record's data holds the fields as "HH:MM:SS:FF/fps", with ';'
    // before the frames of a drop-frame label. Reading it back gives an equal
    // label and the record's source; empty for another kind or a label this
    // class cannot hold.
    static std::shared_ptr<TCMDTime> initWithTsd(const tsd &record);

protected:
    QString type() const override { return typeTag; }
    QString dataText() const override;

private:
    uint64_t countOfFields() const;

    uint32_t m_hour = 0;
    uint32_t m_minute = 0;
    uint32_t m_second = 0;
    uint32_t m_frame = 0;
    uint32_t m_fps = 0;
    bool m_df = false;
};

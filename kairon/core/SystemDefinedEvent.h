#pragma once

#include <QEvent>
#include <cstdint>

// A system-defined event as the platform layer reports it to the application
// object. Global hot-key presses arrive as type 14 (system-defined), subtype 6
// (hot key pressed); `data1` carries the id of the hot key that fired.
class SystemDefinedEvent : public QEvent
{
public:
    static constexpr int kSystemDefined = 14;
    static constexpr int kHotKeyPressed = 6;

    SystemDefinedEvent(int eventType, int subtype, int64_t data1 = 0, int64_t data2 = 0);

    // The Qt event type under which these events travel.
    static QEvent::Type qtType();

    int eventType() const { return eventType_; }
    int subtype() const { return subtype_; }
    int64_t data1() const { return data1_; }
    int64_t data2() const { return data2_; }
    bool isHotKeyPress() const
    {
        return eventType_ == kSystemDefined && subtype_ == kHotKeyPressed;
    }

private:
    int eventType_;
    int subtype_;
    int64_t data1_;
    int64_t data2_;
};

#pragma once

class SystemDefinedEvent;

// Something that wants every global hot-key press before its normal handling
// (registered with tsyncMainApp::addGlobalHotKeyListener).
class GlobalHotKeyListener
{
public:
    virtual ~GlobalHotKeyListener() = default;
    // Called on the main thread; the listener tests the event itself.
    virtual void hotKeyEvent(const SystemDefinedEvent &event) = 0;
};

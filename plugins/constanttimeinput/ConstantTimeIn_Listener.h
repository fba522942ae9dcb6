#pragma once

#include "platform/KeyValueObserver.h"

#include <memory>

class ConstantTimeIn;
class PluginManager;

// Keeps the constant-time input in the plug-in manager exactly while
// ConstantTimeEnabled is on (a fresh instance each time it is switched on),
// and passes changes of the four time values on to it.
class ConstantTimeIn_Listener : public platform::KeyValueObserver
{
public:
    // Observes the five settings, then shows the clock if it is switched on.
    static std::unique_ptr<ConstantTimeIn_Listener> initWithPluginManager(PluginManager *manager);
    explicit ConstantTimeIn_Listener(PluginManager *manager);
    ~ConstantTimeIn_Listener() override;
    ConstantTimeIn_Listener(const ConstantTimeIn_Listener &) = delete;
    ConstantTimeIn_Listener &operator=(const ConstantTimeIn_Listener &) = delete;

    void showClock(bool show);
    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override;

    const std::shared_ptr<ConstantTimeIn> &currentTimeInDevice() const
    {
        return currentTimeInDevice_;
    }

private:
    std::shared_ptr<ConstantTimeIn> currentTimeInDevice_;
    PluginManager *pluginManager_ = nullptr;
};

#include "plugins/constanttimeinput/ConstantTimeIn_Listener.h"

#include "kairon/core/PluginManager.h"
#include "platform/UserDefaultsController.h"
#include "plugins/constanttimeinput/ConstantTimeIn.h"

namespace {
const QString kEnabledKVO = QStringLiteral("values.ConstantTimeEnabled");
}

std::unique_ptr<ConstantTimeIn_Listener>
ConstantTimeIn_Listener::initWithPluginManager(PluginManager *manager)
{
    return std::make_unique<ConstantTimeIn_Listener>(manager);
}

ConstantTimeIn_Listener::ConstantTimeIn_Listener(PluginManager *manager)
    : pluginManager_(manager)
{
    auto &defaults = platform::UserDefaultsController::sharedUserDefaultsController();
    const int options
        = platform::UserDefaultsController::New | platform::UserDefaultsController::Old;
    for (const char *key : { "ConstantTimeEnabled", "ConstantTimeValue_HR", "ConstantTimeValue_MN",
                             "ConstantTimeValue_SC", "ConstantTimeValue_FR" })
        defaults.addObserver(this, QStringLiteral("values.") + QLatin1String(key), options);
    showClock(defaults.boolValueForKeyPath(kEnabledKVO));
}

ConstantTimeIn_Listener::~ConstantTimeIn_Listener() = default;

void ConstantTimeIn_Listener::showClock(bool show)
{
    if (show) {
        if (currentTimeInDevice_)
            return;
        currentTimeInDevice_ = std::make_shared<ConstantTimeIn>();
        if (pluginManager_)
            pluginManager_->addPluginInstance(currentTimeInDevice_);
        return;
    }
    if (!currentTimeInDevice_)
        return;
    if (pluginManager_)
        pluginManager_->removePluginInstance(currentTimeInDevice_);
    currentTimeInDevice_.reset();
}

void ConstantTimeIn_Listener::observeValueForKeyPath(const QString &keyPath, QObject *object,
                                                     const QVariantMap &change, void *context)
{
    if (keyPath == kEnabledKVO)
        showClock(
            platform::UserDefaultsController::sharedUserDefaultsController().boolValueForKeyPath(
                kEnabledKVO));
    if (currentTimeInDevice_)
        currentTimeInDevice_->observeValueForKeyPath(keyPath, object, change, context);
}

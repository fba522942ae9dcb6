#pragma once

#include "kairon/core/tsyncInput.h"
#include "kairon/core/tsyncOutput.h"
#include "platform/MetaClass.h"

#include <QString>
#include <type_traits>

class PluginManager;
class QWidget;

// The class-level side of the tsyncPlugin contract: what the application asks
// of a plug-in class before any instance exists. Registered by name in
// platform::ClassRegistry.
class PluginClass : public platform::MetaClass {
public:
    // Display name in the preferences window, or empty.
    virtual QString pluginName() const = 0;
    // The preference pane, not owned; nullptr when its interface file fails to load.
    virtual QWidget *preferenceView() = 0;
    // Sent once when the class is registered; the class adds its instances.
    virtual void initializePluginWithManager(PluginManager *manager) = 0;
    virtual void terminateClass() {}
};

// A plug-in class whose instances are of type Instance:
//   class SystemTimeInClass : public PluginClassFor<SystemTimeIn> { ... };
template <class Instance>
class PluginClassFor : public PluginClass {
public:
    bool conformsTo(const QString &contract) const override
    {
        if (contract == QLatin1String("tsyncPlugin"))
            return std::is_base_of_v<tsyncPlugin, Instance>;
        if (contract == QLatin1String("tsyncInput"))
            return std::is_base_of_v<tsyncInput, Instance>;
        if (contract == QLatin1String("tsyncOutput"))
            return std::is_base_of_v<tsyncOutput, Instance>;
        return false;
    }
};

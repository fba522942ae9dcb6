#include "kairon/core/BuiltinPluginFactory.h"

#include "platform/ClassRegistry.h"

BuiltinPluginFactory::BuiltinPluginFactory()
{
    pluginClasses_.reserve(1);
}

QStringList BuiltinPluginFactory::builtinClassNames()
{
    return { QStringLiteral("smallWindowController"), QStringLiteral("TimeWindowController"),
             QStringLiteral("MenuWindowController"), QStringLiteral("HotKeyController") };
}

void BuiltinPluginFactory::loadPlugins()
{
    for (const QString &name : builtinClassNames()) {
        auto cls = std::dynamic_pointer_cast<PluginClass>(
            platform::ClassRegistry::shared().classNamed(name));
        if (!cls)
            continue;
        pluginClasses_.push_back(cls);
        registerWithSharedManager(cls);
    }
}

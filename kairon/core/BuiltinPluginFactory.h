#pragma once

#include "kairon/core/PluginFactory.h"

#include <QStringList>

// Registers the compiled-in output classes that this program contains.
class BuiltinPluginFactory : public PluginFactory
{
public:
    BuiltinPluginFactory();
    // In this order: small clock, large clock, menu-bar clock, hot-key typist.
    static QStringList builtinClassNames();
    // Registers each name's class; a name without a class is skipped.
    void loadPlugins();
    const PluginClassList &pluginClasses() const { return pluginClasses_; }

private:
    PluginClassList pluginClasses_;
};

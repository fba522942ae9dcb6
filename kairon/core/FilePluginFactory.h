#pragma once

#include "kairon/core/PluginFactory.h"

#include <QString>

// Loads the plug-in bundles ("*.plugin") of the application's built-in
// plug-ins folder and registers their principal classes.
class FilePluginFactory : public PluginFactory
{
public:
    FilePluginFactory();
    // Every bundle of the folder, in name order (a Linux folder listing has
    // no defined order, and the input list follows the bundle order).
    void loadPlugins();
    // Loads one bundle and registers its principal class; the class creates
    // the instances.
    void loadPluginInstances(const QString &path);
    const PluginClassList &pluginClasses() const { return pluginClasses_; }

private:
    PluginClassList pluginClasses_;
};

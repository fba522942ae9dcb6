#pragma once

#include "kairon/core/PluginManager.h"

// Common base of the two factories that register plug-in classes with the
// shared plug-in manager at start-up.
class PluginFactory
{
public:
    virtual ~PluginFactory();

protected:
    PluginFactory() = default;
    // Registers the class with the shared manager, which sends it
    // initializePluginWithManager.
    static void registerWithSharedManager(const std::shared_ptr<PluginClass> &cls);
};

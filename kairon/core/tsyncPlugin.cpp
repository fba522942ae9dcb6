#include "kairon/core/tsyncPlugin.h"

#include "kairon/core/PluginManager.h"

// Out of line so the contracts' type information lives in the host
// executable, where the plug-in bundles resolve it.
tsyncPlugin::~tsyncPlugin() = default;

AbstractPluginManager::~AbstractPluginManager() = default;

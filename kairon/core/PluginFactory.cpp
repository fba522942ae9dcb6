#include "kairon/core/PluginFactory.h"

PluginFactory::~PluginFactory() = default;

void PluginFactory::registerWithSharedManager(const std::shared_ptr<PluginClass> &cls)
{
    if (PluginManager *manager = AbstractPluginManager::sharedManager())
        manager->addPluginClass(cls);
}

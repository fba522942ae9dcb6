#include "kairon/core/PluginManager.h"

#include "platform/SystemLog.h"

#include <new>
#include <utility>

namespace {

// The manager, its classes and instances live until the process exits: they
// may own windows, which must not be destroyed after the application object.
// So the reference is never destroyed.
std::shared_ptr<PluginManager> &installedManager()
{
    alignas(std::shared_ptr<PluginManager>) static unsigned char
        storage[sizeof(std::shared_ptr<PluginManager>)];
    static std::shared_ptr<PluginManager> *manager
        = ::new (storage) std::shared_ptr<PluginManager>();
    return *manager;
}

// Installed when the program image loads, before the application object and
// any interface file exist, so every later component finds a manager.
[[maybe_unused]] const bool sharedManagerInstalled = [] {
    AbstractPluginManager::setSharedManager(std::make_shared<PluginManager>());
    return true;
}();

// Identity of an entry as a plug-in, whichever contract list holds it.
template<class Entry>
void removeEveryOccurrence(std::vector<std::shared_ptr<Entry>> &list, const tsyncPlugin *instance)
{
    std::erase_if(list, [instance](const std::shared_ptr<Entry> &entry) {
        return static_cast<const tsyncPlugin *>(entry.get()) == instance;
    });
}

} // namespace

PluginManager *AbstractPluginManager::sharedManager()
{
    PluginManager *manager = installedManager().get();
    if (!manager)
        platform::systemLog(QStringLiteral("sharedManager does not exist!"));
    return manager;
}

void AbstractPluginManager::setSharedManager(std::shared_ptr<PluginManager> manager)
{
    // The replaced manager is released only after the new one is in place.
    std::shared_ptr<PluginManager> previous = std::exchange(installedManager(), std::move(manager));
}

void AbstractPluginManager::addPluginInstance(const PluginInstance &instance)
{
    if (PluginManager *manager = sharedManager())
        manager->addPluginInstance(instance);
}

InputList AbstractPluginManager::inputPluginInstances()
{
    if (PluginManager *manager = sharedManager())
        return manager->inputPluginInstances();
    return {};
}

OutputList AbstractPluginManager::outputPluginInstances()
{
    if (PluginManager *manager = sharedManager())
        return manager->outputPluginInstances();
    return {};
}

PluginManager::PluginManager()
{
    inputPlugins_.reserve(4);
    outputPlugins_.reserve(4);
    inputPluginClass_.reserve(4);
    outputPluginClass_.reserve(4);
}

void PluginManager::addPluginClass(const std::shared_ptr<PluginClass> &cls)
{
    if (!cls)
        return;
    if (cls->conformsTo(QStringLiteral("tsyncInput")))
        inputPluginClass_.push_back(cls);
    if (cls->conformsTo(QStringLiteral("tsyncOutput")))
        outputPluginClass_.push_back(cls);
    // Sent to every class, listed or not: the class adds its instances now.
    cls->initializePluginWithManager(this);
}

void PluginManager::addPluginInstance(const PluginInstance &instance)
{
    if (auto input = std::dynamic_pointer_cast<tsyncInput>(instance))
        inputPlugins_.push_back(std::move(input));
    if (auto output = std::dynamic_pointer_cast<tsyncOutput>(instance))
        outputPlugins_.push_back(std::move(output));
}

void PluginManager::removePluginInstance(const PluginInstance &instance)
{
    if (!instance)
        return;
    // Keep the instance alive until both lists are done with it, in case the
    // manager held the last reference.
    const PluginInstance keepAlive = instance;
    if (dynamic_cast<const tsyncInput *>(keepAlive.get()))
        removeEveryOccurrence(inputPlugins_, keepAlive.get());
    if (dynamic_cast<const tsyncOutput *>(keepAlive.get()))
        removeEveryOccurrence(outputPlugins_, keepAlive.get());
}

InputList PluginManager::inputPluginInstances() const
{
    return inputPlugins_;
}

OutputList PluginManager::outputPluginInstances() const
{
    return outputPlugins_;
}

PluginClassList PluginManager::inputPluginClasses() const
{
    return inputPluginClass_;
}

PluginClassList PluginManager::outputPluginClasses() const
{
    return outputPluginClass_;
}

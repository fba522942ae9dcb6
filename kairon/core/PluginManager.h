#pragma once

#include "kairon/core/PluginClass.h"
#include "kairon/core/tsyncInput.h"
#include "kairon/core/tsyncOutput.h"

#include <memory>
#include <vector>

class PluginManager;

using PluginInstance = std::shared_ptr<tsyncPlugin>;
using InputList = std::vector<std::shared_ptr<tsyncInput>>;
using OutputList = std::vector<std::shared_ptr<tsyncOutput>>;
using PluginClassList = std::vector<std::shared_ptr<PluginClass>>;

// Class-level facade over the one process-wide plug-in manager.
class AbstractPluginManager {
public:
    virtual ~AbstractPluginManager();
    // Logs "sharedManager does not exist!" and returns nullptr when none is installed.
    static PluginManager *sharedManager();
    static void setSharedManager(std::shared_ptr<PluginManager> manager);
    // Forwards to the shared manager; do nothing / return empty when there is none.
    static void addPluginInstance(const PluginInstance &instance);
    static InputList inputPluginInstances();
    static OutputList outputPluginInstances();
};

// Registered plug-in classes and live instances, sorted by contract. Main
// thread only. Query results are snapshots.
class PluginManager : public AbstractPluginManager {
public:
    PluginManager();
    // Registers the class and sends it initializePluginWithManager(this).
    void addPluginClass(const std::shared_ptr<PluginClass> &cls);
    void addPluginInstance(const PluginInstance &instance);
    void removePluginInstance(const PluginInstance &instance);
    InputList inputPluginInstances() const;
    OutputList outputPluginInstances() const;
    PluginClassList inputPluginClasses() const;
    PluginClassList outputPluginClasses() const;

private:
    InputList inputPlugins_;
    OutputList outputPlugins_;
    PluginClassList inputPluginClass_;
    PluginClassList outputPluginClass_;
};

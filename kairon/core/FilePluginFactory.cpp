#include "kairon/core/FilePluginFactory.h"

#include "platform/Bundle.h"
#include "platform/ClassRegistry.h"
#include "platform/SystemLog.h"

#include <QDir>
#include <QStringList>
#include <algorithm>

namespace {
const QString kPluginSuffix = QStringLiteral(".plugin");
}

FilePluginFactory::FilePluginFactory()
{
    pluginClasses_.reserve(1);
}

void FilePluginFactory::loadPlugins()
{
    const QString folder = platform::Bundle::mainBundle().builtInPlugInsPath();
    if (folder.isEmpty())
        return;
    QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
    names.removeIf([](const QString &name) {
        return !name.endsWith(kPluginSuffix) || name.size() == kPluginSuffix.size();
    });
    // Plain code-unit order, independent of the locale.
    std::sort(names.begin(), names.end());
    for (const QString &name : names)
        loadPluginInstances(QDir(folder).filePath(name));
}

void FilePluginFactory::loadPluginInstances(const QString &path)
{
    const std::shared_ptr<platform::Bundle> bundle = platform::Bundle::bundleWithPath(path);
    if (!bundle) {
        platform::systemLog(
            QStringLiteral("Skipping plug-in %1: not a readable bundle folder.").arg(path));
        return;
    }

    std::shared_ptr<platform::MetaClass> cls;
    const QString principalName
        = bundle->objectForInfoDictionaryKey(QStringLiteral("NSPrincipalClass")).toString();
    if (!principalName.isEmpty())
        cls = platform::ClassRegistry::shared().classNamed(principalName);
    if (!cls)
        cls = bundle->principalClass(); // loads the code
    if (!cls) {
        platform::systemLog(QStringLiteral("Skipping plug-in %1: it has no principal class. "
                                           "Reinstall Kairon or remove the plug-in.")
                                .arg(path));
        return;
    }

    auto pluginClass = std::dynamic_pointer_cast<PluginClass>(cls);
    if (!pluginClass) {
        platform::systemLog(
            QStringLiteral("Skipping plug-in %1: class %2 is not a Kairon plug-in class.")
                .arg(path, cls->className()));
        return;
    }
    pluginClasses_.push_back(pluginClass);
    registerWithSharedManager(pluginClass);
}

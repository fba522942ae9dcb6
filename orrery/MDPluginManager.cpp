#include "orrery/MDPluginManager.h"

#include <QDir>
#include <QDirIterator>
#include <algorithm>

namespace {

// The part after the last dot of the last component; empty without a dot.
QString extensionOf(const QString &relativePath)
{
    const QString name = relativePath.section(QLatin1Char('/'), -1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

} // namespace

MDPluginManager::MDPluginManager()
    : plugExt_(QStringLiteral("bundle"))
{
    myPluginBundles_.reserve(2);
    myPluginClasses_.reserve(2);
}

void MDPluginManager::setPluginExtension(const QString &extension)
{
    plugExt_ = extension;
}

void MDPluginManager::addPluginsFromPath(const QString &folder)
{
    for (const QString &path : allBundlesInPath(folder, plugExt_)) {
        auto bundle = platform::Bundle::bundleWithPath(path);
        if (!bundle)
            continue;
        myPluginBundles_.push_back(bundle);
        if (auto cls = bundle->principalClass())
            myPluginClasses_.push_back(std::move(cls));
    }
}

QStringList MDPluginManager::allBundlesInPath(const QString &folder, const QString &extension) const
{
    const QDir base(folder);
    std::vector<QStringList> found; // relative paths, split into components
    // Symbolic links are listed but not followed, so a link loop cannot trap the scan.
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = base.relativeFilePath(it.next());
        if (extensionOf(relative) == extension)
            found.push_back(relative.split(QLatin1Char('/')));
    }
    // A Linux folder listing has no defined order: list siblings by name,
    // each folder before what it contains.
    std::sort(found.begin(), found.end(), [](const QStringList &a, const QStringList &b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
    });
    QStringList paths;
    paths.reserve(qsizetype(found.size()));
    for (const QStringList &components : found)
        paths << base.filePath(components.join(QLatin1Char('/')));
    return paths;
}

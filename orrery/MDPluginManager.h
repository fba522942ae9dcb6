#pragma once

#include "platform/Bundle.h"
#include "platform/MetaClass.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// Finds metadata plug-in bundles below a folder and collects their principal
// classes. Lists only grow; nothing is de-duplicated or instantiated.
class MDPluginManager
{
public:
    using BundleList = std::vector<std::shared_ptr<platform::Bundle>>;
    using ClassList = std::vector<std::shared_ptr<platform::MetaClass>>;

    MDPluginManager();

    // The extension (no dot) of later scans; "bundle" to start with.
    void setPluginExtension(const QString &extension);
    // Opens every bundle below the folder, loads its code and keeps its
    // principal class when it has one.
    void addPluginsFromPath(const QString &folder);
    const BundleList &allPluginBundles() const { return myPluginBundles_; }
    const ClassList &allPluginClasses() const { return myPluginClasses_; }

    // Every path below the folder, bundles' insides included, whose last
    // component's extension equals `extension` exactly (case-sensitive, no
    // dot). Siblings in name order, each folder before its contents.
    QStringList allBundlesInPath(const QString &folder, const QString &extension) const;

private:
    BundleList myPluginBundles_;
    ClassList myPluginClasses_;
    QString plugExt_;
};

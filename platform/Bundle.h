#pragma once

#include "platform/MetaClass.h"

#include <QString>
#include <QVariant>
#include <memory>

namespace platform {

// A bundle is a folder whose name ends in an extension ("plugin", "bundle").
// It holds Info.ini ([Bundle] NSPrincipalClass=..., Executable=<file>.so),
// the shared object, and a Resources/ folder. The main bundle is the
// installed tree around the running executable (<root>/bin/<exe>).
class Bundle {
public:
    // Empty when the path is not a readable folder.
    static std::shared_ptr<Bundle> bundleWithPath(const QString &path);
    static Bundle &mainBundle();
    // Tests point the main bundle at another tree root.
    static void setMainBundleRoot(const QString &root);
    // The bundle whose code registered the class, or empty.
    static std::shared_ptr<Bundle> bundleForClass(const QString &className);

    QString bundlePath() const;
    QString resourcePath() const;           // <bundle>/Resources; <root>/share/kairon for the main bundle
    QString builtInPlugInsPath() const;     // <root>/lib/kairon/PlugIns for the main bundle, else empty
    QString pathForResource(const QString &name) const; // empty when the file does not exist
    QString pathForResource(const QString &name, const QString &type) const; // "<name>.<type>"
    QVariant objectForInfoDictionaryKey(const QString &key) const;

    // Loads the shared object (once); loading registers its classes. The code
    // stays loaded for the life of the process.
    bool load();
    bool isLoaded() const;
    // Loads the code; the class named by NSPrincipalClass, else the first class
    // the code registered; empty when there is none.
    std::shared_ptr<MetaClass> principalClass();
    QString loadError() const;

    // Only Bundle can make the key, so bundles come from the factories above.
    class ConstructionKey {
        friend class Bundle;
        ConstructionKey() = default;
    };
    Bundle(ConstructionKey, const QString &path, bool isMain);
    ~Bundle();
    Bundle(const Bundle &) = delete;
    Bundle &operator=(const Bundle &) = delete;

private:
    static std::shared_ptr<Bundle> &mainBundleShared();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace platform

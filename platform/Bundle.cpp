#include "platform/Bundle.h"

#include "platform/ClassRegistry.h"
#include "platform/SystemLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <dlfcn.h>
#include <map>
#include <mutex>
#include <vector>

namespace platform {

namespace {

// One lock for every bundle's load state and the main bundle's root. Loads
// are serialised so the classes registered during one dlopen belong to that
// bundle alone. Recursive because a bundle's static initialisers may load
// another bundle.
std::recursive_mutex &bundleLock()
{
    static std::recursive_mutex m;
    return m;
}

struct BundleTables {
    // Bundles by canonical folder path: the same folder always gives the same
    // bundle, so its code is opened once and its classes stay attributed.
    std::map<QString, std::shared_ptr<Bundle>> byPath;
    std::map<QString, std::weak_ptr<Bundle>> byClassName;
};

BundleTables &tables()
{
    static BundleTables t;
    return t;
}

QString rootOfRunningExecutable()
{
    // <root>/bin/<exe> or <root>/tests/<test>: the root is two levels up.
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    QDir dir = QFileInfo(exe).absoluteDir();
    dir.cdUp();
    return dir.absolutePath();
}

QVariantMap readInfo(const QString &bundlePath)
{
    QVariantMap info;
    const QString file = bundlePath + QStringLiteral("/Info.ini");
    if (!QFileInfo(file).isReadable())
        return info;
    QSettings ini(file, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("Bundle"));
    for (const QString &key : ini.childKeys())
        info.insert(key, ini.value(key));
    return info;
}

} // namespace

struct Bundle::Private {
    QString path;     // the bundle folder; the tree root for the main bundle
    bool isMain = false;
    QVariantMap info; // the [Bundle] group of Info.ini
    void *handle = nullptr;
    bool loadAttempted = false;
    QString loadError;
    std::vector<std::shared_ptr<MetaClass>> classes; // registered by this bundle's code
};

Bundle::Bundle(ConstructionKey, const QString &path, bool isMain)
    : d(std::make_unique<Private>())
{
    d->path = path;
    d->isMain = isMain;
    if (!isMain)
        d->info = readInfo(path);
}

// The handle is never closed: classes and instances made by the bundle's code
// live until the process ends.
Bundle::~Bundle() = default;

std::shared_ptr<Bundle> Bundle::bundleWithPath(const QString &path)
{
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.isDir() || !fi.isReadable() || !fi.isExecutable())
        return {};
    const QString canonical = fi.canonicalFilePath();
    std::lock_guard lock(bundleLock());
    auto &slot = tables().byPath[canonical];
    if (!slot)
        slot = std::make_shared<Bundle>(ConstructionKey{}, canonical, false);
    return slot;
}

std::shared_ptr<Bundle> &Bundle::mainBundleShared()
{
    static std::shared_ptr<Bundle> main =
        std::make_shared<Bundle>(ConstructionKey{}, rootOfRunningExecutable(), true);
    return main;
}

Bundle &Bundle::mainBundle()
{
    std::lock_guard lock(bundleLock());
    return *mainBundleShared();
}

void Bundle::setMainBundleRoot(const QString &root)
{
    std::lock_guard lock(bundleLock());
    mainBundleShared()->d->path = QDir(root).absolutePath();
}

std::shared_ptr<Bundle> Bundle::bundleForClass(const QString &className)
{
    std::lock_guard lock(bundleLock());
    auto it = tables().byClassName.find(className);
    if (it != tables().byClassName.end()) {
        if (auto bundle = it->second.lock())
            return bundle;
    }
    // A known class that no loaded bundle brought in is the application's own.
    if (ClassRegistry::shared().classNamed(className))
        return mainBundleShared();
    return {};
}

QString Bundle::bundlePath() const
{
    std::lock_guard lock(bundleLock());
    return d->path;
}

QString Bundle::resourcePath() const
{
    const QString base = bundlePath();
    return base + (d->isMain ? QStringLiteral("/share/kairon") : QStringLiteral("/Resources"));
}

QString Bundle::builtInPlugInsPath() const
{
    if (!d->isMain)
        return {};
    return bundlePath() + QStringLiteral("/lib/kairon/PlugIns");
}

QString Bundle::pathForResource(const QString &name) const
{
    if (name.isEmpty())
        return {};
    const QString candidate = resourcePath() + QLatin1Char('/') + name;
    return QFileInfo::exists(candidate) ? candidate : QString();
}

QString Bundle::pathForResource(const QString &name, const QString &type) const
{
    if (type.isEmpty())
        return pathForResource(name);
    return pathForResource(name + QLatin1Char('.') + type);
}

QVariant Bundle::objectForInfoDictionaryKey(const QString &key) const
{
    return d->info.value(key);
}

bool Bundle::load()
{
    std::lock_guard lock(bundleLock());
    if (d->isMain)
        return true;
    if (d->loadAttempted)
        return d->handle != nullptr;
    d->loadAttempted = true;

    const QString executable = d->info.value(QStringLiteral("Executable")).toString();
    if (executable.isEmpty()) {
        d->loadError = QStringLiteral("Bundle %1 names no Executable in Info.ini").arg(d->path);
        systemLog(d->loadError);
        return false;
    }
    const QString file = d->path + QLatin1Char('/') + executable;
    auto &registry = ClassRegistry::shared();
    const size_t mark = registry.registrationMark();
    // RTLD_NOW: a missing symbol is reported here, by load(), not as a crash
    // at the first call into the bundle. RTLD_LOCAL: two bundles may define
    // helpers of the same name without one taking over the other's; they
    // still resolve the host's and the shared libraries' symbols.
    void *handle = dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        d->loadError = QStringLiteral("Cannot load bundle code %1: %2")
                           .arg(file, why ? QString::fromLocal8Bit(why) : QStringLiteral("unknown error"));
        systemLog(d->loadError);
        return false;
    }
    d->handle = handle;
    d->classes = registry.classesRegisteredSince(mark);
    auto self = tables().byPath[d->path];
    for (const auto &cls : d->classes)
        tables().byClassName[cls->className()] = self;
    return true;
}

bool Bundle::isLoaded() const
{
    std::lock_guard lock(bundleLock());
    return d->isMain || d->handle != nullptr;
}

std::shared_ptr<MetaClass> Bundle::principalClass()
{
    if (!load())
        return {};
    const QString name = objectForInfoDictionaryKey(QStringLiteral("NSPrincipalClass")).toString();
    if (!name.isEmpty()) {
        if (auto cls = ClassRegistry::shared().classNamed(name))
            return cls;
    }
    std::lock_guard lock(bundleLock());
    return d->classes.empty() ? nullptr : d->classes.front();
}

QString Bundle::loadError() const
{
    std::lock_guard lock(bundleLock());
    return d->loadError;
}

} // namespace platform

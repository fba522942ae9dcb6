#include "orrery/MDPluginManager.h"
#include "orrery/NimboPlugin.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Readable failure messages (found by gtest through the argument's namespace).
inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace {

const QString kRoot = QStringLiteral(MD_FIXTURES);

QStringList relative(const QStringList &paths)
{
    QStringList out;
    for (const QString &p : paths)
        out << QDir(kRoot).relativeFilePath(p);
    return out;
}

QStringList classNames(const MDPluginManager::ClassList &classes)
{
    QStringList names;
    for (const auto &cls : classes)
        names << cls->className();
    return names;
}

QStringList bundleNames(const MDPluginManager::BundleList &bundles)
{
    QStringList names;
    for (const auto &bundle : bundles)
        names << QDir(kRoot).relativeFilePath(bundle->bundlePath());
    return names;
}

struct ScanCase
{
    const char *what;
    QString extension;
    QStringList expected;
};

class AllBundlesInPathTest : public testing::TestWithParam<ScanCase>
{
};

TEST_P(AllBundlesInPathTest, MatchesTheExtensionExactlyAtAnyDepth)
{
    const MDPluginManager manager;
    const QStringList paths = manager.allBundlesInPath(kRoot, GetParam().extension);
    EXPECT_EQ(relative(paths), GetParam().expected);
    for (const QString &p : paths)
        EXPECT_TRUE(p.startsWith(kRoot + QLatin1Char('/'))) << p.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, AllBundlesInPathTest,
    testing::Values(ScanCase { "Default",
                               QStringLiteral("bundle"),
                               { "A.bundle", "C.bundle", "C.bundle/Contents/Resources/D.bundle",
                                 "notabundle.bundle" } },
                    ScanCase { "Plugin", QStringLiteral("plugin"), { "B.plugin" } },
                    ScanCase { "CaseSensitive", QStringLiteral("Bundle"), { "E.Bundle" } },
                    ScanCase { "LeadingDot", QStringLiteral(".bundle"), {} },
                    ScanCase { "PartOfAnExtension", QStringLiteral("bund"), {} }),
    [](const testing::TestParamInfo<ScanCase> &info) { return std::string(info.param.what); });

TEST(MDPluginManagerTest, MissingFolderGivesNothing)
{
    MDPluginManager manager;
    EXPECT_TRUE(
        manager
            .allBundlesInPath(kRoot + QStringLiteral("/no-such-folder"), QStringLiteral("bundle"))
            .isEmpty());
    manager.addPluginsFromPath(kRoot + QStringLiteral("/no-such-folder"));
    EXPECT_TRUE(manager.allPluginBundles().empty());
    EXPECT_TRUE(manager.allPluginClasses().empty());
}

TEST(MDPluginManagerTest, CollectsBundlesAndTheirPrincipalClasses)
{
    MDPluginManager manager;
    manager.addPluginsFromPath(kRoot);
    // The plain file is not a bundle; C has no code, so no class.
    EXPECT_EQ(bundleNames(manager.allPluginBundles()),
              (QStringList { "A.bundle", "C.bundle", "C.bundle/Contents/Resources/D.bundle" }));
    EXPECT_EQ(classNames(manager.allPluginClasses()), (QStringList { "MDFixtureA", "MDFixtureD" }));

    // Nothing is de-duplicated.
    manager.addPluginsFromPath(kRoot);
    EXPECT_EQ(manager.allPluginBundles().size(), 6u);
    EXPECT_EQ(classNames(manager.allPluginClasses()),
              (QStringList { "MDFixtureA", "MDFixtureD", "MDFixtureA", "MDFixtureD" }));

    // A new extension applies to later scans only.
    manager.setPluginExtension(QStringLiteral("plugin"));
    manager.addPluginsFromPath(kRoot);
    EXPECT_EQ(bundleNames(manager.allPluginBundles()).last(), "B.plugin");
    EXPECT_EQ(classNames(manager.allPluginClasses()).last(), "MDFixtureB");
}

TEST(MDPluginManagerTest, SymbolicLinkLoopsEndTheScan)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("X.bundle/Contents")));
    ASSERT_TRUE(
        QFile::link(dir.path(), dir.path() + QStringLiteral("/X.bundle/Contents/loop.bundle")));
    const MDPluginManager manager;
    const QStringList found = manager.allBundlesInPath(dir.path(), QStringLiteral("bundle"));
    EXPECT_EQ(
        found,
        (QStringList { dir.path() + "/X.bundle", dir.path() + "/X.bundle/Contents/loop.bundle" }));
}

struct RecordingPlugin : NimboPlugin
{
    using NimboPlugin::myParent;
    using NimboPlugin::NimboPlugin;
    void recieveMetaData(const QVariant &data) override { received << data; }
    QVariantList received;
};

TEST(NimboPluginTest, BaseBehaviour)
{
    EXPECT_EQ(NimboPlugin::interfaceVersion(), 0u);

    testing::internal::CaptureStderr();
    RecordingPlugin orphan(nullptr);
    orphan.setListeners({ QVariant(1) });
    const QVariantList listeners = orphan.listeners();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(listeners.isEmpty());
    EXPECT_NE(log.find("NimboPlugin initWithParent: nil\n"), std::string::npos) << log;
    EXPECT_NE(log.find("- (void)setListeners:(NSArray*)aName  //TODO: fill in\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("- (NSArray*)listeners  //TODO: fill in\n"), std::string::npos) << log;

    EXPECT_TRUE(orphan.instanceName().isEmpty());
    EXPECT_TRUE(orphan.preferences().isEmpty());
    orphan.setInstanceName(QStringLiteral("first"));
    const QString kept = orphan.instanceName();
    orphan.setInstanceName(QStringLiteral("second"));
    orphan.setPreferences(QStringLiteral("rate=25"));
    EXPECT_EQ(kept, QStringLiteral("first")); // a caller's copy outlives the change
    EXPECT_EQ(orphan.instanceName(), QStringLiteral("second"));
    EXPECT_EQ(orphan.preferences(), QStringLiteral("rate=25"));

    // Hooks are overridden by their names; the base ones do nothing.
    NimboPlugin &base = orphan;
    base.recieveMetaData(QVariant(QStringLiteral("10:00:00:00")));
    base.recieveMetaBlock(QVariant());
    base.recievedLastMetaDataBlock();
    EXPECT_EQ(orphan.received.size(), 1);

    // The parent is not owned, and a plug-in never points at a parent that is gone.
    auto parent = std::make_unique<QObject>();
    RecordingPlugin child(parent.get());
    EXPECT_EQ(child.myParent(), parent.get());
    parent.reset();
    EXPECT_EQ(child.myParent(), nullptr);
}

} // namespace

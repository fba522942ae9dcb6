#include "platform/Bundle.h"
#include "platform/ClassRegistry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

QString buildDir()
{
    return QString::fromLocal8Bit(qgetenv("KAIRON_BUILD_DIR"));
}

QString fixturePath(const QString &name)
{
    return buildDir() + QStringLiteral("/tests/fixtures/platform/") + name;
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(contents);
}

TEST(Bundle, LoadingRegistersTheBundlesClassesAndFindsTheNamedPrincipalClass)
{
    auto bundle = platform::Bundle::bundleWithPath(fixturePath(QStringLiteral("Shapes.plugin")));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->objectForInfoDictionaryKey(QStringLiteral("NSPrincipalClass")).toString(),
              QStringLiteral("FixtureSquare"));
    EXPECT_FALSE(bundle->objectForInfoDictionaryKey(QStringLiteral("NoSuchKey")).isValid());
    if (!bundle->isLoaded()) { // its classes arrive with its code
        EXPECT_FALSE(platform::ClassRegistry::shared().classNamed(QStringLiteral("FixtureCircle")));
    }

    ASSERT_TRUE(bundle->load()) << bundle->loadError().toStdString();
    EXPECT_TRUE(bundle->isLoaded());
    EXPECT_TRUE(bundle->loadError().isEmpty());
    EXPECT_TRUE(bundle->load()); // once only, still fine

    auto principal = bundle->principalClass();
    ASSERT_TRUE(principal);
    EXPECT_EQ(principal->className(), QStringLiteral("FixtureSquare"));
    EXPECT_TRUE(principal->conformsTo(QStringLiteral("shape")));
    auto circle = platform::ClassRegistry::shared().classNamed(QStringLiteral("FixtureCircle"));
    ASSERT_TRUE(circle);
    EXPECT_EQ(platform::Bundle::bundleForClass(QStringLiteral("FixtureCircle")), bundle);
    EXPECT_EQ(platform::Bundle::bundleForClass(QStringLiteral("FixtureSquare")), bundle);
}

TEST(Bundle, UnknownPrincipalClassFallsBackToTheFirstClassTheCodeRegistered)
{
    auto bundle = platform::Bundle::bundleWithPath(fixturePath(QStringLiteral("UnknownPrincipal.bundle")));
    ASSERT_TRUE(bundle);
    auto principal = bundle->principalClass(); // loads the code on demand
    EXPECT_TRUE(bundle->isLoaded());
    ASSERT_TRUE(principal);
    EXPECT_EQ(principal->className(), QStringLiteral("FixtureTriangle"));
    EXPECT_EQ(platform::Bundle::bundleForClass(QStringLiteral("FixtureHexagon")), bundle);
}

TEST(Bundle, TheSameFolderGivesTheSameBundle)
{
    const QString path = fixturePath(QStringLiteral("Shapes.plugin"));
    auto a = platform::Bundle::bundleWithPath(path);
    auto b = platform::Bundle::bundleWithPath(path + QStringLiteral("/../Shapes.plugin/"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a, b);
}

TEST(Bundle, ResourcesAreFoundInsideTheBundle)
{
    auto bundle = platform::Bundle::bundleWithPath(fixturePath(QStringLiteral("Shapes.plugin")));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->resourcePath(), bundle->bundlePath() + QStringLiteral("/Resources"));
    EXPECT_EQ(bundle->pathForResource(QStringLiteral("shapes.txt")),
              bundle->resourcePath() + QStringLiteral("/shapes.txt"));
    EXPECT_EQ(bundle->pathForResource(QStringLiteral("shapes"), QStringLiteral("txt")),
              bundle->pathForResource(QStringLiteral("shapes.txt")));
    EXPECT_TRUE(bundle->pathForResource(QStringLiteral("missing.txt")).isEmpty());
    EXPECT_TRUE(bundle->pathForResource(QString()).isEmpty());
    EXPECT_TRUE(bundle->builtInPlugInsPath().isEmpty());
}

TEST(Bundle, PathsThatAreNotReadableFoldersGiveNoBundle)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeFile(dir.filePath(QStringLiteral("plain-file")), "x");
    QDir(dir.path()).mkdir(QStringLiteral("Locked.plugin"));
    QFile::setPermissions(dir.filePath(QStringLiteral("Locked.plugin")), QFileDevice::WriteOwner);

    EXPECT_FALSE(platform::Bundle::bundleWithPath(QString()));
    EXPECT_FALSE(platform::Bundle::bundleWithPath(dir.filePath(QStringLiteral("missing.plugin"))));
    EXPECT_FALSE(platform::Bundle::bundleWithPath(dir.filePath(QStringLiteral("plain-file"))));
    if (geteuid() != 0) { // root reads any folder
        EXPECT_FALSE(platform::Bundle::bundleWithPath(dir.filePath(QStringLiteral("Locked.plugin"))));
    }
    QFile::setPermissions(dir.filePath(QStringLiteral("Locked.plugin")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Bundles whose code cannot be loaded: the reason is kept and there is no class.
TEST(Bundle, CodeThatCannotBeLoadedIsReportedNotFatal)
{
    struct Case {
        const char *folder;
        QByteArray info;
        QByteArray executable; // written as Broken.so when not empty
        const char *expectedInError;
    };
    const Case cases[] = {
        {"Junk.plugin", "[Bundle]\nNSPrincipalClass=Junk\nExecutable=Broken.so\n", "not an ELF file",
         "Broken.so"},
        {"Missing.plugin", "[Bundle]\nNSPrincipalClass=Missing\nExecutable=Absent.so\n", "", "Absent.so"},
        {"NoExecutable.plugin", "[Bundle]\nNSPrincipalClass=None\n", "", "names no Executable"},
        {"NoInfo.plugin", "", "", "names no Executable"},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.folder);
        const QString folder = dir.filePath(QString::fromLatin1(c.folder));
        ASSERT_TRUE(QDir().mkpath(folder));
        if (!c.info.isEmpty())
            writeFile(folder + QStringLiteral("/Info.ini"), c.info);
        if (!c.executable.isEmpty())
            writeFile(folder + QStringLiteral("/Broken.so"), c.executable);
        auto bundle = platform::Bundle::bundleWithPath(folder);
        ASSERT_TRUE(bundle);
        EXPECT_FALSE(bundle->load());
        EXPECT_FALSE(bundle->isLoaded());
        EXPECT_TRUE(bundle->loadError().contains(QString::fromLatin1(c.expectedInError)))
            << bundle->loadError().toStdString();
        EXPECT_FALSE(bundle->principalClass());
    }
}

TEST(Bundle, MainBundleIsTheTreeAroundTheRunningExecutable)
{
    auto &main = platform::Bundle::mainBundle();
    const QString root = QDir(buildDir()).canonicalPath();
    ASSERT_FALSE(root.isEmpty()) << "KAIRON_BUILD_DIR is not set";
    EXPECT_EQ(QDir(main.bundlePath()).canonicalPath(), root);
    EXPECT_EQ(QDir(main.builtInPlugInsPath()).canonicalPath(), QDir(root + QStringLiteral("/lib/kairon/PlugIns")).canonicalPath());
    EXPECT_TRUE(main.isLoaded());
    EXPECT_TRUE(main.load());

    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    ASSERT_TRUE(QDir().mkpath(other.filePath(QStringLiteral("share/kairon"))));
    writeFile(other.filePath(QStringLiteral("share/kairon/main.ui")), "<ui/>");
    const QString before = main.bundlePath();
    platform::Bundle::setMainBundleRoot(other.path());
    EXPECT_EQ(main.resourcePath(), other.path() + QStringLiteral("/share/kairon"));
    EXPECT_EQ(main.builtInPlugInsPath(), other.path() + QStringLiteral("/lib/kairon/PlugIns"));
    EXPECT_EQ(main.pathForResource(QStringLiteral("main.ui")), other.filePath(QStringLiteral("share/kairon/main.ui")));
    platform::Bundle::setMainBundleRoot(before);
}

TEST(Bundle, ClassesOfTheProgramItselfBelongToTheMainBundle)
{
    auto &registry = platform::ClassRegistry::shared();
    auto all = registry.allClasses();
    ASSERT_FALSE(all.empty()); // the registry test's compiled-in class at least
    auto owner = platform::Bundle::bundleForClass(QStringLiteral("RegistryTestStaticClass"));
    ASSERT_TRUE(owner);
    EXPECT_EQ(owner.get(), &platform::Bundle::mainBundle());
    EXPECT_FALSE(platform::Bundle::bundleForClass(QStringLiteral("NoSuchClassAnywhere")));
}

} // namespace

#include "FixturePlugins.h"
#include "TestPrinters.h"

#include "kairon/core/BuiltinPluginFactory.h"
#include "kairon/core/FilePluginFactory.h"
#include "platform/Bundle.h"
#include "platform/ClassRegistry.h"

#include <gtest/gtest.h>

namespace {

const QString kFixtures = QStringLiteral(PLUGIN_FIXTURES);
const QString kOrderedPlugIns = kFixtures + QStringLiteral("/ordered/lib/kairon/PlugIns");

class PluginFactoryTest : public testing::Test
{
protected:
    void SetUp() override
    {
        manager = std::make_shared<PluginManager>();
        AbstractPluginManager::setSharedManager(manager);
        platform::Bundle::setMainBundleRoot(kFixtures + QStringLiteral("/ordered"));
    }
    std::shared_ptr<PluginManager> manager;
};

TEST_F(PluginFactoryTest, LoadsThePlugInsFolderInNameOrder)
{
    FilePluginFactory factory;
    testing::internal::CaptureStderr();
    factory.loadPlugins();
    const std::string log = testing::internal::GetCapturedStderr();

    // Alpha, Beta, Delta (not a plug-in class), Empty (no code), Gamma.
    EXPECT_EQ(classNamesOf(factory.pluginClasses()),
              (QStringList { "AlphaIn", "BetaBoth", "GammaIn" }));
    EXPECT_EQ(classNamesOf(manager->inputPluginClasses()),
              (QStringList { "AlphaIn", "BetaBoth", "GammaIn" }));
    EXPECT_EQ(classNamesOf(manager->outputPluginClasses()), QStringList { "BetaBoth" });
    EXPECT_EQ(namesOf(manager->inputPluginInstances()),
              (QStringList { "Alpha 1", "Alpha 2", "Beta", "Gamma" }));
    EXPECT_EQ(namesOf(manager->outputPluginInstances()), QStringList { "Beta" });

    // The skipped bundles say why; the wrong extension is not even opened.
    EXPECT_NE(log.find("Delta.plugin: class DeltaHelper is not a Kairon plug-in class"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Empty.plugin: it has no principal class"), std::string::npos) << log;
    EXPECT_EQ(log.find("Ignored"), std::string::npos) << log;
    EXPECT_EQ(platform::ClassRegistry::shared().classNamed(QStringLiteral("IgnoredIn")), nullptr);
}

TEST_F(PluginFactoryTest, UnknownPrincipalClassNameTakesTheFirstClassOfTheCode)
{
    ASSERT_EQ(platform::ClassRegistry::shared().classNamed(QStringLiteral("NoSuchClass")), nullptr);
    FilePluginFactory factory;
    factory.loadPluginInstances(kOrderedPlugIns + QStringLiteral("/Gamma.plugin"));
    EXPECT_EQ(classNamesOf(factory.pluginClasses()), QStringList { "GammaIn" });
    EXPECT_EQ(namesOf(manager->inputPluginInstances()), QStringList { "Gamma" });
    // The code was loaded: its second class is known but not registered.
    EXPECT_NE(platform::ClassRegistry::shared().classNamed(QStringLiteral("GammaSecond")), nullptr);
}

struct BundleCase
{
    const char *what;
    const char *path; // relative to the ordered plug-ins folder
    QStringList inputs;
    const char *logged; // expected in the log, or nullptr for a silent load
};

class LoadOneBundleTest : public PluginFactoryTest, public testing::WithParamInterface<BundleCase>
{
};

TEST_P(LoadOneBundleTest, RegistersOnlyAUsablePrincipalClass)
{
    const BundleCase &c = GetParam();
    FilePluginFactory factory;
    testing::internal::CaptureStderr();
    factory.loadPluginInstances(kOrderedPlugIns + QLatin1Char('/') + QLatin1String(c.path));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(namesOf(manager->inputPluginInstances()), c.inputs);
    EXPECT_EQ(factory.pluginClasses().size(), c.inputs.isEmpty() ? 0u : 1u);
    if (c.logged)
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    else
        EXPECT_EQ(log, "");
}

INSTANTIATE_TEST_SUITE_P(
    Bundles, LoadOneBundleTest,
    testing::Values(
        BundleCase { "Named", "Alpha.plugin", { "Alpha 1", "Alpha 2" }, nullptr },
        BundleCase { "AnyExtensionWhenGivenDirectly", "Ignored.bundle", { "Ignored" }, nullptr },
        BundleCase { "NotAPluginClass", "Delta.plugin", {}, "is not a Kairon plug-in class" },
        BundleCase { "MissingCode", "Empty.plugin", {}, "it has no principal class" },
        BundleCase { "NoSuchFolder", "Missing.plugin", {}, "not a readable bundle folder" }),
    [](const testing::TestParamInfo<BundleCase> &info) { return std::string(info.param.what); });

TEST_F(PluginFactoryTest, NoPlugInsFolderLeavesOnlyTheCompiledInOutputs)
{
    platform::Bundle::setMainBundleRoot(kFixtures + QStringLiteral("/no-plugins-folder"));
    {
        FilePluginFactory files;
        files.loadPlugins();
        EXPECT_TRUE(files.pluginClasses().empty());
    }
    BuiltinPluginFactory builtins;
    builtins.loadPlugins();

    // Whichever of the four output classes this program contains, in order.
    QStringList compiledIn;
    for (const QString &name : BuiltinPluginFactory::builtinClassNames()) {
        if (std::dynamic_pointer_cast<PluginClass>(
                platform::ClassRegistry::shared().classNamed(name)))
            compiledIn << name;
    }
    EXPECT_EQ(BuiltinPluginFactory::builtinClassNames(),
              (QStringList { "smallWindowController", "TimeWindowController",
                             "MenuWindowController", "HotKeyController" }));
    EXPECT_EQ(classNamesOf(builtins.pluginClasses()), compiledIn);
    EXPECT_EQ(classNamesOf(manager->outputPluginClasses()), compiledIn);
    EXPECT_TRUE(manager->inputPluginInstances().empty());
    EXPECT_TRUE(manager->inputPluginClasses().empty());
}

} // namespace

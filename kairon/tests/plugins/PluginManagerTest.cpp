#include "FixturePlugins.h"
#include "TestPrinters.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// Runs first in this executable: the manager must exist before main().
TEST(AbstractPluginManagerTest, ManagerIsInstalledAtProgramStart)
{
    testing::internal::CaptureStderr();
    EXPECT_NE(AbstractPluginManager::sharedManager(), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(AbstractPluginManagerTest, WithoutManagerLogsAndForwardsNothing)
{
    AbstractPluginManager::setSharedManager(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(AbstractPluginManager::sharedManager(), nullptr);
    AbstractPluginManager::addPluginInstance(
        std::make_shared<FixtureInput>(QStringLiteral("lost")));
    EXPECT_TRUE(AbstractPluginManager::inputPluginInstances().empty());
    EXPECT_TRUE(AbstractPluginManager::outputPluginInstances().empty());
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("sharedManager does not exist!\n"), std::string::npos) << log;

    auto manager = std::make_shared<PluginManager>();
    AbstractPluginManager::setSharedManager(manager);
    EXPECT_EQ(AbstractPluginManager::sharedManager(), manager.get());
    AbstractPluginManager::addPluginInstance(std::make_shared<FixtureBoth>(QStringLiteral("kept")));
    EXPECT_EQ(namesOf(AbstractPluginManager::inputPluginInstances()), QStringList { "kept" });
    EXPECT_EQ(namesOf(AbstractPluginManager::outputPluginInstances()), QStringList { "kept" });
}

TEST(AbstractPluginManagerTest, ReplacingTheManagerReleasesTheOldOne)
{
    auto first = std::make_shared<PluginManager>();
    std::weak_ptr<PluginManager> watch = first;
    AbstractPluginManager::setSharedManager(std::move(first));
    EXPECT_FALSE(watch.expired());
    AbstractPluginManager::setSharedManager(std::make_shared<PluginManager>());
    EXPECT_TRUE(watch.expired());
}

struct InstanceCase
{
    const char *what;
    // "+name" adds, "-name" removes the instance called name; "0" is a null instance.
    std::vector<std::string> steps;
    QStringList inputs;
    QStringList outputs;
};

class InstanceListTest : public testing::TestWithParam<InstanceCase>
{
};

TEST_P(InstanceListTest, ListsFollowContractsAndIdentity)
{
    const InstanceCase &c = GetParam();
    // "twin" and "twin2" share a display name: removal goes by identity.
    std::map<std::string, PluginInstance> instances = {
        { "in", std::make_shared<FixtureInput>(QStringLiteral("in")) },
        { "out", std::make_shared<FixtureOutput>(QStringLiteral("out")) },
        { "both", std::make_shared<FixtureBoth>(QStringLiteral("both")) },
        { "neither", std::make_shared<FixtureNeither>(QStringLiteral("neither")) },
        { "stranger", std::make_shared<FixtureInput>(QStringLiteral("stranger")) },
        { "twin", std::make_shared<FixtureInput>(QStringLiteral("twin")) },
        { "twin2", std::make_shared<FixtureInput>(QStringLiteral("twin")) },
        { "0", nullptr },
    };
    PluginManager manager;
    for (const std::string &step : c.steps) {
        const PluginInstance &instance = instances.at(step.substr(1));
        if (step[0] == '+')
            manager.addPluginInstance(instance);
        else
            manager.removePluginInstance(instance);
    }
    EXPECT_EQ(namesOf(manager.inputPluginInstances()), c.inputs);
    EXPECT_EQ(namesOf(manager.outputPluginInstances()), c.outputs);
}

INSTANTIATE_TEST_SUITE_P(
    AddAndRemove, InstanceListTest,
    testing::Values(
        InstanceCase { "input", { "+in" }, { "in" }, {} },
        InstanceCase { "output", { "+out" }, {}, { "out" } },
        InstanceCase { "both contracts listed in both", { "+both" }, { "both" }, { "both" } },
        InstanceCase { "neither contract not listed", { "+neither" }, {}, {} },
        InstanceCase { "registration order",
                       { "+out", "+in", "+both", "+twin" },
                       { "in", "both", "twin" },
                       { "out", "both" } },
        InstanceCase { "added twice listed twice", { "+in", "+in" }, { "in", "in" }, {} },
        InstanceCase { "one removal removes every occurrence",
                       { "+in", "+out", "+in", "-in" },
                       {},
                       { "out" } },
        InstanceCase { "both-contract instance removed from both",
                       { "+both", "+in", "+both", "-both" },
                       { "in" },
                       {} },
        InstanceCase { "removing a stranger changes nothing",
                       { "+in", "+out", "-stranger" },
                       { "in" },
                       { "out" } },
        InstanceCase { "removing from an empty manager", { "-both" }, {}, {} },
        InstanceCase {
            "removal by identity, not by name", { "+twin", "+twin2", "-twin" }, { "twin" }, {} },
        InstanceCase { "null instance ignored", { "+0", "+in", "-0" }, { "in" }, {} },
        InstanceCase { "removed then added again", { "+in", "-in", "+in" }, { "in" }, {} }),
    [](const testing::TestParamInfo<InstanceCase> &info) {
        std::string name = info.param.what;
        for (char &ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(PluginManagerTest, ManagerOwnsInstancesUntilRemoved)
{
    PluginManager manager;
    std::weak_ptr<tsyncPlugin> watch;
    {
        auto both = std::make_shared<FixtureBoth>(QStringLiteral("both"));
        watch = std::static_pointer_cast<tsyncInput>(both);
        manager.addPluginInstance(both);
    }
    EXPECT_FALSE(watch.expired());
    manager.removePluginInstance(watch.lock());
    EXPECT_TRUE(watch.expired());
}

TEST(PluginManagerTest, SnapshotsDoNotFollowLaterChanges)
{
    PluginManager manager;
    manager.addPluginInstance(std::make_shared<FixtureInput>(QStringLiteral("first")));
    const InputList before = manager.inputPluginInstances();
    auto later = std::make_shared<FixtureBoth>(QStringLiteral("later"));
    manager.addPluginInstance(later);
    EXPECT_EQ(namesOf(before), QStringList { "first" });
    EXPECT_EQ(namesOf(manager.inputPluginInstances()), (QStringList { "first", "later" }));

    // A snapshot keeps its entries alive after the manager removes them.
    const OutputList outputs = manager.outputPluginInstances();
    const PluginInstance first = before.front();
    manager.removePluginInstance(first);
    manager.removePluginInstance(later);
    later.reset();
    EXPECT_EQ(namesOf(outputs), QStringList { "later" });
    EXPECT_EQ(namesOf(before), QStringList { "first" });
    EXPECT_TRUE(manager.inputPluginInstances().empty());
}

TEST(PluginManagerTest, ClassesAreSortedByContractAndAllInitialised)
{
    auto inputClass = std::make_shared<FixtureClass<FixtureInput>>(QStringLiteral("InClass"),
                                                                   QStringList { "in 1", "in 2" });
    auto bothClass = std::make_shared<FixtureClass<FixtureBoth>>(QStringLiteral("BothClass"),
                                                                 QStringList { "both" });
    auto neitherClass = std::make_shared<FixtureClass<FixtureNeither>>(
        QStringLiteral("NeitherClass"), QStringList { "neither" });
    auto outputClass = std::make_shared<FixtureClass<FixtureOutput>>(QStringLiteral("OutClass"),
                                                                     QStringList { "out" });

    PluginManager manager;
    manager.addPluginClass(inputClass);
    manager.addPluginClass(bothClass);
    manager.addPluginClass(neitherClass);
    manager.addPluginClass(outputClass);
    manager.addPluginClass(nullptr);

    EXPECT_EQ(classNamesOf(manager.inputPluginClasses()), (QStringList { "InClass", "BothClass" }));
    EXPECT_EQ(classNamesOf(manager.outputPluginClasses()),
              (QStringList { "BothClass", "OutClass" }));
    EXPECT_EQ(namesOf(manager.inputPluginInstances()), (QStringList { "in 1", "in 2", "both" }));
    EXPECT_EQ(namesOf(manager.outputPluginInstances()), (QStringList { "both", "out" }));
    for (int count : { inputClass->initializeCount, bothClass->initializeCount,
                       neitherClass->initializeCount, outputClass->initializeCount })
        EXPECT_EQ(count, 1);
}

} // namespace

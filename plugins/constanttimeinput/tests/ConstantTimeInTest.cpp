#include "kairon/core/PluginManager.h"
#include "kairon/windows/preferenceController.h"
#include "orrery/TCMDTime.h"
#include "platform/Bundle.h"
#include "tools/testsupport/BuildTree.h"
#include "tools/testsupport/TestApplication.h"
#include "platform/UserDefaultsController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSpinBox>
#include <QTemporaryDir>
#include <ctime>
#include <sys/time.h>
#include <vector>

namespace {

using testsupport::application;
using testsupport::buildRoot;

platform::UserDefaultsController &defaults()
{
    return platform::UserDefaultsController::sharedUserDefaultsController();
}

void set(const char *key, const QVariant &value)
{
    defaults().setValueForKeyPath(value, QStringLiteral("values.") + QLatin1String(key));
}

// Seconds since the epoch of a time of day on today's local date.
double todayAt(int hour, int minute, int second, double fraction)
{
    const time_t now = time(nullptr);
    struct tm local
    {
    };
    localtime_r(&now, &local);
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    return double(mktime(&local)) + fraction;
}

double nowSeconds()
{
    timeval now {};
    gettimeofday(&now, nullptr);
    return double(now.tv_sec) + now.tv_usec / 1e6;
}

// A fresh user, the real bundle registered with a fresh manager.
class ConstantTimeInTest : public testing::Test
{
protected:
    void SetUp() override
    {
        application();
        ASSERT_TRUE(configHome.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
        defaults().reopen();
        preferenceController::initialize();
        auto bundle = platform::Bundle::bundleWithPath(
            buildRoot() + QStringLiteral("/lib/kairon/PlugIns/ConstantTimeInput.plugin"));
        ASSERT_TRUE(bundle);
        pluginClass = std::dynamic_pointer_cast<PluginClass>(bundle->principalClass());
        ASSERT_TRUE(pluginClass) << bundle->loadError().toStdString();
        ASSERT_EQ(pluginClass->className(), QStringLiteral("ConstantTimeIn"));
        ASSERT_EQ(pluginClass->pluginName(), QStringLiteral("Constant Time"));
    }

    // The class keeps the manager it was given (as the application's lives
    // until exit), so every test's manager is kept until the process ends.
    void registerClass()
    {
        static std::vector<std::shared_ptr<PluginManager>> managers;
        manager = std::make_shared<PluginManager>();
        managers.push_back(manager);
        manager->addPluginClass(pluginClass);
    }

    std::shared_ptr<tsyncInput> onlyInput() const
    {
        const InputList inputs = manager->inputPluginInstances();
        return inputs.size() == 1 ? inputs.front() : nullptr;
    }

    QTemporaryDir configHome;
    std::shared_ptr<PluginClass> pluginClass;
    std::shared_ptr<PluginManager> manager;
};

TEST_F(ConstantTimeInTest, ExistsOnlyWhileSwitchedOn)
{
    registerClass();
    EXPECT_TRUE(manager->inputPluginInstances().empty());
    EXPECT_EQ(manager->inputPluginClasses().size(), 1u);

    set("ConstantTimeEnabled", true);
    auto input = onlyInput();
    ASSERT_TRUE(input);
    EXPECT_EQ(input->name(), QStringLiteral("Constant Time"));
    EXPECT_EQ(input->statusLevel(), 2);
    set("ConstantTimeEnabled", true); // no second instance
    EXPECT_EQ(manager->inputPluginInstances().size(), 1u);

    set("ConstantTimeEnabled", false);
    EXPECT_TRUE(manager->inputPluginInstances().empty());
}

TEST_F(ConstantTimeInTest, SwitchedOnAtStartIsListedAtOnce)
{
    set("ConstantTimeEnabled", true);
    registerClass();
    EXPECT_TRUE(onlyInput());
}

TEST_F(ConstantTimeInTest, OffAndOnGivesAFreshInstanceWithTheCurrentValues)
{
    registerClass();
    set("ConstantTimeEnabled", true);
    std::weak_ptr<tsyncInput> first = onlyInput();
    set("ConstantTimeEnabled", false);
    EXPECT_TRUE(first.expired());

    set("ConstantTimeValue_HR", 7); // while off: read when switched on
    set("ConstantTimeValue_FR", 3);
    set("ConstantTimeEnabled", true);
    auto second = onlyInput();
    ASSERT_TRUE(second);
    auto time = second->myTime();
    ASSERT_TRUE(time);
    EXPECT_EQ(time->hour(), 7u);
    EXPECT_EQ(time->frame(), 3u);
}

TEST_F(ConstantTimeInTest, TimeAndDeltaOfTheConfiguredValues)
{
    set("ConstantTimeValue_HR", 10);
    set("ConstantTimeValue_MN", 20);
    set("ConstantTimeValue_SC", 30);
    set("ConstantTimeValue_FR", 15);
    set("ConstantTimeEnabled", true);
    registerClass();
    auto input = onlyInput();
    ASSERT_TRUE(input);

    auto time = input->myTime();
    ASSERT_TRUE(time);
    EXPECT_EQ(time->hour(), 10u);
    EXPECT_EQ(time->minute(), 20u);
    EXPECT_EQ(time->second(), 30u);
    EXPECT_EQ(time->frame(), 15u);
    EXPECT_EQ(time->fps(), 30u);
    EXPECT_FALSE(time->isDropFrame());

    const double expected = todayAt(10, 20, 30, 0.5) - nowSeconds();
    const TimeDelta delta = input->currentTimeDelta();
    EXPECT_NEAR(delta.tv_sec + delta.tv_usec / 1e6, expected, 0.05);
    // Fields are subtracted separately: 500000 microseconds less the clock's.
    EXPECT_GT(delta.tv_usec, 500000 - 1000000);
    EXPECT_LE(delta.tv_usec, 500000);
}

TEST_F(ConstantTimeInTest, FollowsValueChangesWhileOn)
{
    set("ConstantTimeEnabled", true);
    registerClass();
    auto input = onlyInput();
    ASSERT_TRUE(input);

    set("ConstantTimeValue_MN", 45);
    EXPECT_EQ(onlyInput(), input);
    auto time = input->myTime();
    ASSERT_TRUE(time);
    EXPECT_EQ(time->minute(), 45u);
}

TEST_F(ConstantTimeInTest, FrameThirtyGivesNoLabelButCountsAsAWholeSecond)
{
    set("ConstantTimeValue_HR", 10);
    set("ConstantTimeValue_FR", 30);
    set("ConstantTimeEnabled", true);
    registerClass();
    auto input = onlyInput();
    ASSERT_TRUE(input);

    EXPECT_EQ(input->myTime(), nullptr);
    const double expected = todayAt(10, 0, 1, 0.0) - nowSeconds();
    const TimeDelta delta = input->currentTimeDelta();
    EXPECT_NEAR(delta.tv_sec + delta.tv_usec / 1e6, expected, 0.05);
    EXPECT_GT(delta.tv_usec, 0);
    EXPECT_LE(delta.tv_usec, 1000000);
}

TEST_F(ConstantTimeInTest, HandEditedFrameCountsFarBeyondASecondStillGiveTheirDelta)
{
    set("ConstantTimeEnabled", true);
    registerClass();
    auto input = onlyInput();
    ASSERT_TRUE(input);
    // Single precision leaves the largest counts some seconds off.
    const struct
    {
        int frames;
        double tolerance;
    } cases[] = { { 100000, 0.05 }, { -100000, 0.05 }, { 2147483647, 20 }, { -2147483647, 20 } };
    for (const auto &c : cases) {
        set("ConstantTimeValue_FR", c.frames);
        const double expected = todayAt(0, 0, 0, c.frames / 30.0) - nowSeconds();
        const TimeDelta delta = input->currentTimeDelta();
        EXPECT_NEAR(delta.tv_sec + delta.tv_usec / 1e6, expected, c.tolerance) << c.frames;
    }
}

TEST_F(ConstantTimeInTest, InvalidValuesGiveNoLabel)
{
    set("ConstantTimeEnabled", true);
    registerClass();
    auto input = onlyInput();
    ASSERT_TRUE(input);
    for (const auto &[key, value] :
         { std::pair { "ConstantTimeValue_HR", 24 }, std::pair { "ConstantTimeValue_MN", 60 },
           std::pair { "ConstantTimeValue_SC", -1 } }) {
        set(key, value);
        EXPECT_EQ(input->myTime(), nullptr) << key << " " << value;
        set(key, 0);
        EXPECT_NE(input->myTime(), nullptr);
    }
}

TEST_F(ConstantTimeInTest, PaneSwitchesTheInputAndSetsItsValues)
{
    registerClass();
    QWidget *pane = pluginClass->preferenceView();
    ASSERT_NE(pane, nullptr);
    auto *enabled = pane->findChild<QCheckBox *>(QStringLiteral("enabled"));
    auto *hours = pane->findChild<QSpinBox *>(QStringLiteral("hours"));
    auto *frames = pane->findChild<QSpinBox *>(QStringLiteral("frames"));
    ASSERT_TRUE(enabled && hours && frames);

    enabled->setChecked(true);
    hours->setValue(22);
    frames->setValue(29);

    auto input = onlyInput();
    ASSERT_TRUE(input);
    auto time = input->myTime();
    ASSERT_TRUE(time);
    EXPECT_EQ(time->hour(), 22u);
    EXPECT_EQ(time->frame(), 29u);
    EXPECT_EQ(frames->maximum(), 29);
    delete pane;
}

} // namespace

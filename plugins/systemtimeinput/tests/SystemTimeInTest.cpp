#include "kairon/core/PluginManager.h"
#include "kairon/windows/preferenceController.h"
#include "orrery/TCMDTime.h"
#include "platform/Bundle.h"
#include "tools/testsupport/BuildTree.h"
#include "tools/testsupport/TestApplication.h"
#include "platform/ClassRegistry.h"
#include "platform/UserDefaultsController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSpinBox>
#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>
#include <sys/time.h>

namespace {

using testsupport::application;
using testsupport::buildRoot;

QString pluginsFolder()
{
    return buildRoot() + QStringLiteral("/lib/kairon/PlugIns");
}

platform::UserDefaultsController &defaults()
{
    return platform::UserDefaultsController::sharedUserDefaultsController();
}

// The frame a clock reading falls in at a rate.
int frameOf(const timeval &clock, int rate)
{
    return int(double(float(clock.tv_usec)) / 1000000.0 * rate);
}

// A fresh user, the real bundle registered with a fresh manager.
class SystemTimeInTest : public testing::Test
{
protected:
    void SetUp() override
    {
        application();
        ASSERT_TRUE(configHome.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
        defaults().reopen();
        preferenceController::initialize();

        auto bundle = platform::Bundle::bundleWithPath(pluginsFolder()
                                                       + QStringLiteral("/SystemTimeInput.plugin"));
        ASSERT_TRUE(bundle);
        pluginClass = std::dynamic_pointer_cast<PluginClass>(bundle->principalClass());
        ASSERT_TRUE(pluginClass) << bundle->loadError().toStdString();
        manager = std::make_shared<PluginManager>();
        manager->addPluginClass(pluginClass);
        ASSERT_EQ(manager->inputPluginInstances().size(), 1u);
        input = manager->inputPluginInstances().front();
    }

    void TearDown() override
    {
        unsetenv("TZ");
        tzset();
    }

    // A time whose two clock readings around it fall into the same second.
    std::shared_ptr<const TCMDTime> bracketedTime(timeval &before, timeval &after)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            gettimeofday(&before, nullptr);
            auto time = input->myTime();
            gettimeofday(&after, nullptr);
            if (before.tv_sec == after.tv_sec)
                return time;
        }
        ADD_FAILURE() << "the clock never stayed within one second";
        return nullptr;
    }

    QTemporaryDir configHome;
    std::shared_ptr<PluginClass> pluginClass;
    std::shared_ptr<PluginManager> manager;
    std::shared_ptr<tsyncInput> input;
};

TEST_F(SystemTimeInTest, IsTheInformationalSystemTimeInput)
{
    EXPECT_EQ(pluginClass->className(), QStringLiteral("SystemTimeIn"));
    EXPECT_EQ(pluginClass->pluginName(), QStringLiteral("System Time"));
    EXPECT_EQ(input->name(), QStringLiteral("System Time"));
    EXPECT_TRUE(pluginClass->conformsTo(QStringLiteral("tsyncInput")));
    EXPECT_FALSE(pluginClass->conformsTo(QStringLiteral("tsyncOutput")));
    for (int call = 0; call < 3; ++call)
        EXPECT_EQ(input->statusLevel(), 2);
}

TEST_F(SystemTimeInTest, TimeIsLocalWithTheFrameOfTheMicrosecondsAtTheRate)
{
    struct Zone
    {
        const char *tz;
        int hoursEastOfUtc;
    };
    for (const Zone zone : { Zone { "UTC0", 0 }, Zone { "XST-13", 13 }, Zone { "YST+11", -11 } }) {
        setenv("TZ", zone.tz, 1);
        tzset();
        timeval before {};
        timeval after {};
        auto time = bracketedTime(before, after);
        ASSERT_TRUE(time) << zone.tz;

        const time_t seconds = before.tv_sec;
        struct tm utc
        {
        };
        gmtime_r(&seconds, &utc);
        EXPECT_EQ(int(time->hour()), (utc.tm_hour + zone.hoursEastOfUtc + 24) % 24) << zone.tz;
        EXPECT_EQ(int(time->minute()), utc.tm_min);
        EXPECT_EQ(int(time->second()), utc.tm_sec);
        EXPECT_GE(int(time->frame()), frameOf(before, 30));
        EXPECT_LE(int(time->frame()), frameOf(after, 30));
        EXPECT_EQ(time->fps(), 30u);
        EXPECT_FALSE(time->isDropFrame());
    }
}

TEST_F(SystemTimeInTest, RateChangeAppliesToTheNextTime)
{
    defaults().setValueForKeyPath(25, QStringLiteral("values.systemTime_framerate"));
    int highest = 0;
    for (int i = 0; i < 200; ++i) {
        timeval before {};
        timeval after {};
        auto time = bracketedTime(before, after);
        ASSERT_TRUE(time);
        EXPECT_EQ(time->fps(), 25u);
        EXPECT_FALSE(time->isDropFrame());
        EXPECT_GE(int(time->frame()), frameOf(before, 25));
        EXPECT_LE(int(time->frame()), frameOf(after, 25));
        highest = std::max(highest, int(time->frame()));
    }
    EXPECT_LT(highest, 25);

    defaults().setValueForKeyPath(0, QStringLiteral("values.systemTime_framerate"));
    EXPECT_EQ(input->myTime(), nullptr);
}

TEST_F(SystemTimeInTest, DeltaIsPracticallyZero)
{
    for (int i = 0; i < 100; ++i) {
        const TimeDelta delta = input->currentTimeDelta();
        const double seconds = delta.tv_sec + delta.tv_usec / 1e6;
        EXPECT_LE(seconds, 0.0);
        EXPECT_GT(seconds, -0.05);
    }
}

TEST_F(SystemTimeInTest, PaneEditsTheFrameRate)
{
    QWidget *pane = pluginClass->preferenceView();
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pluginClass->preferenceView(), pane); // loaded once
    auto *rate = pane->findChild<QSpinBox *>(QStringLiteral("framerate"));
    ASSERT_NE(rate, nullptr);
    EXPECT_EQ(rate->value(), 30);

    rate->setValue(24);

    EXPECT_EQ(defaults().intValueForKeyPath(QStringLiteral("values.systemTime_framerate")), 24);
    auto time = input->myTime();
    ASSERT_TRUE(time);
    EXPECT_EQ(time->fps(), 24u);
    delete pane;
}

// A copy of the bundle without its pane, loaded before the real one, in a
// tree of the installed shape (its libraries linked from the build tree).
TEST(SystemTimePaneMissing, LogsAndGivesNoView)
{
    application();
    if (platform::ClassRegistry::shared().classNamed(QStringLiteral("SystemTimeIn")))
        GTEST_SKIP() << "the real bundle is already loaded in this process";
    QTemporaryDir copy;
    const QString libraries = buildRoot() + QStringLiteral("/lib");
    ASSERT_TRUE(QDir().mkpath(copy.path() + QStringLiteral("/lib")));
    for (const QFileInfo &library :
         QDir(libraries).entryInfoList({ QStringLiteral("*.so*") }, QDir::Files))
        ASSERT_TRUE(QFile::link(library.absoluteFilePath(),
                                copy.path() + QStringLiteral("/lib/") + library.fileName()));
    const QString source = pluginsFolder() + QStringLiteral("/SystemTimeInput.plugin");
    const QString target
        = copy.path() + QStringLiteral("/lib/kairon/PlugIns/SystemTimeInput.plugin");
    ASSERT_TRUE(QDir().mkpath(target + QStringLiteral("/Resources")));
    for (const char *file : { "Info.ini", "SystemTimeInput.so" })
        ASSERT_TRUE(QFile::copy(source + QLatin1Char('/') + QLatin1String(file),
                                target + QLatin1Char('/') + QLatin1String(file)));
    auto bundle = platform::Bundle::bundleWithPath(target);
    ASSERT_TRUE(bundle);
    auto pluginClass = std::dynamic_pointer_cast<PluginClass>(bundle->principalClass());
    ASSERT_TRUE(pluginClass);

    for (int attempt = 0; attempt < 2; ++attempt) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(pluginClass->preferenceView(), nullptr);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find("ERROR: cannot load systemTimePreference.ui"), std::string::npos) << log;
    }
}

} // namespace

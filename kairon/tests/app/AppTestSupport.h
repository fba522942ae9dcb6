#pragma once

#include "kairon/core/PluginManager.h"
#include "kairon/core/tsyncInput.h"
#include "kairon/core/tsyncMainApp.h"
#include "kairon/core/tsyncOutput.h"
#include "orrery/TCMDTime.h"
#include "platform/Bundle.h"
#include "platform/UserDefaultsController.h"
#include "tools/testsupport/BuildTree.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QVariant>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

namespace apptest {

// An input whose answers the test sets; counts the status queries.
class FakeInput : public tsyncInput
{
public:
    FakeInput(QString name, StatusLevel level)
        : name_(std::move(name))
        , level_(level)
    {
    }
    QString name() const override { return name_; }
    StatusLevel statusLevel() override
    {
        ++statusQueries;
        return level_;
    }
    TimeDelta currentTimeDelta() override { return delta; }
    std::shared_ptr<const TCMDTime> myTime() override { return time; }

    void setLevel(StatusLevel level) { level_ = level; }

    std::shared_ptr<const TCMDTime> time = TCMDTime::initWithHour(1, 2, 3, 4, 30, false);
    TimeDelta delta { 1, 500000 };
    int statusQueries = 0;

private:
    QString name_;
    StatusLevel level_;
};

// An output that records every update it is sent.
class RecordingOutput : public tsyncOutput
{
public:
    struct Update
    {
        std::shared_ptr<const TCMDTime> time;
        TimeDelta offset;
        QString name;
        int32_t offsetFraction;
        bool showFrames;
        StatusLevel status;
    };
    QString name() const override { return QStringLiteral("Recording Output"); }
    void start(QObject *) override { }
    void stop(QObject *) override { }
    void updateTime(std::shared_ptr<const TCMDTime> time, TimeDelta offset, const QString &name,
                    int32_t offsetFraction, bool showFrames, StatusLevel status) override
    {
        updates.push_back({ std::move(time), offset, name, offsetFraction, showFrames, status });
    }
    std::vector<Update> updates;
};

// A test name from a description: "keep searching off" -> KeepSearchingOff.
inline std::string caseName(const std::string &description)
{
    std::string name;
    bool upper = true;
    for (char c : description) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += upper ? char(std::toupper(static_cast<unsigned char>(c))) : c;
            upper = false;
        } else {
            upper = true;
        }
    }
    return name;
}

inline tsyncMainApp &app()
{
    return *tsyncMainApp::sharedApplication();
}

using testsupport::buildRoot;

inline platform::UserDefaultsController &defaults()
{
    return platform::UserDefaultsController::sharedUserDefaultsController();
}

inline void setDefault(const QString &key, const QVariant &value)
{
    defaults().setValueForKeyPath(value, QStringLiteral("values.") + key);
}

// A fresh user (own settings folder), the build tree as the application's
// installed tree, and a fresh, empty plug-in manager.
class AppTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(configHome.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
        defaults().reopen();
        platform::Bundle::setMainBundleRoot(buildRoot());
        manager = std::make_shared<PluginManager>();
        AbstractPluginManager::setSharedManager(manager);
    }

    void TearDown() override
    {
        AbstractPluginManager::setSharedManager(std::make_shared<PluginManager>());
    }

    std::shared_ptr<FakeInput> addInput(const QString &name, StatusLevel level)
    {
        auto input = std::make_shared<FakeInput>(name, level);
        manager->addPluginInstance(input);
        return input;
    }

    std::shared_ptr<RecordingOutput> addOutput()
    {
        auto output = std::make_shared<RecordingOutput>();
        manager->addPluginInstance(output);
        return output;
    }

    QTemporaryDir configHome;
    std::shared_ptr<PluginManager> manager;
};

} // namespace apptest

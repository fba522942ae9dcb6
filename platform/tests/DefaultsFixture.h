#pragma once

#include "platform/UserDefaultsController.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <vector>

// Every test gets its own settings folder, as a fresh user would.
class DefaultsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(configHome.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
        controller().reopen();
        controller().registerDefaults({
            {QStringLiteral("testRate"), QStringLiteral("30")},
            {QStringLiteral("testCount"), 13},
            {QStringLiteral("testFormat"), QStringLiteral("%n%H:%M:%S%t")},
            {QStringLiteral("testFlag"), false},
            {QStringLiteral("testOn"), true},
        });
    }

    static platform::UserDefaultsController &controller()
    {
        return platform::UserDefaultsController::sharedUserDefaultsController();
    }

    QString settingsFile() const { return configHome.path() + QStringLiteral("/Kairon/Kairon.conf"); }

    // Replaces the settings file, as a user editing it by hand would, and reopens it.
    void writeSettingsFile(const QByteArray &contents)
    {
        QDir().mkpath(configHome.path() + QStringLiteral("/Kairon"));
        QFile f(settingsFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(contents);
        f.close();
        controller().reopen();
    }

    QTemporaryDir configHome;
};

// Records every notification; may run an extra step inside one.
struct RecordingObserver : platform::KeyValueObserver {
    struct Call {
        QString keyPath;
        QVariantMap change;
        void *context;
    };
    std::vector<Call> calls;
    std::function<void()> duringCall;

    void observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &change,
                                void *context) override
    {
        calls.push_back({keyPath, change, context});
        if (duringCall)
            duringCall();
    }
};

#pragma once

#include "platform/UserDefaultsController.h"

#include <QTemporaryDir>
#include <QtGlobal>

// Points the settings store at an empty temporary config folder for one test.
class SettingsSandbox
{
public:
    SettingsSandbox()
    {
        qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
        defaults().reopen();
    }

    QString configHome() const { return dir_.path(); }
    QString settingsFile() const { return dir_.path() + QStringLiteral("/Kairon/Kairon.conf"); }
    static platform::UserDefaultsController &defaults()
    {
        return platform::UserDefaultsController::sharedUserDefaultsController();
    }

private:
    QTemporaryDir dir_;
};

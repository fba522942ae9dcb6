#pragma once

#include "platform/InterfaceLoader.h"
#include "platform/SystemLog.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

// Owner of a plug-in's preference pane: loads the pane's interface file on
// first use, keeps it, and tries again after a failure or once the pane has
// gone with its window. Header-only so each plug-in bundle carries its own.
class PreferencePaneController : public QObject
{
public:
    explicit PreferencePaneController(const char *interfaceFile)
        : interfaceFile_(QLatin1String(interfaceFile))
    {
    }

    // nullptr when the interface file cannot be loaded.
    QWidget *preferenceView()
    {
        if (isNibLoaded && !prefView)
            isNibLoaded = false;
        if (!isNibLoaded) {
            const QString path = interfaceFilePath();
            QString error = QStringLiteral("the plug-in's resources folder was not found");
            prefView = path.isEmpty() ? nullptr : platform::InterfaceLoader::load(path, this, nullptr, &error);
            isNibLoaded = !prefView.isNull();
            if (!isNibLoaded) {
                platform::systemLog(QStringLiteral("ERROR: cannot load %1 (tried %2: %3)")
                                        .arg(interfaceFile_, path, error));
                return nullptr;
            }
        }
        return prefView;
    }

protected:
    // Where the interface file is looked for; empty when it cannot be located.
    virtual QString interfaceFilePath() const = 0;
    const QString interfaceFile_;

private:
    bool isNibLoaded = false;
    // The preferences window takes the pane over; we only keep track of it.
    QPointer<QWidget> prefView;
};

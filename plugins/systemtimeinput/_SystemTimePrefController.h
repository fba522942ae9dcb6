#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

// Owner of the System Time preference pane; one per process.
class _SystemTimePrefController : public QObject
{
public:
    static constexpr const char *kInterfaceFile = "systemTimePreference.ui";

    // The shared controller's pane; nullptr when the interface file fails to load.
    static QWidget *globalNib();
    static _SystemTimePrefController &shared();

    // Loads the pane on first use; after a failure the next call tries again.
    QWidget *preferenceView();

private:
    bool isNibLoaded = false;
    // The preferences window takes the pane over; we only keep track of it.
    QPointer<QWidget> prefView;
};

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

// Owner of the Constant Time preference pane; one per process.
class _ConstantTimePrefController : public QObject
{
public:
    static constexpr const char *kInterfaceFile = "constantTimePreference.ui";

    // The shared controller's pane; nullptr when the interface file fails to load.
    static QWidget *globalNib();
    static _ConstantTimePrefController &shared();

    // Loads the pane on first use; after a failure the next call tries again.
    QWidget *preferenceView();

private:
    bool isNibLoaded = false;
    // The preferences window takes the pane over; we only keep track of it.
    QPointer<QWidget> prefView;
};

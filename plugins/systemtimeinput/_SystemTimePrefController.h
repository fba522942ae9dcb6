#pragma once

#include "kairon/core/PreferencePaneController.h"

// Owner of the System Time preference pane; one per process.
class _SystemTimePrefController : public PreferencePaneController
{
public:
    static constexpr const char *kInterfaceFile = "systemTimePreference.ui";

    // The shared controller's pane; nullptr when the interface file fails to load.
    static QWidget *globalNib();
    static _SystemTimePrefController &shared();

private:
    _SystemTimePrefController() : PreferencePaneController(kInterfaceFile) {}
    QString interfaceFilePath() const override;
};

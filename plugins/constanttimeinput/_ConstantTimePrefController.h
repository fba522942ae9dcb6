#pragma once

#include "kairon/core/PreferencePaneController.h"

// Owner of the Constant Time preference pane; one per process.
class _ConstantTimePrefController : public PreferencePaneController
{
public:
    static constexpr const char *kInterfaceFile = "constantTimePreference.ui";

    // The shared controller's pane; nullptr when the interface file fails to load.
    static QWidget *globalNib();
    static _ConstantTimePrefController &shared();

private:
    _ConstantTimePrefController() : PreferencePaneController(kInterfaceFile) {}
    QString interfaceFilePath() const override;
};

#pragma once

#include "kairon/core/PreferencePaneController.h"

// Owner of the Audio LTC preference pane; one per process.
class _SMPTETimePrefController : public PreferencePaneController
{
public:
    static constexpr const char *kInterfaceFile = "SMPTETimePreference.ui";

    // The shared controller's pane; nullptr when the interface file fails to load.
    static QWidget *globalNib();
    static _SMPTETimePrefController &shared();

private:
    _SMPTETimePrefController() : PreferencePaneController(kInterfaceFile) {}
    QString interfaceFilePath() const override;
};

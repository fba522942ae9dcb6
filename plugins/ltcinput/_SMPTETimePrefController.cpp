#include "plugins/ltcinput/_SMPTETimePrefController.h"

#include "plugins/ltcinput/SMPTETimeIn.h"

QWidget *_SMPTETimePrefController::globalNib()
{
    return shared().preferenceView();
}

_SMPTETimePrefController &_SMPTETimePrefController::shared()
{
    static _SMPTETimePrefController controller;
    return controller;
}

QString _SMPTETimePrefController::interfaceFilePath() const
{
    return SMPTETimeIn::resourceFolder() + QLatin1Char('/') + interfaceFile_;
}

#include "plugins/systemtimeinput/_SystemTimePrefController.h"

#include "platform/Bundle.h"

QWidget *_SystemTimePrefController::globalNib()
{
    return shared().preferenceView();
}

_SystemTimePrefController &_SystemTimePrefController::shared()
{
    static _SystemTimePrefController controller;
    return controller;
}

QString _SystemTimePrefController::interfaceFilePath() const
{
    const auto bundle = platform::Bundle::bundleForClass(QStringLiteral("SystemTimeIn"));
    return bundle ? bundle->resourcePath() + QLatin1Char('/') + interfaceFile_ : QString();
}

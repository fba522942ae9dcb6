#include "plugins/constanttimeinput/_ConstantTimePrefController.h"

#include "platform/Bundle.h"

QWidget *_ConstantTimePrefController::globalNib()
{
    return shared().preferenceView();
}

_ConstantTimePrefController &_ConstantTimePrefController::shared()
{
    static _ConstantTimePrefController controller;
    return controller;
}

QString _ConstantTimePrefController::interfaceFilePath() const
{
    const auto bundle = platform::Bundle::bundleForClass(QStringLiteral("ConstantTimeIn"));
    return bundle ? bundle->resourcePath() + QLatin1Char('/') + interfaceFile_ : QString();
}

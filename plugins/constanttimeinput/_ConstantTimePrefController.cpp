#include "plugins/constanttimeinput/_ConstantTimePrefController.h"

#include "platform/Bundle.h"
#include "platform/InterfaceLoader.h"
#include "platform/SystemLog.h"

QWidget *_ConstantTimePrefController::globalNib()
{
    return shared().preferenceView();
}

_ConstantTimePrefController &_ConstantTimePrefController::shared()
{
    static _ConstantTimePrefController controller;
    return controller;
}

QWidget *_ConstantTimePrefController::preferenceView()
{
    if (isNibLoaded && !prefView)
        isNibLoaded = false; // the pane went with its window: load a new one
    if (!isNibLoaded) {
        const auto bundle = platform::Bundle::bundleForClass(QStringLiteral("ConstantTimeIn"));
        const QString path
            = bundle ? bundle->pathForResource(QLatin1String(kInterfaceFile)) : QString();
        prefView = path.isEmpty() ? nullptr : platform::InterfaceLoader::load(path, this);
        isNibLoaded = !prefView.isNull();
        if (!isNibLoaded) {
            platform::systemLog(
                QStringLiteral("ERROR: cannot load %1").arg(QLatin1String(kInterfaceFile)));
            return nullptr;
        }
    }
    return prefView;
}

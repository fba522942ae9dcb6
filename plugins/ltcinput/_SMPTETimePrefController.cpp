#include "plugins/ltcinput/_SMPTETimePrefController.h"

#include "platform/InterfaceLoader.h"
#include "platform/SystemLog.h"
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

QWidget *_SMPTETimePrefController::preferenceView()
{
    if (isNibLoaded && !prefView)
        isNibLoaded = false; // the pane was deleted with its window: load a new one
    if (!isNibLoaded) {
        const QString path
            = SMPTETimeIn::resourceFolder() + QLatin1Char('/') + QLatin1String(kInterfaceFile);
        QString error;
        prefView = platform::InterfaceLoader::load(path, this, nullptr, &error);
        isNibLoaded = !prefView.isNull();
        if (!isNibLoaded) {
            platform::systemLog(QStringLiteral("ERROR: cannot load %1 (tried %2: %3)")
                                    .arg(QLatin1String(kInterfaceFile), path, error));
            return nullptr;
        }
    }
    return prefView;
}

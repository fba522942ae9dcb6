#include "kairon/windows/activeClockWindow.h"

#include "kairon/core/PluginManager.h"
#include "platform/UserDefaultsController.h"

namespace {
const QString kOffsetClockFramesKVO = QStringLiteral("values.offsetClock_frames");
}

activeClockWindow::activeClockWindow()
{
    platform::UserDefaultsController::sharedUserDefaultsController().addObserver(
        this, kOffsetClockFramesKVO,
        platform::UserDefaultsController::New | platform::UserDefaultsController::Old);
    observeValueForKeyPath(QString(), nullptr, QVariantMap(), nullptr);
}

activeClockWindow::~activeClockWindow() = default;

void activeClockWindow::observeValueForKeyPath(const QString &keyPath, QObject *,
                                               const QVariantMap &, void *)
{
    if (keyPath.isEmpty() || keyPath == kOffsetClockFramesKVO)
        showFrames_
            = platform::UserDefaultsController::sharedUserDefaultsController().intValueForKeyPath(
                  kOffsetClockFramesKVO)
            != 0;
}

void activeClockWindow::updateTime(const std::shared_ptr<const TCMDTime> &time, TimeDelta offset,
                                   const QString &name, int32_t offsetFraction, StatusLevel status)
{
    for (const std::shared_ptr<tsyncOutput> &output :
         AbstractPluginManager::outputPluginInstances())
        output->updateTime(time, offset, name, offsetFraction, showFrames_, status);
}

void activeClockWindow::showHide_Dummy(QObject *) { }

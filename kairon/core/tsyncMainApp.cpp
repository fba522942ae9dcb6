#include "kairon/core/tsyncMainApp.h"

#include "kairon/core/SystemDefinedEvent.h"
#include "kairon/core/tsyncApp.h"
#include "kairon/windows/activeClockWindow.h"
#include "kairon/windows/mainWindow.h"
#include "kairon/windows/preferenceController.h"
#include "platform/Bundle.h"
#include "platform/InterfaceLoader.h"

#include <QAction>
#include <algorithm>

namespace {
const QString kMainInterfaceFile = QStringLiteral("MainMenu.ui");
}

int &tsyncMainApp::setUpClass(int &argc)
{
    initialize();
    return argc;
}

// The defaults are registered before the QApplication base is constructed.
tsyncMainApp::tsyncMainApp(int &argc, char **argv)
    : QApplication(setUpClass(argc), argv)
{
    initalizer();
}

tsyncMainApp::~tsyncMainApp()
{
    // The controller's timers and the windows go while the application object still exists.
    controller_.reset();
    activeClocks_.reset();
    mainWindow_.reset();
}

tsyncMainApp *tsyncMainApp::sharedApplication()
{
    return qobject_cast<tsyncMainApp *>(QCoreApplication::instance());
}

void tsyncMainApp::initialize()
{
    preferenceController::initialize();
}

void tsyncMainApp::initalizer()
{
    globalHotKeyListeners_.clear();
    globalHotKeyListeners_.reserve(2);
}

void tsyncMainApp::addGlobalHotKeyListener(const std::shared_ptr<GlobalHotKeyListener> &listener)
{
    if (!listener)
        return;
    if (std::find(globalHotKeyListeners_.begin(), globalHotKeyListeners_.end(), listener)
        != globalHotKeyListeners_.end())
        return;
    globalHotKeyListeners_.push_back(listener);
}

void tsyncMainApp::dispatchSystemEvent(SystemDefinedEvent &event)
{
    QCoreApplication::sendEvent(this, &event);
}

bool tsyncMainApp::notify(QObject *receiver, QEvent *event)
{
    if (event->type() == SystemDefinedEvent::qtType()) {
        const auto &systemEvent = static_cast<const SystemDefinedEvent &>(*event);
        if (systemEvent.isHotKeyPress()) {
            // A copy: a listener may register another while being told.
            const auto listeners = globalHotKeyListeners_;
            for (const auto &listener : listeners)
                listener->hotKeyEvent(systemEvent);
        }
    }
    return QApplication::notify(receiver, event);
}

void tsyncMainApp::showPreferences(QObject *sender)
{
    preferenceController::globalInstance()->showPreferences(sender);
}

void tsyncMainApp::terminate(QObject *)
{
    closeAllWindows();
    quit();
}

bool tsyncMainApp::loadMainInterface(QString *error)
{
    controller_ = std::make_unique<tsyncApp>();
    mainWindow_ = std::make_unique<mainWindow>();
    activeClocks_ = std::make_unique<activeClockWindow>();

    const QString path = platform::Bundle::mainBundle().pathForResource(kMainInterfaceFile);
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("The main interface file %1 is missing from %2.")
                         .arg(kMainInterfaceFile, platform::Bundle::mainBundle().resourcePath());
        return false;
    }
    std::unique_ptr<QWidget> window(
        platform::InterfaceLoader::load(path, controller_.get(), nullptr, error));
    if (!window)
        return false;

    if (auto *preferences = window->findChild<QAction *>(QStringLiteral("actionPreferences")))
        connect(preferences, &QAction::triggered, this,
                [this, preferences] { showPreferences(preferences); });
    if (auto *quitAction = window->findChild<QAction *>(QStringLiteral("actionQuit")))
        connect(quitAction, &QAction::triggered, this,
                [this, quitAction] { terminate(quitAction); });

    mainWindow_->setSyncWindow(std::move(window));
    controller_->setSyncWindowController(mainWindow_.get());
    controller_->setActiveClocks(activeClocks_.get());
    controller_->awakeFromNib();
    return true;
}

void tsyncMainApp::finishLaunching()
{
    if (controller_)
        controller_->applicationWillFinishLaunching();
    if (mainWindow_ && mainWindow_->window())
        mainWindow_->window()->show();
    if (controller_)
        controller_->applicationDidFinishLaunching();
}

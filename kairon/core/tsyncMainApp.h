#pragma once

#include "kairon/core/GlobalHotKeyListener.h"

#include <QApplication>
#include <QPointer>
#include <memory>
#include <vector>

class SystemDefinedEvent;
class activeClockWindow;
class mainWindow;
class tsyncApp;
class QMainWindow;

// The application object. The defaults of every setting are registered before
// the QApplication base exists; global hot-key presses reach the registered
// listeners before their normal handling; showPreferences opens the
// preferences window for any action without a target of its own.
class tsyncMainApp : public QApplication
{
    Q_OBJECT
public:
    tsyncMainApp(int &argc, char **argv);
    ~tsyncMainApp() override;

    // The running application object, or nullptr.
    static tsyncMainApp *sharedApplication();

    // Class set-up: registers the defaults (harmless when repeated).
    static void initialize();
    // Creates the empty listener list.
    void initalizer();

    // Listed once however often it registers; the list keeps a reference.
    void addGlobalHotKeyListener(const std::shared_ptr<GlobalHotKeyListener> &listener);
    const std::vector<std::shared_ptr<GlobalHotKeyListener>> &globalHotKeyListeners() const
    {
        return globalHotKeyListeners_;
    }

    // Where the platform's native event filter hands a system-defined event:
    // hot-key listeners first, then the normal handling of the event.
    void dispatchSystemEvent(SystemDefinedEvent &event);
    bool notify(QObject *receiver, QEvent *event) override;

    // Loads the main interface file "MainMenu.ui" from the application's
    // resources: creates tsyncApp, mainWindow and activeClockWindow in that
    // order, connects their outlets and wakes them. False, with `error` set,
    // when the file cannot be loaded.
    bool loadMainInterface(QString *error = nullptr);
    // Tells the controller that launching is about to finish (plug-ins, timers)
    // and shows the main window.
    void finishLaunching();

    tsyncApp *controller() const { return controller_.get(); }
    mainWindow *mainWindowController() const { return mainWindow_.get(); }
    activeClockWindow *activeClocks() const { return activeClocks_.get(); }

public slots:
    void showPreferences(QObject *sender);
    void terminate(QObject *sender);

private:
    static int &setUpClass(int &argc);

    std::vector<std::shared_ptr<GlobalHotKeyListener>> globalHotKeyListeners_;
    std::unique_ptr<tsyncApp> controller_;
    std::unique_ptr<mainWindow> mainWindow_;
    std::unique_ptr<activeClockWindow> activeClocks_;
};

#pragma once

#include "kairon/core/StatusLevel.h"
#include "kairon/core/tsyncInput.h"
#include "platform/KeyValueObserver.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

class activeClockWindow;
class mainWindow;

// The application controller and the application's delegate. Two repeating
// timers drive everything: the table tick reloads the main window's list and
// turns the user's row selection into the active input; the active tick shows
// the active input (or, while none is active, one picked by automatic
// selection) in the main window and hands it to every output.
class tsyncApp : public QObject, public platform::KeyValueObserver
{
    Q_OBJECT
public:
    // Observes the six settings; applies none of them yet.
    explicit tsyncApp(QObject *parent = nullptr);
    ~tsyncApp() override;

    // Outlets, connected when the main interface file is loaded.
    void setSyncWindowController(mainWindow *controller) { syncWindowController_ = controller; }
    void setActiveClocks(activeClockWindow *relay) { activeClocks_ = relay; }
    mainWindow *syncWindowController() const { return syncWindowController_; }
    activeClockWindow *activeClocks() const { return activeClocks_; }

    void awakeFromNib();
    // Loads the plug-ins, then applies every setting (which starts both timers).
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching() { }
    void applicationWillTerminate() { }
    void loadPluginFactories();

    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override;

    std::shared_ptr<tsyncInput> activeInput() const { return activePlugin_; }
    bool setActiveInput(std::shared_ptr<tsyncInput> input);

    // State as the settings left it (intervals in seconds).
    float syncRefreshInterval() const { return syncRefreshFPS_; }
    float activeRefreshInterval() const { return activeRefreshFPS_; }
    int32_t offsetFraction() const { return offsetFraction_; }
    bool autoSelectTime() const { return autoSelectTime_; }
    bool autoSelectTimeKeepSearching() const { return autoSelectTime_keepSearching_; }
    bool autoSelectTimeAllowSystem() const { return autoSelectTime_allowSystem_; }
    QTimer *syncRefreshTimer() const { return syncRefreshTimer_; }
    QTimer *activeRefreshTimer() const { return activeRefreshTimer_; }

public slots:
    void updateTableTimer(QTimer *timer = nullptr);
    void updateActiveTimer(QTimer *timer = nullptr);
    // The user's request to set the system clock from the active input.
    void togglePrivilegedChild(QObject *sender);

private:
    void applyRefreshRate(const QString &key, float &interval, QPointer<QTimer> &timer,
                          void (tsyncApp::*tick)(QTimer *), double fallbackRate);
    void showSheet(const QString &message, const QString &informative);

    mainWindow *syncWindowController_ = nullptr;
    activeClockWindow *activeClocks_ = nullptr;
    std::shared_ptr<tsyncInput> activePlugin_;
    int32_t selectedRow_ = 0;
    bool autoSelectTime_ = false;
    bool autoSelectTime_keepSearching_ = false;
    bool autoSelectTime_allowSystem_ = false;
    int32_t offsetFraction_ = 0;
    float syncRefreshFPS_ = 0;
    float activeRefreshFPS_ = 0;
    QPointer<QTimer> syncRefreshTimer_;
    QPointer<QTimer> activeRefreshTimer_;
};

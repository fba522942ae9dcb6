#include "kairon/core/tsyncApp.h"

#include "kairon/core/BuiltinPluginFactory.h"
#include "kairon/core/Defaults.h"
#include "kairon/core/FilePluginFactory.h"
#include "kairon/core/PluginManager.h"
#include "kairon/core/fancyStrings.h"
#include "kairon/windows/activeClockWindow.h"
#include "kairon/windows/mainWindow.h"
#include "orrery/TCMDTime.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaultsController.h"

#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const QString kSyncRefreshFPSKVO = defaults::keyPath(preference_syncRefreshFPS);
const QString kActiveRefreshFPSKVO = defaults::keyPath(preference_activeRefreshFPS);
const QString kSyncOffsetFPSKVO = defaults::keyPath(preference_syncOffsetFPS);
const QString kAutoselectTimeKVO = QStringLiteral("values.autoselectTime");
const QString kAutoselectKeepSearchingKVO = QStringLiteral("values.autoselectTime_keepSearching");
const QString kAutoselectAllowSystemKVO = QStringLiteral("values.autoselectTime_allowSystem");

const QString kSystemTimeName = QStringLiteral("System Time");

// Rates the timers fall back on when a setting is unusable before any timer exists.
constexpr double kDefaultSyncRefreshRate = 13;
constexpr double kDefaultActiveRefreshRate = 30;

platform::UserDefaultsController &userDefaults()
{
    return platform::UserDefaultsController::sharedUserDefaultsController();
}

bool applies(const QString &keyPath, const QString &key)
{
    return keyPath.isEmpty() || keyPath == key;
}

} // namespace

tsyncApp::tsyncApp(QObject *parent)
    : QObject(parent)
{
    auto &controller = userDefaults();
    for (const QString &keyPath :
         { kSyncRefreshFPSKVO, kActiveRefreshFPSKVO, kSyncOffsetFPSKVO, kAutoselectTimeKVO,
           kAutoselectKeepSearchingKVO, kAutoselectAllowSystemKVO })
        controller.addObserver(this, keyPath,
                               platform::UserDefaultsController::New
                                   | platform::UserDefaultsController::Old);
}

tsyncApp::~tsyncApp() = default;

void tsyncApp::awakeFromNib()
{
    if (syncWindowController_)
        syncWindowController_->setParent(this);
}

void tsyncApp::applicationWillFinishLaunching()
{
    loadPluginFactories();
    observeValueForKeyPath(QString(), nullptr, QVariantMap(), nullptr);
}

void tsyncApp::loadPluginFactories()
{
    {
        FilePluginFactory factory;
        factory.loadPlugins();
    }
    {
        BuiltinPluginFactory factory;
        factory.loadPlugins();
    }
}

void tsyncApp::observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &,
                                      void *)
{
    if (applies(keyPath, kSyncRefreshFPSKVO))
        applyRefreshRate(kSyncRefreshFPSKVO, syncRefreshFPS_, syncRefreshTimer_,
                         &tsyncApp::updateTableTimer, kDefaultSyncRefreshRate);
    if (applies(keyPath, kActiveRefreshFPSKVO))
        applyRefreshRate(kActiveRefreshFPSKVO, activeRefreshFPS_, activeRefreshTimer_,
                         &tsyncApp::updateActiveTimer, kDefaultActiveRefreshRate);
    if (applies(keyPath, kSyncOffsetFPSKVO))
        offsetFraction_ = userDefaults().intValueForKeyPath(kSyncOffsetFPSKVO);
    if (applies(keyPath, kAutoselectTimeKVO))
        autoSelectTime_ = userDefaults().intValueForKeyPath(kAutoselectTimeKVO) != 0;
    if (applies(keyPath, kAutoselectKeepSearchingKVO))
        autoSelectTime_keepSearching_
            = userDefaults().intValueForKeyPath(kAutoselectKeepSearchingKVO) != 0;
    if (applies(keyPath, kAutoselectAllowSystemKVO))
        autoSelectTime_allowSystem_
            = userDefaults().intValueForKeyPath(kAutoselectAllowSystemKVO) != 0;
}

void tsyncApp::applyRefreshRate(const QString &key, float &interval, QPointer<QTimer> &timer,
                                void (tsyncApp::*tick)(QTimer *), double fallbackRate)
{
    double rate = userDefaults().doubleValueForKeyPath(key);
    // A rate that is not a positive number would give a timer of infinite or
    // negative interval: keep the running timer instead.
    if (!(std::isfinite(rate) && rate > 0)) {
        const QString settingName = key.mid(int(qstrlen("values.")));
        if (timer) {
            platform::systemLog(
                QStringLiteral(
                    "%1 of \"%2\" is not a positive number; keeping %3 refreshes per second.")
                    .arg(settingName, userDefaults().stringValueForKeyPath(key))
                    .arg(1.0 / interval));
            return;
        }
        platform::systemLog(
            QStringLiteral("%1 of \"%2\" is not a positive number; using %3 refreshes per second.")
                .arg(settingName, userDefaults().stringValueForKeyPath(key))
                .arg(fallbackRate));
        rate = fallbackRate;
    }
    interval = float(1.0 / rate);

    if (timer) {
        timer->stop();
        timer->deleteLater();
    }
    // Whole milliseconds, at least one: a huge rate must not make a timer that spins.
    const double ms = std::clamp(std::round(double(interval) * 1000.0), 1.0, double(INT_MAX));
    auto *replacement = new QTimer(this);
    replacement->setTimerType(Qt::PreciseTimer);
    replacement->setInterval(int(ms));
    connect(replacement, &QTimer::timeout, this,
            [this, tick, replacement] { (this->*tick)(replacement); });
    replacement->start();
    timer = replacement;
}

bool tsyncApp::setActiveInput(std::shared_ptr<tsyncInput> input)
{
    activePlugin_ = std::move(input);
    return true;
}

void tsyncApp::updateTableTimer(QTimer *)
{
    if (!syncWindowController_)
        return;
    syncWindowController_->updateList(this);
    const int32_t row = syncWindowController_->selecedInput();
    if (row == selectedRow_)
        return;
    selectedRow_ = row;
    if (row == -1) {
        setActiveInput(nullptr);
        return;
    }
    const InputList inputs = AbstractPluginManager::inputPluginInstances();
    setActiveInput(row >= 0 && size_t(row) < inputs.size() ? inputs[size_t(row)] : nullptr);
}

void tsyncApp::updateActiveTimer(QTimer *)
{
    std::shared_ptr<tsyncInput> shown = activePlugin_;

    if (!shown && autoSelectTime_) {
        const InputList inputs = AbstractPluginManager::inputPluginInstances();
        int noted = -1;
        for (size_t i = 0; i < inputs.size(); ++i) {
            const std::shared_ptr<tsyncInput> &input = inputs[i];
            const StatusLevel level = input->statusLevel();
            if (autoSelectTime_allowSystem_ && level == kStatusInformational
                && input->name() == kSystemTimeName)
                noted = int(i);
            if (level == kStatusReliable) {
                shown = input;
                if (!autoSelectTime_keepSearching_) {
                    setActiveInput(input);
                    if (syncWindowController_)
                        syncWindowController_->setSelectedInput(int32_t(i));
                }
                break;
            }
        }
        // The fallback is shown for this tick only and leaves the table's
        // selection alone: selecting the "System Time" row would make it the
        // active input at the next table tick and end automatic selection,
        // so a reliable input that appears later would never be picked up.
        if (autoSelectTime_allowSystem_ && noted != -1)
            shown = inputs[size_t(noted)];
    }

    if (syncWindowController_)
        syncWindowController_->setSyncControlEnabled(activePlugin_ != nullptr);

    if (!shown) {
        if (syncWindowController_)
            syncWindowController_->updateActiveName(QStringLiteral("<none>"),
                                                    QStringLiteral("<none>"), kStatusNoActiveInput);
        return;
    }

    const QString name = shown->name();
    const QString time = fancyTimeString(shown->myTime(), true);
    const StatusLevel level = shown->statusLevel();
    const TimeDelta delta = shown->currentTimeDelta();
    if (syncWindowController_)
        syncWindowController_->updateActiveName(name, time, level);
    if (activeClocks_)
        activeClocks_->updateTime(shown->myTime(), delta, name, offsetFraction_, level);
}

void tsyncApp::togglePrivilegedChild(QObject *)
{
    if (!activePlugin_)
        return;
    const StatusLevel level = activePlugin_->statusLevel();
    if (level == kStatusInformational) {
        showSheet(QStringLiteral("Cannot Sync"),
                  QStringLiteral(
                      "%1 is for informational use and cannot be used to set the system clock.")
                      .arg(activePlugin_->name()));
        return;
    }
    if (level == kStatusUnsteady) {
        showSheet(
            QStringLiteral("Unreliable Time Signal"),
            QStringLiteral(
                "%1 has been unreliable recently, wait for the green light to appear and try "
                "again.\n\n If the problem persists, check your cables or lower the refresh rate "
                "in the preferences.")
                .arg(activePlugin_->name()));
        return;
    }
    // Setting the clock through Clockset is not wired up yet.
}

void tsyncApp::showSheet(const QString &message, const QString &informative)
{
    QWidget *window = syncWindowController_ ? syncWindowController_->window() : nullptr;
    auto *sheet
        = new QMessageBox(QMessageBox::Warning, message, message, QMessageBox::NoButton, window);
    sheet->setInformativeText(informative);
    sheet->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    sheet->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

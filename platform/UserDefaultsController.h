#pragma once

#include "platform/KeyValueObserver.h"

#include <QObject>
#include <QSettings>
#include <QVariant>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// The shared user-defaults controller over QSettings (~/.config/Kairon/Kairon.conf).
// Values are addressed by key paths "values.<key>". Reads fall back to the
// registered defaults; a key with neither reads as an invalid QVariant, which
// the typed reads take as 0, false or "". Observers are called synchronously,
// on the thread that made the change (always the main thread here), whenever
// a value changes through setValueForKeyPath or a bound control. Reads and
// writes of values may come from any thread; observers are added, removed and
// notified on the main thread only.
class UserDefaultsController : public QObject {
    Q_OBJECT
public:
    enum Option { New = 0x1, Old = 0x2 };

    static UserDefaultsController &sharedUserDefaultsController();
    ~UserDefaultsController() override;
    // The settings file: $XDG_CONFIG_HOME/Kairon/Kairon.conf (~/.config when unset).
    QString settingsFilePath() const;
    // Tests: drop cached state and reopen the settings store (e.g. after
    // pointing XDG_CONFIG_HOME elsewhere). Registered defaults are kept.
    void reopen();

    void registerDefaults(const QVariantMap &defaults);
    void setInitialValues(const QVariantMap &values);
    QVariantMap initialValues() const;

    QVariant valueForKeyPath(const QString &keyPath) const;
    void setValueForKeyPath(const QVariant &value, const QString &keyPath);

    // Typed reads: an integer value of "30" is 30, of "12abc" 12, of "abc" 0,
    // of a stored true 1; absent is 0, false or empty.
    int intValueForKeyPath(const QString &keyPath) const;
    bool boolValueForKeyPath(const QString &keyPath) const;
    double doubleValueForKeyPath(const QString &keyPath) const;
    QString stringValueForKeyPath(const QString &keyPath) const;

    // Each (observer, key path) pair is registered once; adding it again only
    // updates its options and context. Observers are called on the calling
    // thread in the order they were added.
    void addObserver(KeyValueObserver *observer, const QString &keyPath, int options = New | Old,
                     void *context = nullptr);
    void removeObserver(KeyValueObserver *observer, const QString &keyPath);
    void removeObserver(KeyValueObserver *observer); // every key path

    // Typed reads of a raw value with the semantics above.
    static int intValue(const QVariant &v);
    static bool boolValue(const QVariant &v);
    static double doubleValue(const QVariant &v);
    static QString stringValue(const QVariant &v);

private:
    UserDefaultsController();
    void openStore();
    QVariant storedValue(const QString &key) const; // caller holds storeMutex_
    void notify(const QString &keyPath, const QVariant &oldValue, const QVariant &newValue);
    bool isObserving(quint64 id) const;

    struct Observation {
        quint64 id;
        KeyValueObserver *observer;
        QString keyPath;
        int options;
        void *context;
    };
    mutable std::mutex storeMutex_; // guards settings_, registered_ and initial_
    std::unique_ptr<QSettings> settings_;
    QVariantMap registered_;
    QVariantMap initial_;
    std::vector<Observation> observations_;
    quint64 nextObservationId_ = 1;
};

} // namespace platform

#pragma once

#include "platform/KeyValueObserver.h"

#include <QObject>
#include <QPointer>
#include <QString>

namespace platform {

// Keeps one control and one key path of the shared user-defaults controller
// in step: a change of the value updates the control, a change the user makes
// in the control is written. Lives as a child of the control. The optional
// named value transformer is looked up at each use, so it may be registered
// after the interface file was loaded; without a reverse transformation the
// binding only shows the value.
class ControlBinding : public QObject, public KeyValueObserver {
    Q_OBJECT
public:
    // Returns nullptr (and logs) when the object is not a control that binds.
    static ControlBinding *bind(QObject *control, const QString &keyPath, const QString &transformerName);

    QString keyPath() const { return keyPath_; }
    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override;

private:
    enum class Kind { Button, Action, SpinBox, DoubleSpinBox, Slider, LineEdit, ComboBox, Label };
    ControlBinding(QObject *control, Kind kind, const QString &keyPath, const QString &transformerName);
    void connectControl();
    void updateControl();
    void writeControlValue();
    QVariant controlValue() const;
    QVariant toControl(const QVariant &value);

    QObject *control_; // our parent
    Kind kind_;
    QString keyPath_;
    QString transformerName_;
    bool updating_ = false;
    bool reportedMissingTransformer_ = false;
};

} // namespace platform

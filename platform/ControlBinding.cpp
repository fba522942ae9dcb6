#include "platform/ControlBinding.h"

#include "platform/SystemLog.h"
#include "platform/UserDefaultsController.h"
#include "platform/ValueTransformer.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace platform {

namespace {
UserDefaultsController &defaults()
{
    return UserDefaultsController::sharedUserDefaultsController();
}
} // namespace

ControlBinding *ControlBinding::bind(QObject *control, const QString &keyPath, const QString &transformerName)
{
    if (!control)
        return nullptr;
    const QString prefix = QStringLiteral("values.");
    if (!keyPath.startsWith(prefix) || keyPath.size() == prefix.size()) {
        systemLog(QStringLiteral("Control %1 has an unsupported binding \"%2\" (expected values.<key>)")
                      .arg(control->objectName(), keyPath));
        return nullptr;
    }
    Kind kind;
    // Most specific classes first: a spin box is also a widget with text, a
    // check box a button.
    if (qobject_cast<QLabel *>(control))
        kind = Kind::Label;
    else if (qobject_cast<QLineEdit *>(control))
        kind = Kind::LineEdit;
    else if (qobject_cast<QComboBox *>(control))
        kind = Kind::ComboBox;
    else if (qobject_cast<QSpinBox *>(control))
        kind = Kind::SpinBox;
    else if (qobject_cast<QDoubleSpinBox *>(control))
        kind = Kind::DoubleSpinBox;
    else if (qobject_cast<QAbstractSlider *>(control))
        kind = Kind::Slider;
    else if (qobject_cast<QAbstractButton *>(control))
        kind = Kind::Button;
    else if (qobject_cast<QAction *>(control))
        kind = Kind::Action;
    else {
        systemLog(QStringLiteral("Cannot bind %1 (%2) to %3: not a control that holds a value")
                      .arg(control->objectName(), QString::fromLatin1(control->metaObject()->className()),
                           keyPath));
        return nullptr;
    }
    // Owned by the control (Qt parent ownership).
    return new ControlBinding(control, kind, keyPath, transformerName);
}

ControlBinding::ControlBinding(QObject *control, Kind kind, const QString &keyPath,
                               const QString &transformerName)
    : QObject(control), control_(control), kind_(kind), keyPath_(keyPath), transformerName_(transformerName)
{
    setObjectName(QStringLiteral("binding:") + keyPath);
    if (auto *button = qobject_cast<QAbstractButton *>(control); button && kind == Kind::Button)
        button->setCheckable(true);
    if (auto *action = qobject_cast<QAction *>(control); action && kind == Kind::Action)
        action->setCheckable(true);
    updateControl();
    connectControl();
    defaults().addObserver(this, keyPath_, UserDefaultsController::New | UserDefaultsController::Old);
}

void ControlBinding::connectControl()
{
    switch (kind_) {
    case Kind::Button:
        connect(static_cast<QAbstractButton *>(control_), &QAbstractButton::toggled, this,
                &ControlBinding::writeControlValue);
        break;
    case Kind::Action:
        connect(static_cast<QAction *>(control_), &QAction::toggled, this, &ControlBinding::writeControlValue);
        break;
    case Kind::SpinBox:
        connect(static_cast<QSpinBox *>(control_), &QSpinBox::valueChanged, this,
                &ControlBinding::writeControlValue);
        break;
    case Kind::DoubleSpinBox:
        connect(static_cast<QDoubleSpinBox *>(control_), &QDoubleSpinBox::valueChanged, this,
                &ControlBinding::writeControlValue);
        break;
    case Kind::Slider:
        connect(static_cast<QAbstractSlider *>(control_), &QAbstractSlider::valueChanged, this,
                &ControlBinding::writeControlValue);
        break;
    case Kind::LineEdit:
        // Written when editing ends, not on every keystroke.
        connect(static_cast<QLineEdit *>(control_), &QLineEdit::editingFinished, this,
                &ControlBinding::writeControlValue);
        break;
    case Kind::ComboBox: {
        auto *combo = static_cast<QComboBox *>(control_);
        connect(combo, &QComboBox::currentIndexChanged, this, &ControlBinding::writeControlValue);
        if (combo->isEditable() && combo->lineEdit())
            connect(combo->lineEdit(), &QLineEdit::editingFinished, this, &ControlBinding::writeControlValue);
        break;
    }
    case Kind::Label:
        break; // shows the value only
    }
}

void ControlBinding::observeValueForKeyPath(const QString &, QObject *, const QVariantMap &, void *)
{
    // Our own write comes back here; the control already shows that value.
    if (!updating_)
        updateControl();
}

QVariant ControlBinding::toControl(const QVariant &value)
{
    if (transformerName_.isEmpty())
        return value;
    if (auto transformer = ValueTransformer::valueTransformerForName(transformerName_))
        return transformer->transformedValue(value);
    if (!reportedMissingTransformer_) {
        reportedMissingTransformer_ = true;
        systemLog(QStringLiteral("No value transformer named %1 for the binding of %2 to %3; showing the value as it is")
                      .arg(transformerName_, control_->objectName(), keyPath_));
    }
    return value;
}

void ControlBinding::updateControl()
{
    const QVariant value = toControl(defaults().valueForKeyPath(keyPath_));
    // Set programmatically: the control's change signals fire, but nothing is
    // written back while updating_ is set.
    const bool wasUpdating = updating_;
    updating_ = true;
    switch (kind_) {
    case Kind::Button:
        static_cast<QAbstractButton *>(control_)->setChecked(UserDefaultsController::boolValue(value));
        break;
    case Kind::Action:
        static_cast<QAction *>(control_)->setChecked(UserDefaultsController::boolValue(value));
        break;
    case Kind::SpinBox:
        static_cast<QSpinBox *>(control_)->setValue(UserDefaultsController::intValue(value));
        break;
    case Kind::DoubleSpinBox:
        static_cast<QDoubleSpinBox *>(control_)->setValue(UserDefaultsController::doubleValue(value));
        break;
    case Kind::Slider:
        static_cast<QAbstractSlider *>(control_)->setValue(UserDefaultsController::intValue(value));
        break;
    case Kind::LineEdit: {
        auto *edit = static_cast<QLineEdit *>(control_);
        const QString text = UserDefaultsController::stringValue(value);
        if (edit->text() != text)
            edit->setText(text);
        break;
    }
    case Kind::ComboBox: {
        auto *combo = static_cast<QComboBox *>(control_);
        const QString text = UserDefaultsController::stringValue(value);
        if (combo->isEditable())
            combo->setCurrentText(text);
        else
            combo->setCurrentIndex(combo->findText(text)); // none selected when not listed
        break;
    }
    case Kind::Label:
        static_cast<QLabel *>(control_)->setText(UserDefaultsController::stringValue(value));
        break;
    }
    updating_ = wasUpdating;
}

QVariant ControlBinding::controlValue() const
{
    switch (kind_) {
    case Kind::Button:
        return static_cast<QAbstractButton *>(control_)->isChecked();
    case Kind::Action:
        return static_cast<QAction *>(control_)->isChecked();
    case Kind::SpinBox:
        return static_cast<QSpinBox *>(control_)->value();
    case Kind::DoubleSpinBox:
        return static_cast<QDoubleSpinBox *>(control_)->value();
    case Kind::Slider:
        return static_cast<QAbstractSlider *>(control_)->value();
    case Kind::LineEdit:
        return static_cast<QLineEdit *>(control_)->text();
    case Kind::ComboBox:
        return static_cast<QComboBox *>(control_)->currentText();
    case Kind::Label:
        break;
    }
    return {};
}

void ControlBinding::writeControlValue()
{
    if (updating_ || kind_ == Kind::Label)
        return;
    QVariant value = controlValue();
    if (!transformerName_.isEmpty()) {
        auto transformer = ValueTransformer::valueTransformerForName(transformerName_);
        // A value shown through a one-way transformer cannot be written back.
        if (!transformer || !transformer->allowsReverseTransformation())
            return;
        value = transformer->reverseTransformedValue(value);
    }
    // An unchanged line edit or combo box (focus left without an edit) is not
    // a change of the setting.
    if (kind_ == Kind::LineEdit || kind_ == Kind::ComboBox) {
        if (UserDefaultsController::stringValue(defaults().valueForKeyPath(keyPath_)) ==
            UserDefaultsController::stringValue(value))
            return;
    }
    updating_ = true;
    defaults().setValueForKeyPath(value, keyPath_);
    updating_ = false;
}

} // namespace platform

#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace platform {

// Loads a Qt Designer .ui file at run time (the stand-in for interface files).
// - Outlets: the owner finds child widgets by objectName after loading.
// - Custom classes: a widget whose class name was registered with
//   registerCustomClass is created by that factory.
// - Actions: a button or QAction with the dynamic string property "action"
//   ("togglePrivilegedChild:") invokes the owner's slot of that name (text up
//   to the colon) with the sender as its one QObject* argument (a slot without
//   arguments is accepted too), on click / trigger. A missing slot is logged
//   when the file is loaded.
// - Bindings: a control with the dynamic string property "binding"
//   ("values.syncRefreshFPS") is kept in step with that key path of the shared
//   user-defaults controller, both ways; the optional property
//   "valueTransformer" names a registered ValueTransformer applied on the way
//   to the control (and reversed on the way back when it allows that; else the
//   binding only shows the value). Check boxes, checkable buttons and actions
//   bind their checked state, spin boxes and sliders their value, line edits
//   their text (written when editing ends), combo boxes their current text,
//   labels their text (shown only). The binding is a child of the control.
class InterfaceLoader {
public:
    using WidgetFactory = std::function<QWidget *(QWidget *parent)>;
    static void registerCustomClass(const QString &className, WidgetFactory factory);

    // Loads the file; the top-level widget is returned (owned by `parent` if
    // given, else by the caller) or nullptr, with `error` saying why.
    static QWidget *load(const QString &uiFilePath, QObject *owner, QWidget *parent = nullptr,
                         QString *error = nullptr);
};

} // namespace platform

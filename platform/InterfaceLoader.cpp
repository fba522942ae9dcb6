#include "platform/InterfaceLoader.h"

#include "platform/ControlBinding.h"
#include "platform/SystemLog.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>
#include <QPointer>
#include <QUiLoader>

#include <map>
#include <mutex>

namespace platform {

namespace {

struct CustomClasses {
    std::mutex mutex;
    std::map<QString, InterfaceLoader::WidgetFactory> byName;
};

CustomClasses &customClasses()
{
    static CustomClasses c;
    return c;
}

class Loader : public QUiLoader {
public:
    QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override
    {
        InterfaceLoader::WidgetFactory factory;
        {
            auto &c = customClasses();
            std::lock_guard lock(c.mutex);
            if (auto it = c.byName.find(className); it != c.byName.end())
                factory = it->second;
        }
        if (factory) {
            if (QWidget *w = factory(parent)) {
                w->setObjectName(name);
                return w;
            }
            systemLog(QStringLiteral("The factory of custom class %1 made no widget; using the base class")
                          .arg(className));
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

// The slot that an action "name:" invokes: name(QObject*), or name() when the
// owner does not care about the sender.
QMetaMethod slotForAction(const QObject *owner, const QString &selectorName)
{
    const QMetaObject *meta = owner->metaObject();
    for (const char *signature : {"(QObject*)", "()"}) {
        const QByteArray normalized =
            QMetaObject::normalizedSignature((selectorName.toLatin1() + signature).constData());
        const int index = meta->indexOfMethod(normalized.constData());
        if (index >= 0)
            return meta->method(index);
    }
    return {};
}

void connectAction(QObject *sender, const QString &selector, QObject *owner, const QString &file)
{
    const QString name = selector.section(QLatin1Char(':'), 0, 0).trimmed();
    if (name.isEmpty()) {
        systemLog(QStringLiteral("%1: %2 has an empty action").arg(file, sender->objectName()));
        return;
    }
    if (!owner) {
        systemLog(QStringLiteral("%1: action %2 of %3 has no owner to receive it")
                      .arg(file, selector, sender->objectName()));
        return;
    }
    const QMetaMethod slot = slotForAction(owner, name);
    if (!slot.isValid()) {
        systemLog(QStringLiteral("%1: %2 has no slot %3(QObject*) for the action of %4")
                      .arg(file, QString::fromLatin1(owner->metaObject()->className()), name,
                           sender->objectName()));
        return;
    }
    QPointer<QObject> target(owner);
    QPointer<QObject> source(sender);
    auto invoke = [target, source, slot] {
        if (!target)
            return;
        if (slot.parameterCount() == 1)
            slot.invoke(target.data(), Qt::DirectConnection, Q_ARG(QObject *, source.data()));
        else
            slot.invoke(target.data(), Qt::DirectConnection);
    };
    if (auto *button = qobject_cast<QAbstractButton *>(sender))
        QObject::connect(button, &QAbstractButton::clicked, owner, invoke);
    else if (auto *action = qobject_cast<QAction *>(sender))
        QObject::connect(action, &QAction::triggered, owner, invoke);
    else
        systemLog(QStringLiteral("%1: %2 has an action but is neither a button nor a menu action")
                      .arg(file, sender->objectName()));
}

void wire(QWidget *root, QObject *owner, const QString &file)
{
    QList<QObject *> objects{root};
    objects += root->findChildren<QObject *>();
    for (QObject *object : objects) {
        const QVariant action = object->property("action");
        if (action.isValid())
            connectAction(object, action.toString(), owner, file);
        const QVariant binding = object->property("binding");
        if (binding.isValid())
            ControlBinding::bind(object, binding.toString(), object->property("valueTransformer").toString());
    }
}

} // namespace

void InterfaceLoader::registerCustomClass(const QString &className, WidgetFactory factory)
{
    auto &c = customClasses();
    std::lock_guard lock(c.mutex);
    if (factory)
        c.byName[className] = std::move(factory);
    else
        c.byName.erase(className);
}

QWidget *InterfaceLoader::load(const QString &uiFilePath, QObject *owner, QWidget *parent, QString *error)
{
    auto fail = [&](const QString &why) -> QWidget * {
        systemLog(why);
        if (error)
            *error = why;
        return nullptr;
    };
    QFile file(uiFilePath);
    if (uiFilePath.isEmpty())
        return fail(QStringLiteral("Cannot load an interface file: no file name given"));
    if (QFileInfo(uiFilePath).isDir())
        return fail(QStringLiteral("Cannot load interface file %1: it is a folder").arg(uiFilePath));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot open interface file %1: %2").arg(uiFilePath, file.errorString()));
    Loader loader;
    // Pictures named in the file are found next to it.
    loader.setWorkingDirectory(QFileInfo(uiFilePath).absoluteDir());
    QWidget *root = loader.load(&file, parent);
    if (!root) {
        const QString why = loader.errorString();
        return fail(QStringLiteral("Cannot load interface file %1: %2")
                        .arg(uiFilePath, why.isEmpty() ? QStringLiteral("not a valid interface file") : why));
    }
    wire(root, owner, uiFilePath);
    if (error)
        error->clear();
    return root;
}

} // namespace platform

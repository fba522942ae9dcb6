#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <cstdint>

// Base class of metadata plug-ins: a parent, an instance name, preferences in
// text form, and hooks through which metadata arrives. Subclasses override
// the hooks by these names.
class NimboPlugin
{
public:
    static uint32_t interfaceVersion();

    // The parent is not owned; a plug-in without one still works.
    explicit NimboPlugin(QObject *parent);
    virtual ~NimboPlugin();

    QString instanceName() const;
    void setInstanceName(const QString &name);
    QString preferences() const;
    void setPreferences(const QString &preferences);

    virtual void recieveMetaBlock(const QVariant &block);
    virtual void recieveMetaData(const QVariant &data);
    virtual void recievedLastMetaDataBlock();

    // Listeners are not kept yet: always empty.
    QVariantList listeners() const;
    void setListeners(const QVariantList &listeners);

protected:
    // Empty once the parent is gone.
    QObject *myParent() const { return myParent_; }

private:
    QPointer<QObject> myParent_;
    QString myPreferences_;
    QString myInstanceName_;
};

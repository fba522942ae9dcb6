#include "orrery/NimboPlugin.h"

#include "platform/SystemLog.h"

uint32_t NimboPlugin::interfaceVersion()
{
    return 0;
}

NimboPlugin::NimboPlugin(QObject *parent)
    : myParent_(parent)
{
    if (!parent)
        platform::systemLog(QStringLiteral("NimboPlugin initWithParent: nil"));
}

NimboPlugin::~NimboPlugin() = default;

QString NimboPlugin::instanceName() const
{
    return myInstanceName_;
}

void NimboPlugin::setInstanceName(const QString &name)
{
    myInstanceName_ = name;
}

QString NimboPlugin::preferences() const
{
    return myPreferences_;
}

void NimboPlugin::setPreferences(const QString &preferences)
{
    myPreferences_ = preferences;
}

void NimboPlugin::recieveMetaBlock(const QVariant &) { }

void NimboPlugin::recieveMetaData(const QVariant &) { }

void NimboPlugin::recievedLastMetaDataBlock() { }

QVariantList NimboPlugin::listeners() const
{
    platform::systemLog(QStringLiteral("- (NSArray*)listeners  //TODO: fill in"));
    return {};
}

void NimboPlugin::setListeners(const QVariantList &)
{
    platform::systemLog(QStringLiteral("- (void)setListeners:(NSArray*)aName  //TODO: fill in"));
}

#include "orrery/TCMetaData.h"

#include "orrery/tsd.h"

const QString TCMetaData::typeTag = QStringLiteral("TCMetaData");

TCMetaData::TCMetaData(const TCMetaData &other)
    : m_source(other.source())
{
}

TCMetaData &TCMetaData::operator=(const TCMetaData &other)
{
    if (this != &other)
        setSource(other.source());
    return *this;
}

QString TCMetaData::source() const
{
    std::lock_guard lock(m_sourceMutex);
    return m_source;
}

void TCMetaData::setSource(const QString &source)
{
    // The old string is released after the lock, not under it.
    QString copy = source;
    std::lock_guard lock(m_sourceMutex);
    m_source.swap(copy);
}

std::shared_ptr<tsd> TCMetaData::tsdWithMe() const
{
    auto record = std::make_shared<tsd>();
    record->setType(type());
    record->setSource(source());
    record->setData(dataText());
    return record;
}

std::shared_ptr<TCMetaData> TCMetaData::initWithTsd(const tsd &record)
{
    if (record.type() != typeTag)
        return nullptr;
    auto value = std::make_shared<TCMetaData>();
    value->setSource(record.source());
    return value;
}

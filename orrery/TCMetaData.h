#pragma once

#include <QString>

#include <memory>
#include <mutex>

class tsd;

// The base of every metadata value. `source` is the one field that may change
// after construction, so it is guarded: a value can be read on one thread
// while another names its source.
class TCMetaData
{
public:
    // The type tag written into tsd records of this kind.
    static const QString typeTag;

    TCMetaData() = default;
    TCMetaData(const TCMetaData &other);
    TCMetaData &operator=(const TCMetaData &other);
    virtual ~TCMetaData() = default;

    QString source() const;
    void setSource(const QString &source);

    // A record with this value's type tag, source and fields in text form.
    virtual std::shared_ptr<tsd> tsdWithMe() const;
    // Takes the record's source; empty when the record is of another kind.
    static std::shared_ptr<TCMetaData> initWithTsd(const tsd &record);

protected:
    virtual QString type() const { return typeTag; }
    // The value's fields in text form, read back by the kind's initWithTsd.
    virtual QString dataText() const { return QString(); }

private:
    mutable std::mutex m_sourceMutex;
    QString m_source;
};

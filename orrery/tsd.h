#pragma once

#include <QString>

// A generic metadata record of three strings, all empty after construction.
// A plain mutable record: guard it yourself if threads share one.
class tsd
{
public:
    tsd() = default;

    QString type() const { return m_type; }
    void setType(const QString &type) { m_type = type; }
    QString source() const { return m_source; }
    void setSource(const QString &source) { m_source = source; }
    QString data() const { return m_data; }
    void setData(const QString &data) { m_data = data; }

private:
    QString m_type;
    QString m_source;
    QString m_data;
};

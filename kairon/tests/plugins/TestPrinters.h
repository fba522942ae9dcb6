#pragma once

#include "kairon/core/PluginManager.h"

#include <QString>
#include <QStringList>
#include <ostream>

// Readable gtest messages for Qt strings.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

// The names of a list's entries, in order; "<null>" for an empty entry.
template<class List> QStringList namesOf(const List &list)
{
    QStringList names;
    for (const auto &entry : list)
        names << (entry ? entry->name() : QStringLiteral("<null>"));
    return names;
}

inline QStringList classNamesOf(const PluginClassList &list)
{
    QStringList names;
    for (const auto &cls : list)
        names << cls->className();
    return names;
}

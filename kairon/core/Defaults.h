#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <utility>
#include <vector>

// Plain names of the timer keys (key paths are "values." + name).
inline const QString preference_syncOffsetFPS = QStringLiteral("syncOffsetFPS");
inline const QString preference_syncRefreshFPS = QStringLiteral("syncRefreshFPS");
inline const QString preference_activeRefreshFPS = QStringLiteral("activeRefreshFPS");

namespace defaults {

using Entry = std::pair<QString, QVariant>;

// The registered defaults, in the order they are registered.
const std::vector<Entry> &registeredDefaults();
QVariantMap registeredDefaultsMap();

// "values.<key>", the key path under which controls and observers see a setting.
inline QString keyPath(const QString &key)
{
    return QStringLiteral("values.") + key;
}

} // namespace defaults

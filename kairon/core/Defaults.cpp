#include "kairon/core/Defaults.h"

namespace defaults {

const std::vector<Entry> &registeredDefaults()
{
    static const std::vector<Entry> table = {
        { QStringLiteral("ConstantTimeEnabled"), false },
        { QStringLiteral("ConstantTimeValue_HR"), 0 },
        { QStringLiteral("ConstantTimeValue_MN"), 0 },
        { QStringLiteral("ConstantTimeValue_SC"), 0 },
        { QStringLiteral("ConstantTimeValue_FR"), 0 },
        // Stored as text; readers take it as an integer.
        { preference_syncOffsetFPS, QStringLiteral("30") },
        { preference_syncRefreshFPS, 13 },
        { preference_activeRefreshFPS, 30 },
        { QStringLiteral("systemTime_framerate"), 30 },
        { QStringLiteral("hotKey_format"), QStringLiteral("%n%H:%M:%S%t") },
        { QStringLiteral("offsetClock_frames"), true },
        { QStringLiteral("clockShowClock"), false },
        { QStringLiteral("clockShowLargeClock"), false },
        { QStringLiteral("autoselectTime"), true },
        { QStringLiteral("autoselectTime_keepSearching"), true },
        { QStringLiteral("autoselectTime_allowSystem"), true },
    };
    return table;
}

QVariantMap registeredDefaultsMap()
{
    QVariantMap map;
    for (const auto &[key, value] : registeredDefaults())
        map.insert(key, value);
    return map;
}

} // namespace defaults

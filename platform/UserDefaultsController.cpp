#include "platform/UserDefaultsController.h"

#include "platform/SystemLog.h"

#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace platform {

namespace {

std::atomic<bool> controllerAlive{false};

const QString kValuesPrefix = QStringLiteral("values.");

// The plain key of "values.<key>"; empty (and logged) for anything else.
QString keyForKeyPath(const QString &keyPath)
{
    if (keyPath.startsWith(kValuesPrefix) && keyPath.size() > kValuesPrefix.size())
        return keyPath.mid(kValuesPrefix.size());
    systemLog(QStringLiteral("Unsupported user-defaults key path \"%1\" (expected values.<key>)").arg(keyPath));
    return {};
}

qsizetype skipSpaces(QStringView s, qsizetype i)
{
    while (i < s.size() && s[i].isSpace())
        ++i;
    return i;
}

// Settings files hold booleans as the words "true" and "false".
bool isTrueWord(QStringView s)
{
    const QStringView t = s.trimmed();
    return t.compare(u"true", Qt::CaseInsensitive) == 0 || t.compare(u"yes", Qt::CaseInsensitive) == 0;
}

// Whether a value can be read as a number or a boolean: a number, a boolean,
// a boolean word, or text that starts (after spaces and a sign) with a digit
// or a decimal point and a digit.
bool readsAsNumber(const QVariant &v)
{
    const int type = v.typeId();
    if (type == QMetaType::Bool || type == QMetaType::Int || type == QMetaType::UInt
        || type == QMetaType::LongLong || type == QMetaType::ULongLong || type == QMetaType::Double
        || type == QMetaType::Float)
        return true;
    const QString text = v.toString();
    const QStringView t = QStringView(text).trimmed();
    if (isTrueWord(t) || t.compare(u"false", Qt::CaseInsensitive) == 0
        || t.compare(u"no", Qt::CaseInsensitive) == 0)
        return true;
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        ++i;
    if (i < t.size() && t[i] == u'.')
        ++i;
    return i < t.size() && t[i] >= u'0' && t[i] <= u'9';
}

// Leading integer of a string: spaces, an optional sign, digits; the rest is
// ignored. Saturates at the int range.
int leadingInt(QStringView s)
{
    if (isTrueWord(s))
        return 1;
    qsizetype i = skipSpaces(s, 0);
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) {
        negative = s[i] == u'-';
        ++i;
    }
    long long magnitude = 0;
    constexpr long long limit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i)
        magnitude = std::min(limit, magnitude * 10 + (s[i].unicode() - u'0'));
    const long long value = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

// Leading decimal number of a string ("2.5fps" is 2.5), in the C locale.
double leadingDouble(QStringView s)
{
    if (isTrueWord(s))
        return 1.0;
    const qsizetype start = skipSpaces(s, 0);
    qsizetype i = start;
    auto digits = [&] {
        const qsizetype from = i;
        while (i < s.size() && s[i] >= u'0' && s[i] <= u'9')
            ++i;
        return i - from;
    };
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
        ++i;
    qsizetype mantissa = digits();
    if (i < s.size() && s[i] == u'.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return 0.0;
    qsizetype end = i;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
            ++i;
        if (digits() > 0)
            end = i;
    }
    bool ok = false;
    const double v = s.mid(start, end - start).toString().toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

bool isNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::Char: case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

} // namespace

namespace detail {
bool userDefaultsControllerAlive() { return controllerAlive.load(); }
} // namespace detail

UserDefaultsController &UserDefaultsController::sharedUserDefaultsController()
{
    static UserDefaultsController controller;
    return controller;
}

UserDefaultsController::UserDefaultsController()
{
    std::lock_guard lock(storeMutex_);
    openStore();
    controllerAlive = true;
}

UserDefaultsController::~UserDefaultsController()
{
    controllerAlive = false;
    for (auto &o : observations_)
        o.observer->registered_ = false;
}

QString UserDefaultsController::settingsFilePath() const
{
    std::lock_guard lock(storeMutex_);
    return settings_->fileName();
}

void UserDefaultsController::openStore()
{
    // The same file QSettings would pick natively for organisation and
    // application "Kairon", but named explicitly: QSettings computes its
    // default folder only once per process, and tests move XDG_CONFIG_HOME.
    const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/Kairon/Kairon.conf");
    settings_.reset(); // flush the old store before a new one reads the file
    settings_ = std::make_unique<QSettings>(file, QSettings::IniFormat);
    if (settings_->status() == QSettings::FormatError)
        systemLog(QStringLiteral("Settings file %1 is malformed; unreadable entries fall back to their defaults")
                      .arg(file));
}

void UserDefaultsController::reopen()
{
    std::lock_guard lock(storeMutex_);
    openStore();
}

void UserDefaultsController::registerDefaults(const QVariantMap &defaults)
{
    std::lock_guard lock(storeMutex_);
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        registered_.insert(it.key(), it.value());
}

void UserDefaultsController::setInitialValues(const QVariantMap &values)
{
    std::lock_guard lock(storeMutex_);
    initial_ = values;
}

QVariantMap UserDefaultsController::initialValues() const
{
    std::lock_guard lock(storeMutex_);
    return initial_;
}

QVariant UserDefaultsController::storedValue(const QString &key) const
{
    if (settings_->contains(key)) {
        QVariant v = settings_->value(key);
        // An unquoted comma in a hand-edited file makes a list; the setting is text.
        if (v.typeId() == QMetaType::QStringList)
            v = v.toStringList().join(QStringLiteral(", "));
        // A hand-edited value that a numeric or boolean setting cannot read
        // ("abc" for a rate, an empty value) reads as the registered default,
        // not as 0: a damaged file must not switch things off or stop timers.
        const QVariant registered = registered_.value(key);
        if (registered.isValid() && readsAsNumber(registered) && !readsAsNumber(v))
            return registered;
        return v;
    }
    return registered_.value(key);
}

QVariant UserDefaultsController::valueForKeyPath(const QString &keyPath) const
{
    const QString key = keyForKeyPath(keyPath);
    if (key.isEmpty())
        return {};
    std::lock_guard lock(storeMutex_);
    return storedValue(key);
}

void UserDefaultsController::setValueForKeyPath(const QVariant &value, const QString &keyPath)
{
    const QString key = keyForKeyPath(keyPath);
    if (key.isEmpty())
        return;
    QVariant oldValue, newValue;
    bool saved = true;
    QString file;
    {
        std::lock_guard lock(storeMutex_);
        oldValue = storedValue(key);
        if (value.isValid())
            settings_->setValue(key, value);
        else
            settings_->remove(key); // back to the registered default
        // Written at once so a crash loses nothing.
        settings_->sync();
        saved = settings_->status() != QSettings::AccessError;
        file = settings_->fileName();
        newValue = storedValue(key);
    }
    if (!saved)
        systemLog(QStringLiteral("Cannot save settings to %1; check that the folder is writable").arg(file));
    // Observers run without the lock: they read values and may set others.
    notify(keyPath, oldValue, newValue);
}

int UserDefaultsController::intValueForKeyPath(const QString &keyPath) const
{
    return intValue(valueForKeyPath(keyPath));
}

bool UserDefaultsController::boolValueForKeyPath(const QString &keyPath) const
{
    return boolValue(valueForKeyPath(keyPath));
}

double UserDefaultsController::doubleValueForKeyPath(const QString &keyPath) const
{
    return doubleValue(valueForKeyPath(keyPath));
}

QString UserDefaultsController::stringValueForKeyPath(const QString &keyPath) const
{
    return stringValue(valueForKeyPath(keyPath));
}

void UserDefaultsController::addObserver(KeyValueObserver *observer, const QString &keyPath, int options,
                                         void *context)
{
    if (!observer || keyForKeyPath(keyPath).isEmpty())
        return;
    for (auto &o : observations_) {
        if (o.observer == observer && o.keyPath == keyPath) {
            o.options = options;
            o.context = context;
            return;
        }
    }
    observations_.push_back({nextObservationId_++, observer, keyPath, options, context});
    observer->registered_ = true;
}

void UserDefaultsController::removeObserver(KeyValueObserver *observer, const QString &keyPath)
{
    std::erase_if(observations_,
                  [&](const Observation &o) { return o.observer == observer && o.keyPath == keyPath; });
    if (observer)
        observer->registered_ = std::any_of(observations_.begin(), observations_.end(),
                                            [&](const Observation &o) { return o.observer == observer; });
}

void UserDefaultsController::removeObserver(KeyValueObserver *observer)
{
    std::erase_if(observations_, [&](const Observation &o) { return o.observer == observer; });
    if (observer)
        observer->registered_ = false;
}

bool UserDefaultsController::isObserving(quint64 id) const
{
    return std::any_of(observations_.begin(), observations_.end(),
                       [&](const Observation &o) { return o.id == id; });
}

void UserDefaultsController::notify(const QString &keyPath, const QVariant &oldValue, const QVariant &newValue)
{
    // Work on a copy: an observer may add or remove observers, or be removed
    // or destroyed, while we go through the list. Removed ones are skipped.
    std::vector<Observation> targets;
    for (const auto &o : observations_) {
        if (o.keyPath == keyPath)
            targets.push_back(o);
    }
    for (const auto &o : targets) {
        if (!isObserving(o.id))
            continue;
        QVariantMap change;
        if (o.options & New)
            change.insert(QStringLiteral("new"), newValue);
        if (o.options & Old)
            change.insert(QStringLiteral("old"), oldValue);
        o.observer->observeValueForKeyPath(keyPath, this, change, o.context);
    }
}

int UserDefaultsController::intValue(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    if (isNumber(v)) {
        const double d = v.toDouble();
        if (std::isnan(d))
            return 0;
        return static_cast<int>(std::clamp(std::trunc(d), double(std::numeric_limits<int>::min()),
                                           double(std::numeric_limits<int>::max())));
    }
    return leadingInt(stringValue(v));
}

bool UserDefaultsController::boolValue(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return false;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (isNumber(v))
        return v.toDouble() != 0.0;
    // Text: "true"/"yes" (any case, as Y or T) or a number whose first
    // significant digit is not zero.
    const QString s = stringValue(v);
    qsizetype i = skipSpaces(s, 0);
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
        ++i;
    while (i < s.size() && s[i] == u'0')
        ++i;
    if (i >= s.size())
        return false;
    const QChar c = s[i];
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

double UserDefaultsController::doubleValue(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return 0.0;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1.0 : 0.0;
    if (isNumber(v)) {
        const double d = v.toDouble();
        return std::isfinite(d) ? d : 0.0;
    }
    return leadingDouble(stringValue(v));
}

QString UserDefaultsController::stringValue(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return {};
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

} // namespace platform

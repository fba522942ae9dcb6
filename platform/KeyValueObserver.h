#pragma once

#include <QString>
#include <QVariantMap>

class QObject;

namespace platform {

class UserDefaultsController;

// Something that follows settings. `change` holds "new" and "old" values;
// an empty key path means "apply everything". A destroyed observer is
// removed from every controller it was registered with.
class KeyValueObserver {
public:
    virtual ~KeyValueObserver();
    virtual void observeValueForKeyPath(const QString &keyPath, QObject *object,
                                        const QVariantMap &change, void *context) = 0;

private:
    friend class UserDefaultsController;
    bool registered_ = false;
};

} // namespace platform

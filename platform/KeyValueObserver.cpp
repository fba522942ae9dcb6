#include "platform/KeyValueObserver.h"

#include "platform/UserDefaultsController.h"

namespace platform {

namespace detail {
bool userDefaultsControllerAlive();
}

KeyValueObserver::~KeyValueObserver()
{
    // A controller that is already gone (process exit) holds nothing to remove.
    if (registered_ && detail::userDefaultsControllerAlive())
        UserDefaultsController::sharedUserDefaultsController().removeObserver(this);
}

} // namespace platform

#include "platform/MetaClass.h"

namespace platform {

MetaClass::~MetaClass() = default;

} // namespace platform

#include "kairon/core/SystemDefinedEvent.h"

SystemDefinedEvent::SystemDefinedEvent(int eventType, int subtype, int64_t data1, int64_t data2)
    : QEvent(qtType())
    , eventType_(eventType)
    , subtype_(subtype)
    , data1_(data1)
    , data2_(data2)
{
}

QEvent::Type SystemDefinedEvent::qtType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

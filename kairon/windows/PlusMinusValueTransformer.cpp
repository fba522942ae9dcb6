#include "kairon/windows/PlusMinusValueTransformer.h"

#include "platform/UserDefaultsController.h"

QVariant PlusMinusValueTransformer::transformedValue(const QVariant &value) const
{
    const bool plus
        = value.isValid() && !value.isNull() && platform::UserDefaultsController::boolValue(value);
    return plus ? QStringLiteral("+") : QStringLiteral("-");
}

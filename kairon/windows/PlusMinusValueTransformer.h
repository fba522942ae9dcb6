#pragma once

#include "platform/ValueTransformer.h"

// Shows a boolean setting as a sign: "+" for a present true value, "-"
// otherwise (also when the value is absent). One way only.
class PlusMinusValueTransformer : public platform::ValueTransformer
{
public:
    QVariant transformedValue(const QVariant &value) const override;
    bool allowsReverseTransformation() const override { return false; }
};

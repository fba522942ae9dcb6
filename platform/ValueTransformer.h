#pragma once

#include <QString>
#include <QVariant>
#include <memory>

namespace platform {

// A named value transformer, used by bindings declared in interface files.
class ValueTransformer {
public:
    virtual ~ValueTransformer();
    virtual QVariant transformedValue(const QVariant &value) const = 0;
    virtual bool allowsReverseTransformation() const { return false; }
    virtual QVariant reverseTransformedValue(const QVariant &value) const { return value; }

    static void setValueTransformer(std::shared_ptr<ValueTransformer> transformer, const QString &name);
    static std::shared_ptr<ValueTransformer> valueTransformerForName(const QString &name);
};

} // namespace platform

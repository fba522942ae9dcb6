#include "platform/ValueTransformer.h"

#include <gtest/gtest.h>

namespace {

class Doubler : public platform::ValueTransformer {
public:
    QVariant transformedValue(const QVariant &value) const override { return value.toInt() * 2; }
};

TEST(ValueTransformer, RegisteredByNameReplacedAndRemoved)
{
    using platform::ValueTransformer;
    EXPECT_FALSE(ValueTransformer::valueTransformerForName(QStringLiteral("TestDoubler")));
    auto first = std::make_shared<Doubler>();
    auto second = std::make_shared<Doubler>();
    ValueTransformer::setValueTransformer(first, QStringLiteral("TestDoubler"));
    EXPECT_EQ(ValueTransformer::valueTransformerForName(QStringLiteral("TestDoubler")), first);
    EXPECT_EQ(ValueTransformer::valueTransformerForName(QStringLiteral("TestDoubler"))->transformedValue(4).toInt(), 8);
    EXPECT_FALSE(first->allowsReverseTransformation());
    ValueTransformer::setValueTransformer(second, QStringLiteral("TestDoubler"));
    EXPECT_EQ(ValueTransformer::valueTransformerForName(QStringLiteral("TestDoubler")), second);
    ValueTransformer::setValueTransformer(nullptr, QStringLiteral("TestDoubler"));
    EXPECT_FALSE(ValueTransformer::valueTransformerForName(QStringLiteral("TestDoubler")));
}

} // namespace

#include "platform/ValueTransformer.h"

#include <map>
#include <mutex>

namespace platform {

namespace {
struct TransformerTable {
    std::mutex mutex;
    std::map<QString, std::shared_ptr<ValueTransformer>> byName;
};

TransformerTable &table()
{
    static TransformerTable t;
    return t;
}
} // namespace

ValueTransformer::~ValueTransformer() = default;

void ValueTransformer::setValueTransformer(std::shared_ptr<ValueTransformer> transformer, const QString &name)
{
    auto &t = table();
    std::lock_guard lock(t.mutex);
    if (transformer)
        t.byName[name] = std::move(transformer);
    else
        t.byName.erase(name);
}

std::shared_ptr<ValueTransformer> ValueTransformer::valueTransformerForName(const QString &name)
{
    auto &t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.byName.find(name);
    return it == t.byName.end() ? nullptr : it->second;
}

} // namespace platform

#include "platform/ClassRegistry.h"

#include "platform/SystemLog.h"

namespace platform {

ClassRegistry &ClassRegistry::shared()
{
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::registerClass(std::shared_ptr<MetaClass> cls)
{
    if (!cls)
        return;
    const QString name = cls->className();
    {
        std::lock_guard lock(mutex_);
        bool taken = false;
        for (const auto &known : classes_) {
            if (known->className() == name) {
                taken = true;
                break;
            }
        }
        if (!taken) {
            classes_.push_back(std::move(cls));
            return;
        }
    }
    // Logged outside the lock: the log must never wait on the registry.
    systemLog(QStringLiteral("Class %1 is already registered; the later definition is ignored").arg(name));
}

std::shared_ptr<MetaClass> ClassRegistry::classNamed(const QString &name) const
{
    std::lock_guard lock(mutex_);
    for (const auto &cls : classes_) {
        if (cls->className() == name)
            return cls;
    }
    return {};
}

std::vector<std::shared_ptr<MetaClass>> ClassRegistry::allClasses() const
{
    std::lock_guard lock(mutex_);
    return classes_;
}

size_t ClassRegistry::registrationMark() const
{
    std::lock_guard lock(mutex_);
    return classes_.size();
}

std::vector<std::shared_ptr<MetaClass>> ClassRegistry::classesRegisteredSince(size_t mark) const
{
    std::lock_guard lock(mutex_);
    if (mark >= classes_.size())
        return {};
    return {classes_.begin() + static_cast<std::ptrdiff_t>(mark), classes_.end()};
}

} // namespace platform

#pragma once

#include "platform/MetaClass.h"

#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// The process-wide table of class objects. Loading a bundle's code registers
// the classes it defines (through ClassRegistration objects at static
// initialisation); a class is found by name. The first class registered under
// a name wins; a later one with the same name is ignored.
class ClassRegistry {
public:
    static ClassRegistry &shared();

    void registerClass(std::shared_ptr<MetaClass> cls);
    std::shared_ptr<MetaClass> classNamed(const QString &name) const;
    std::vector<std::shared_ptr<MetaClass>> allClasses() const;

    // For bundles: the classes registered after a given mark, in order.
    size_t registrationMark() const;
    std::vector<std::shared_ptr<MetaClass>> classesRegisteredSince(size_t mark) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<MetaClass>> classes_;
};

// Registers a class object when the image that holds it is loaded:
//   static platform::ClassRegistration<SMPTETimeInClass> registration;
template <class Meta>
struct ClassRegistration {
    ClassRegistration() { ClassRegistry::shared().registerClass(std::make_shared<Meta>()); }
};

} // namespace platform

#pragma once

#include <QString>

namespace platform {

// A class object: what a program can ask of a class before any instance
// exists. Classes are looked up by name in the ClassRegistry.
class MetaClass {
public:
    virtual ~MetaClass();
    virtual QString className() const = 0;
    // Whether instances of this class meet the named contract ("tsyncInput", ...).
    virtual bool conformsTo(const QString &contract) const = 0;
};

} // namespace platform

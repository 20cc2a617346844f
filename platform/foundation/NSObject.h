#pragma once
// The root of every object of the system. Objects live in std::shared_ptr; weak and assign
// references (delegates, back pointers) are std::weak_ptr.

#include <cstddef>
#include <memory>
#include <string>

class NSObject : public std::enable_shared_from_this<NSObject> {
public:
    NSObject() = default;
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;
    virtual ~NSObject() = default;

    // The class name as the program knows it ("TDBrowser"), without namespaces or templates.
    virtual std::string className() const;
    // "<ClassName: 0x...>" unless a class describes itself better.
    virtual std::string description() const;
    virtual bool isEqual(const NSObject* other) const { return other == this; }
    virtual std::size_t hash() const { return reinterpret_cast<std::size_t>(this); }

    // A strong reference of the right type to an object that already lives in a shared_ptr.
    template <class T = NSObject>
    std::shared_ptr<T> self() { return std::static_pointer_cast<T>(shared_from_this()); }
    template <class T = NSObject>
    std::shared_ptr<const T> self() const { return std::static_pointer_cast<const T>(shared_from_this()); }
    template <class T = NSObject>
    std::weak_ptr<T> weakSelf() { return self<T>(); }
};

// The class name of a C++ type, demangled and without namespaces ("NSError").
std::string NSStringFromTypeName(const char* mangled);

// -isKindOfClass: for a shared pointer.
template <class T, class U>
std::shared_ptr<T> NSDynamicCast(const std::shared_ptr<U>& object) {
    return std::dynamic_pointer_cast<T>(object);
}

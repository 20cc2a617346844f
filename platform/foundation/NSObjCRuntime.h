#pragma once
// Classes looked up by name at run time and messages sent by selector name, for the places
// where the system probes for a class or a method that may be absent (NSClassFromString,
// -respondsToSelector:, -performSelector:).
//
// A class that can be looked up is registered under its name as a class object: an NSObject
// that adopts NSDynamicMessaging (its class methods). Objects that answer messages by name
// adopt it too. Nothing is registered unless the program or a test registers it.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class NSDynamicMessaging {
public:
    virtual ~NSDynamicMessaging() = default;
    virtual bool respondsToSelector(std::string_view selector) const = 0;
    // A message without arguments; objects come back as Value objects, BOOLs as Value bools.
    virtual Value performSelector(std::string_view selector) = 0;
    // A message with arguments (objects, numbers, strings, blocks, each as a Value). An object
    // that takes only messages without arguments answers the others with null.
    virtual Value performSelectorWithArguments(std::string_view selector, const Value::Array& arguments) {
        return arguments.empty() ? performSelector(selector) : Value();
    }
};

using Class = std::shared_ptr<NSObject>;

// The class object registered under the name, or nil.
Class NSClassFromString(std::string_view name);
void NSRegisterClass(const std::string& name, Class classObject);
// A class registered with the protocols it declares conformance to (-conformsToProtocol:).
void NSRegisterClass(const std::string& name, Class classObject, std::vector<std::string> protocols);
void NSUnregisterClass(const std::string& name);
// The name a class object is registered under; empty for one that is not registered.
std::string NSStringFromClass(const Class& classObject);
// Whether the registered class declares the protocol; NO for nil and unregistered classes.
bool NSClassConformsToProtocol(const Class& classObject, std::string_view protocol);

// -respondsToSelector: of any object: NO for nil and for objects that answer no messages by name.
bool NSObjectRespondsToSelector(const std::shared_ptr<NSObject>& object, std::string_view selector);
// -performSelector: of an object that responds to it; null otherwise.
Value NSObjectPerformSelector(const std::shared_ptr<NSObject>& object, std::string_view selector);
// A message with arguments to an object that responds to it; null otherwise (as a message to nil).
Value NSObjectSendMessage(const std::shared_ptr<NSObject>& object, std::string_view selector, const Value::Array& arguments = {});

// A block passed through a message (a completion handler): called with the arguments the
// receiver gives it.
class NSBlock : public NSObject {
public:
    using Body = std::function<void(const Value::Array& arguments)>;
    explicit NSBlock(Body body) : body_(std::move(body)) {}
    void invoke(const Value::Array& arguments) const {
        if (body_) body_(arguments);
    }

private:
    Body body_;
};

// A class object whose "alloc" answers a new instance of T, for classes that need no class
// methods of their own.
template <class T>
class NSClassOf : public NSObject, public NSDynamicMessaging {
public:
    bool respondsToSelector(std::string_view selector) const override { return selector == "alloc"; }
    Value performSelector(std::string_view selector) override {
        return selector == "alloc" ? Value(std::static_pointer_cast<NSObject>(std::make_shared<T>())) : Value();
    }
};

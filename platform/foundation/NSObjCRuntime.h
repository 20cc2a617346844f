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

#include <memory>
#include <string>
#include <string_view>

class NSDynamicMessaging {
public:
    virtual ~NSDynamicMessaging() = default;
    virtual bool respondsToSelector(std::string_view selector) const = 0;
    // A message without arguments; objects come back as Value objects, BOOLs as Value bools.
    virtual Value performSelector(std::string_view selector) = 0;
};

using Class = std::shared_ptr<NSObject>;

// The class object registered under the name, or nil.
Class NSClassFromString(std::string_view name);
void NSRegisterClass(const std::string& name, Class classObject);
void NSUnregisterClass(const std::string& name);

// -respondsToSelector: of any object: NO for nil and for objects that answer no messages by name.
bool NSObjectRespondsToSelector(const std::shared_ptr<NSObject>& object, std::string_view selector);
// -performSelector: of an object that responds to it; null otherwise.
Value NSObjectPerformSelector(const std::shared_ptr<NSObject>& object, std::string_view selector);

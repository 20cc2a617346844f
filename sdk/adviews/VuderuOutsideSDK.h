#pragma once
// Outside ad-network SDKs are not linked: their classes are looked up by name and their objects
// are sent messages by selector (NSObjCRuntime). Rectangles travel in messages as their text
// ("{{x, y}, {w, h}}"), as an NSValue prints.

#include "platform/foundation/NSObjCRuntime.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <string>
#include <string_view>

namespace VuderuOutsideSDK {

Value rectValue(const CGRect& rect);
// An object argument; nil travels as null.
template <class T>
Value objectValue(const std::shared_ptr<T>& object) {
    return object ? Value(std::static_pointer_cast<NSObject>(object)) : Value();
}
// CGRectZero for anything that is not a rectangle's text.
CGRect rectFromValue(const Value& value);

// The class under the name; a class found once is kept for the process and not looked up again.
Class lookUpClass(const std::string& name);

inline Value send(const std::shared_ptr<NSObject>& receiver, std::string_view selector, const Value::Array& arguments = {}) {
    return NSObjectSendMessage(receiver, selector, arguments);
}
inline std::shared_ptr<NSObject> sendForObject(const std::shared_ptr<NSObject>& receiver, std::string_view selector,
                                               const Value::Array& arguments = {}) {
    return send(receiver, selector, arguments).objectAs<NSObject>();
}
// [[class alloc] init...]; nil when the class makes no object.
std::shared_ptr<NSObject> make(const Class& classObject, std::string_view initializer, const Value::Array& arguments = {});

} // namespace VuderuOutsideSDK

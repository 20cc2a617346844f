#pragma once
// JSON documents to and from Value (jansson underneath). Integers stay integers and reals stay
// reals; strings keep "\u0000" and characters outside the Basic Multilingual Plane; JSON null is
// the null Value (NSNull).

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"

#include <optional>
#include <string_view>

enum NSJSONReadingOptions : unsigned long {
    NSJSONReadingMutableContainers = 1 << 0,
    NSJSONReadingMutableLeaves = 1 << 1,
    NSJSONReadingAllowFragments = 1 << 2,
};

enum NSJSONWritingOptions : unsigned long {
    NSJSONWritingPrettyPrinted = 1 << 0,
    NSJSONWritingSortedKeys = 1 << 1,
    NSJSONWritingFragmentsAllowed = 1 << 2,
    NSJSONWritingWithoutEscapingSlashes = 1 << 3,
};

class NSJSONSerialization {
public:
    // The document's value, from UTF-8 (a byte-order mark allowed) or UTF-16 text. Without NSJSONReadingAllowFragments the top level must be an array or
    // an object. A Value is always mutable, so the mutability options change nothing. On failure:
    // nullopt and an error of NSCocoaErrorDomain, code 3840, with the parser's reason and position
    // under "NSDebugDescription".
    static std::optional<Value> JSONObjectWithData(std::string_view data, unsigned long options = 0, NSErrorPtr* error = nullptr);
    static std::optional<Value> JSONObjectWithData(const NSData& data, unsigned long options = 0, NSErrorPtr* error = nullptr) {
        return JSONObjectWithData(data.stringView(), options, error);
    }

    // Compact JSON, or indented with NSJSONWritingPrettyPrinted. "/" is written as "\/" unless
    // NSJSONWritingWithoutEscapingSlashes; keys come out sorted. An invalid object (see
    // isValidJSONObject) gives nil and an error of NSCocoaErrorDomain, NSPropertyListWriteInvalidError.
    static NSDataPtr dataWithJSONObject(const Value& object, unsigned long options = 0, NSErrorPtr* error = nullptr);

    // A top-level array or dictionary holding only strings (valid UTF-8), finite numbers,
    // booleans, null, arrays and dictionaries.
    static bool isValidJSONObject(const Value& object);
};

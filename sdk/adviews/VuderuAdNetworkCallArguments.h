#pragma once
// The arguments an outside network's SDK passes to a plugin's callbacks.

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"

#include <cstddef>

// The error at `index`, or nil when the call brought fewer arguments or none there.
inline NSErrorPtr VuderuAdNetworkErrorArgument(const Value::Array& arguments, std::size_t index) {
    return index < arguments.size() ? arguments[index].objectAs<NSError>() : nullptr;
}

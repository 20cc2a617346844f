// An object passed through the keyed archiver and back, as a store or a copy across launches
// would see it.
#pragma once

#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"

#include <memory>

template <class T>
std::shared_ptr<T> archivedCopy(const std::shared_ptr<T>& object) {
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(object));
    return NSKeyedUnarchiver::unarchiveObjectWithData(*data).template objectAs<T>();
}

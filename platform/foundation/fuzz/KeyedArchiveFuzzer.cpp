// libFuzzer target of the keyed archive's reader: any bytes give a value or raise
// NSInvalidUnarchiveOperationException, never a crash, a leak or a reservation the input does
// not pay for (libFuzzer's malloc limit catches those).
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NSData input(data, size);
    Value value;
    try {
        value = NSKeyedUnarchiver::unarchiveObjectWithData(input);
    } catch (const NSException& exception) {
        if (exception.name() != NSInvalidUnarchiveOperationException) std::abort();
        return 0;
    }
    // What was read can be archived again.
    NSKeyedArchiver::archivedDataWithRootObject(value);
    return 0;
}

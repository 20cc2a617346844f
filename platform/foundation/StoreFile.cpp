#include "platform/foundation/StoreFile.h"

NSDataPtr NSDataWithContentsOfStoreFile(const std::string& devicePath, NSErrorPtr* error, std::size_t maxLength) {
    return NSData::dataWithContentsOfFile(devicePath, error, maxLength);
}

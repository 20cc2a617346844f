#include "platform/foundation/StoreFile.h"

NSDataPtr NSDataWithContentsOfStoreFile(const std::string& devicePath, NSErrorPtr* error) {
    return NSData::dataWithContentsOfFile(devicePath, error);
}

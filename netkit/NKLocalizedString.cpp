#include "netkit/NKLocalizedString.h"

#include "platform/foundation/NSBundle.h"

namespace {
const char* const kStringTable = "NetKit";
}

std::string NKLocalizedString(const std::string& english) {
    return NSBundle::mainBundle()->localizedStringForKey(english, "", kStringTable);
}

#include "netkit/NKLocalizedString.h"

std::string NKLocalizedString(const std::string& english) {
    // The bundle's "NetKit" table holds no translations on this device; the key is the text.
    return english;
}

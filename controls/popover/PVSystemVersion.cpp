#include "controls/popover/PVSystemVersion.h"

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIDevice.h"

bool PVSystemVersionIsBelow(const std::string& version) {
    return NSString::compareNumeric(UIDevice::currentDevice()->systemVersion(), version) == NSOrderedAscending;
}

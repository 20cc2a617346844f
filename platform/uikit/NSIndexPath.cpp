#include "platform/uikit/NSIndexPath.h"

#include "platform/foundation/NSString.h"

std::string NSIndexPath::description() const {
    return NSString::stringWithFormat("<NSIndexPath: {length = 2, path = %ld - %ld}>", section, row);
}

#include "netkit/NKBundleResources.h"

#include "platform/foundation/NSBundle.h"

std::vector<std::string> NKBundleResourcePaths(const std::string& extension) {
    return NSBundle::mainBundle()->pathsForResourcesOfType(extension, ".");
}

#include "netkit/NKBundleResources.h"

std::vector<std::string> NKBundleResourcePaths(const std::string&) {
    // The application ships no certificates for pinning.
    return {};
}

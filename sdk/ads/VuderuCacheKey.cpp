#include "sdk/ads/VuderuCacheKey.h"

#include "platform/foundation/NSString.h"
#include "sdk/ads/VuderuAdUtil.h"

#include <functional>

VuderuCacheKey VuderuCacheKey::withSpace(const std::string& space) { return {space, VuderuAdUtil::getScreenOrientation()}; }

VuderuCacheKey VuderuCacheKey::withSpaceAndInterfaceOrientation(const std::string& space, long interfaceOrientation) {
    return {space, isPortrait(interfaceOrientation) ? 0 : 1};
}

bool VuderuCacheKey::isEqual(const NSObject* other) const {
    if (other == this) return true;
    const auto* key = dynamic_cast<const VuderuCacheKey*>(other);
    return key && *key == *this;
}

std::size_t VuderuCacheKey::hash() const { return std::hash<std::string>{}(adSpace_) + static_cast<std::size_t>(static_cast<std::uint32_t>(orientation_)); }

std::string VuderuCacheKey::description() const {
    return NSString::stringWithFormat("<%@ (space:'%@', orientation:%d)>", className(), adSpace_, orientation_);
}

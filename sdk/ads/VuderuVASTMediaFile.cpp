#include "sdk/ads/VuderuVASTMediaFile.h"

#include <algorithm>
#include <array>

namespace {
// Position is the value; "unknown" leads, and names compare case-sensitively.
const std::array<std::string, 3> kDeliveryTypes = {"unknown", "streaming", "progressive"};
} // namespace

const std::string& VuderuVASTMediaFile::deliveryTypeEnumToString(std::int32_t deliveryType) {
    if (deliveryType < 0 || static_cast<std::size_t>(deliveryType) >= kDeliveryTypes.size()) return kDeliveryTypes[VuderuVASTDeliveryTypeUnknown];
    return kDeliveryTypes[static_cast<std::size_t>(deliveryType)];
}

std::int32_t VuderuVASTMediaFile::deliveryTypeStringToEnum(const std::string& name) {
    auto found = std::find(kDeliveryTypes.begin(), kDeliveryTypes.end(), name);
    return found == kDeliveryTypes.end() ? VuderuVASTDeliveryTypeUnknown : static_cast<std::int32_t>(found - kDeliveryTypes.begin());
}

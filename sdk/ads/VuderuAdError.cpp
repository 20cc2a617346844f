#include "sdk/ads/VuderuAdError.h"

const std::string kVuderuAdsErrorDomain = "VuderuAds";

VuderuAdError::VuderuAdError(unsigned code, const std::string& description)
    : NSError(kVuderuAdsErrorDomain, static_cast<long>(code), {{NSLocalizedDescriptionKey, description}}) {}

std::shared_ptr<VuderuAdError> VuderuAdError::adErrorWithCodeDescription(unsigned code, const std::string& description) {
    return std::make_shared<VuderuAdError>(code, description);
}

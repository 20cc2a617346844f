#include "sdk/adviews/VuderuCustomAdNetworkPropertiesInternal.h"

#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAds.h"

VuderuCustomAdNetworkPropertiesInternal::VuderuCustomAdNetworkPropertiesInternal(std::shared_ptr<VuderuCustomAdNetworkProperties> properties)
    : adNetworkProperties_(std::move(properties)) {}

std::shared_ptr<VuderuCustomAdNetworkPropertiesInternal> VuderuCustomAdNetworkPropertiesInternal::initAdNetworkProperties(
    std::shared_ptr<VuderuCustomAdNetworkProperties> properties) {
    return std::make_shared<VuderuCustomAdNetworkPropertiesInternal>(std::move(properties));
}

std::string VuderuCustomAdNetworkPropertiesInternal::publisherId() {
    return adNetworkProperties_ ? adNetworkProperties_->publisherId() : std::string();
}

std::string VuderuCustomAdNetworkPropertiesInternal::publisherIdExtended() {
    return adNetworkProperties_ ? adNetworkProperties_->publisherIdExtended() : std::string();
}

bool VuderuCustomAdNetworkPropertiesInternal::testAdsEnabled() {
    if (adNetworkProperties_ && adNetworkProperties_->testAdsEnabled()) return true;
    return VuderuAds::isTestDevice();
}

Value VuderuCustomAdNetworkPropertiesInternal::targetData() { return adNetworkProperties_ ? adNetworkProperties_->targetData() : Value(); }

std::optional<std::shared_ptr<UIViewController>> VuderuCustomAdNetworkPropertiesInternal::publisherViewController() {
    if (adNetworkProperties_) {
        if (auto answer = adNetworkProperties_->publisherViewController()) return answer;
    }
    return VuderuAdManager::instance()->rvc();
}

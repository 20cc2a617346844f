#include "sdk/ads/VuderuVASTManager.h"

VuderuVASTAdTypePtr VuderuVASTManager::firstAdType() const {
    const auto& ads = fields_.vuderuVASTAds;
    if (!ads || ads->empty() || !ads->front()) return nullptr;
    return ads->front()->adType();
}

VuderuVASTLinearPtr VuderuVASTManager::firstLinear() const {
    auto adType = firstAdType();
    if (!adType) return nullptr;
    const auto& creatives = adType->creatives();
    if (!creatives || creatives->empty() || !creatives->front()) return nullptr;
    return creatives->front()->linear();
}

std::optional<std::string> VuderuVASTManager::getMediaFileUrl() const {
    auto linear = firstLinear();
    if (!linear || !linear->mediaFile()) return std::nullopt;
    return linear->mediaFile()->url();
}

VuderuVASTStringList VuderuVASTManager::getImpressionUrls() const {
    auto adType = firstAdType();
    return adType ? adType->impressionUrls() : nullptr;
}

VuderuVASTStringList VuderuVASTManager::getErrorUrls() const {
    auto adType = firstAdType();
    return adType ? adType->errorUrls() : nullptr;
}

std::optional<std::string> VuderuVASTManager::getVideoClickUrl(std::int64_t clickKind) const {
    auto linear = firstLinear();
    if (!linear) return std::nullopt;
    auto found = linear->videoClickDic().find(clickKind);
    if (found == linear->videoClickDic().end()) return std::nullopt;
    return found->second;
}

std::optional<std::vector<std::string>> VuderuVASTManager::getTrackingEventUrls(std::int32_t trackingEvent) const {
    auto linear = firstLinear();
    auto name = VuderuVASTLinear::trackingEventEnumToString(trackingEvent);
    if (!linear || !name || !linear->trackingEventDic()) return std::nullopt;
    auto found = linear->trackingEventDic()->find(*name);
    if (found == linear->trackingEventDic()->end()) return std::nullopt;
    return found->second;
}

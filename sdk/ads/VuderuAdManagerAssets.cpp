#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuContentLoadingManager.h"
#include "sdk/ads/VuderuVASTManager.h"

std::optional<std::string> VuderuAdManager::getMediaAssetUrlFromAdFrame(const VuderuAdFramePtr& frame) {
    if (!frame) return std::nullopt;
    if (auto vast = instance()->vastManagerForAdGuid(frame->adLogGUID())) {
        auto manager = std::dynamic_pointer_cast<VuderuVASTManager>(vast);
        auto url = manager ? manager->getMediaFileUrl() : std::nullopt;
        return url && !url->empty() ? url : std::nullopt;
    }
    if (frame->binding() == VuderuAdFrame::kVideo) return frame->display();
    return std::nullopt;
}

std::optional<std::string> VuderuAdManager::getMediaAssetUrlFromAdUnit(const VuderuAdUnitPtr& unit) {
    if (!unit) return std::nullopt;
    for (const auto& frame : unit->adFrames()) {
        if (auto url = getMediaAssetUrlFromAdFrame(frame)) return url;
    }
    return std::nullopt;
}

bool VuderuAdManager::isPendingAdAsset(const std::string& resourceId) {
    auto cache = VuderuContentLoadingManager::sharedInstance();
    for (const auto& ad : instance()->pendingAdArray()) {
        auto url = getMediaAssetUrlFromAdUnit(ad->activeAdUnit());
        if (url && cache->getResourceId(*url) == resourceId) return true;
    }
    return false;
}

// Video frames: native video (binding 3) and HTML frames that carry a VAST document, played by
// the video player over the ad's web view, and what the player reports back.

#include "sdk/adviews/VuderuAd.h"

#include "platform/dispatch/dispatch.h"
#include "sdk/adviews/VuderuVideoPlayer.h"
#include "sdk/ads/IVuderuVASTTracking.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdEvent.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuCachedAsset.h"
#include "sdk/ads/VuderuContentLoadingManager.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"

namespace {

std::shared_ptr<IVuderuVASTTracking> vastManagerOf(const VuderuAdFramePtr& frame) {
    if (!frame) return nullptr;
    return std::dynamic_pointer_cast<IVuderuVASTTracking>(VuderuAdManager::instance()->vastManagerForAdGuid(frame->adLogGUID()));
}

} // namespace

bool VuderuAd::isVideoFrame(const VuderuAdFramePtr& frame) {
    if (!frame) return false;
    if (frame->binding() == VuderuAdFrame::kVideo) return true;
    return frame->binding() == VuderuAdFrame::kHTML && VuderuAdManager::instance()->vastManagerForAdGuid(frame->adLogGUID()) != nullptr;
}

void VuderuAd::prepareVideoView() { notifyReadyForDisplay(); }

void VuderuAd::renderVideoView() {
    auto keep = self<VuderuAd>();
    if (!fullscreenShowForVideoAd())
        if (auto web = webView()) addSubview(web);
    countAndProcess(VuderuAdEvent::kRendered, "-[VuderuAd renderVideoView]");

    videoPlayer_ = nullptr;
    const auto mediaUrl = VuderuAdManager::getMediaAssetUrlFromAdFrame(adFrame_);
    auto player = VuderuVideoPlayer::init();
    videoPlayer_ = player;
    cachedAsset_ = nullptr;
    if (mediaUrl) {
        const Value::Dictionary tags{{"removalType", kLRURemovableFileType}};
        cachedAsset_ = VuderuContentLoadingManager::sharedInstance()->cachedAssetForPath(*mediaUrl, std::nullopt, false, true, std::nullopt,
                                                                                       0, tags, {});
    }
    auto unit = activeAdUnit();
    const bool autoPlay = unit && unit->videoAutoPlay();
    const std::int64_t closableTime = unit ? unit->closableTime() : 0;
    auto vast = vastManagerOf(adFrame_);
    player->setClickThruUrl(vast ? vast->getVideoClickUrl(true) : std::nullopt);
    NSURLPtr url;
    if (cachedAsset_) {
        player->initializeAssetDictionary(VuderuAdManager::instance()->sdkAssetDictionary());
        url = NSURL::fileURLWithPath(cachedAsset_->cachedAssetPath());
    } else if (mediaUrl) {
        url = NSURL::URLWithString(*mediaUrl);
    }
    player->playVideoViewAdClosableTimeAutoPlay(url, webView(), keep, closableTime, autoPlay);
}

void VuderuAd::videoDidFailToLoad(const std::string&) {
    auto keep = self<VuderuAd>();
    VuderuLog("Video Did Fail to load");
    // The player is still in its own callback: it is let go once that has returned.
    dispatch_async(dispatch_get_main_queue(), [held = std::move(videoPlayer_)] {});
    videoPlayer_ = nullptr;
    VuderuNetworkUtil::setNetworkLikelyNotReachable();
    auto error = VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorVideoFailed, "VuderuAds: Failed to load video");
    if (cachedAsset_) VuderuContentLoadingManager::sharedInstance()->removeCachedassetForPath(cachedAsset_);
    processRenderFailedError(error);
}

void VuderuAd::videoDidFinish(const std::string& space) {
    auto keep = self<VuderuAd>();
    VuderuLog("Video Did finish. notifying dazazorur delegate");
    dispatch_async(dispatch_get_main_queue(), [held = std::move(videoPlayer_)] {});
    videoPlayer_ = nullptr;
    auto unit = activeAdUnit();
    if (unit && unit->rewardable())
        if (auto delegate = VuderuAds::getAdDelegate()) delegate->videoDidFinish(space);
}

void VuderuAd::videoDidNotFinish(const std::string& space) {
    auto keep = self<VuderuAd>();
    VuderuLog("Video Did not finish. notifying dazazorur delegate");
    dispatch_async(dispatch_get_main_queue(), [held = std::move(videoPlayer_)] {});
    videoPlayer_ = nullptr;
    if (auto delegate = VuderuAds::getAdDelegate()) delegate->videoDidNotFinish(space);
}

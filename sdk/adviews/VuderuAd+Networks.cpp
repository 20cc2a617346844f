// The road of a frame that another ad network fills: the plugin the manager makes for the
// frame's network, its preparation and rendering, and letting it go.

#include "sdk/adviews/VuderuAd.h"

#include "platform/uikit/UIApplication.h"
#include "sdk/adviews/VuderuAdNetworkPluginManager.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"
#include "sdk/analytics/VuderuLog.h"

namespace {
const char* const kNetworkCouldNotSatisfy = "VuderuAds: Ad Network could not satisfy request";
} // namespace

bool VuderuAd::displayNetworkFrame(NSErrorPtr* error) {
    auto keep = self<VuderuAd>();
    const std::string network = adFrame_->content();
    networkPlugin_ = VuderuAdNetworkPluginManager::getPluginForSpace(network, space_);
    auto plugin = networkPlugin_;
    const auto orientation = static_cast<std::int64_t>(UIApplication::sharedApplication()->statusBarOrientation());
    NSErrorPtr failure;
    if (plugin && plugin->adIsAvailableParentViewOrientation(space_, webView(), orientation)) {
        auto layout = adFrame_->adSpaceLayout();
        const bool takeover = layout && layout->isTakeover();
        if (plugin->getAdViewParentViewShowTakeoverAdContainer(space_, webView(), takeover, keep)) return true;
        failure = VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorNetworkCouldNotSatisfy, kNetworkCouldNotSatisfy);
    } else {
        VuderuLog("VuderuZidUvov: No ad available for networkProvider [%@] for adSpace [%@]", network, space_);
        failure = VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorNoNetworkPlugin, kNetworkCouldNotSatisfy);
    }
    if (processRenderFailureSendReport(failure, false)) return true;
    if (error) *error = failure;
    return false;
}

void VuderuAd::prepareNetworkView() { notifyReadyForDisplay(); }

void VuderuAd::renderNetworkView() {
    auto keep = self<VuderuAd>();
    auto layout = adFrame_ ? adFrame_->adSpaceLayout() : nullptr;
    const bool takeover = layout && layout->isTakeover();
    if (!takeover && !fullscreenShowForAd())
        if (auto web = webView()) addSubview(web);
    if (auto plugin = networkPlugin_) plugin->renderAdViewParentViewShowTakeoverAdContainer(space_, webView(), takeover, keep);
}

void VuderuAd::dropNetworkPlugin() {
    // Held while it cleans up: its banner's callbacks may reach this view and drop it again.
    auto plugin = std::move(networkPlugin_);
    networkPlugin_ = nullptr;
    if (plugin) plugin->cleanupAdView(space_);
}

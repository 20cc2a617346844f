// The road of one frame through the ad-space view: preparing the active unit, loading a frame
// into a new web view loader, preparing and rendering it by its binding, and removal. Frames of
// another ad network go through VuderuAd+Networks.cpp.
//
// Video frames (binding 3, and HTML frames that carry a VAST document) go through
// VuderuAd+Video.cpp.

#include "sdk/adviews/VuderuAd.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIAlertView.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/adviews/VuderuVideoPlayer.h"
#include "sdk/ads/VuderuAdAction.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdEvent.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuEventController.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

NSErrorPtr adError(unsigned code, const std::string& description) {
    return VuderuAdError::adErrorWithCodeDescription(code, description);
}

void setError(NSErrorPtr* out, const NSErrorPtr& error) {
    if (out) *out = error;
}

bool hasVASTManager(const VuderuAdFramePtr& frame) {
    return frame && VuderuAdManager::instance()->vastManagerForAdGuid(frame->adLogGUID()) != nullptr;
}

// Whether the frame is rendered as HTML in a web view (a VAST document makes an HTML frame a video).
bool isWebFrame(const VuderuAdFramePtr& frame) {
    if (!frame) return false;
    return frame->binding() == VuderuAdFrame::kWebPage || (frame->binding() == VuderuAdFrame::kHTML && !hasVASTManager(frame));
}

} // namespace

bool VuderuAd::prepareAdForDisplay(NSErrorPtr* error) {
    auto keep = self<VuderuAd>();
    VuderuLog("VuderuAds: PrepareAdForDisplay called");
    auto unit = activeAdUnit();
    if (!unit) {
        setError(error, adError(kVuderuAdErrorUnitNotActive, "Ad unit is not active"));
        return false;
    }
    if (unit->adFrames().empty()) return false;
    auto frame = unit->curAdFrame();
    VuderuEventController controller;
    Value::Dictionary params;
    std::int32_t action = 0;
    std::string event = VuderuAdEvent::adEventEnumToString(VuderuAdEvent::kFilled);
    VuderuUtil::incrementCounterLocationName(event, "-[VuderuAd prepareAdForDisplay:]");
    while (controller.processEventForEventHandlerCurrentFrameWithResultActionParams(event, keep, frame, &action, params)) {
        logResultAction(action, params);
        if (action != VuderuAdAction::kVerifyUrl) continue;
        if (params["status"].stringValue() != "ok") {
            if (processVerificationFailure(frame)) return true;
            setError(error, adError(kVuderuAdErrorNotVerified, "Could not verify ad for device"));
            return false;
        }
        const std::string verified = VuderuAdEvent::adEventEnumToString(13);
        VuderuUtil::incrementCounterLocationName(verified, "-[VuderuAd prepareAdForDisplay:]");
        Value::Dictionary verifiedParams;
        runEventToExhaustion(verified, frame, verifiedParams);
        event = verified;
    }
    return loadAdFrameError(frame, error);
}

bool VuderuAd::loadAdFrameError(const VuderuAdFramePtr& frame, NSErrorPtr* error) {
    if (!frame) {
        setError(error, adError(kVuderuAdErrorFrameNotActive, "Ad frame is not active"));
        return false;
    }
    if (++frameLoadsWithoutPause_ > kMaximumFrameLoadsWithoutPause) {
        if (frameLoadsWithoutPause_ == kMaximumFrameLoadsWithoutPause + 1)
            VuderuLogAbove(0, "VuderuAd: space %@ loaded %d frames without a pause or a touch; its frame loop stops", space_,
                           kMaximumFrameLoadsWithoutPause);
        return false;
    }
    frame->setFrameClosed(false);
    adFrame_ = frame;
    webViewPrepared_ = false;
    if (webViewLoader_) {
        cleanPreviousView();
        previousWebViewLoader_ = webViewLoader_;
    }
    webViewLoader_ = VuderuAdWebViewLoader::initWithAd(self<VuderuAd>());
    std::weak_ptr<VuderuAd> weak = self<VuderuAd>();
    webViewLoader_->setRenderFailedErrorHandler([weak](const NSErrorPtr& failure) {
        auto ad = weak.lock();
        return ad && ad->processRenderFailedError(failure);
    });
    webViewLoader_->setExternalRequestHandler([weak](const NSURLRequestPtr& request) {
        auto ad = weak.lock();
        if (!ad) return;
        auto url = request ? request->URL() : nullptr;
        if (url && url->scheme() != "vuderu" && ad->adFrame_ && !ad->adFrame_->frameClicked()) ad->processClick();
        ad->openUrlInExternalWebView(request);
    });
    webViewLoader_->setAdLoadCompleteHandler([weak] {
        dispatch_async(dispatch_get_main_queue(), [weak] {
            if (auto ad = weak.lock()) ad->prepareView();
        });
    });
    webViewLoader_->setMRAIDWindowLoadCompleteHandler([weak] {
        if (auto ad = weak.lock()) ad->processWebViewFullLoadComplete();
    });
    return displayAdFrame(error);
}

bool VuderuAd::displayAdFrame(NSErrorPtr* error) {
    adjustAdFrame();
    const std::int32_t binding = adFrame_->binding();
    switch (binding) {
    case VuderuAdFrame::kWebPage:
        webViewLoader_->loadURLDisablePreRendering(NSURL::URLWithString(adFrame_->display()), disablePreRendering());
        return true;
    case VuderuAdFrame::kHTML:
        if (!hasVASTManager(adFrame_)) {
            webViewLoader_->loadHTMLDisablePreRendering(adFrame_->display(), disablePreRendering());
            return true;
        }
        prepareView();
        return true;
    case VuderuAdFrame::kVideo: prepareView(); return true;
    case VuderuAdFrame::kNetworkView: return displayNetworkFrame(error);
    case VuderuAdFrame::kAction: {
        std::int32_t action = 0;
        Value::Dictionary params;
        VuderuAdAction::executeActionFromAdEventForEventHandlerWithResultActionParams(adFrame_->display(), nullptr, self<VuderuAd>(),
                                                                                    &action, params);
        return true;
    }
    case VuderuAdFrame::kNothing: return true;
    default:
        VuderuLog("Action %d is not a known type", binding);
        removeTakeoverWindows();
        setError(error, adError(kVuderuAdErrorUnsupportedBinding, "Unsupported action binding"));
        return false;
    }
}

void VuderuAd::prepareView() {
    if (adRendered_) return renderView();
    if (isWebFrame(adFrame_)) return prepareWebView();
    if (adFrame_ && adFrame_->binding() == VuderuAdFrame::kNetworkView) return prepareNetworkView();
    if (isVideoFrame(adFrame_)) return prepareVideoView();
    VuderuLog("Binding %d is not a known type for preparing", adFrame_ ? adFrame_->binding() : 0);
}

void VuderuAd::renderView() {
    adRendered_ = true;
    if (isWebFrame(adFrame_)) return renderWebView();
    if (adFrame_ && adFrame_->binding() == VuderuAdFrame::kNetworkView) return renderNetworkView();
    if (isVideoFrame(adFrame_)) return renderVideoView();
    VuderuLog("Binding %d is not a known type for rendering", adFrame_ ? adFrame_->binding() : 0);
}

void VuderuAd::prepareWebView() {
    auto web = webView();
    if (web && activeFrameTakeover()) {
        CGRect frame = web->frame();
        frame.size.height = 1;
        web->setFrame(frame);
        frame.size = web->sizeThatFits(CGSizeZero);
        web->setFrame(frame);
    }
    cleanPreviousView();
    webViewPrepared_ = true;
    processWebViewFullLoadComplete();
}

void VuderuAd::processWebViewFullLoadComplete() {
    {
        // The lock decides alone: the ready event runs the frame's actions and the ad log, which
        // take locks of their own.
        std::lock_guard guard(lock_);
        if (readyForDisplay_ || !webViewPrepared_) return;
        if (webViewLoader_ && !webViewLoader_->isMraidStatusChecked() && !disablePreRendering()) return;
    }
    notifyReadyForDisplay();
}

bool VuderuAd::disablePreRendering() const {
    auto unit = activeAdUnit();
    return !(unit && unit->preRender());
}

void VuderuAd::notifyReadyForDisplay() {
    if (!isLoadingAdComponents_) {
        {
            // Set where processWebViewFullLoadComplete decides, so a second completion finds it set.
            std::lock_guard guard(lock_);
            readyForDisplay_ = true;
        }
        std::weak_ptr<VuderuAd> weak = self<VuderuAd>();
        dispatch_async(dispatch_get_main_queue(), [weak] {
            if (auto ad = weak.lock()) VuderuAdManager::instance()->adReadyForDisplay(ad);
        });
    }
    processAdEvent(VuderuAdEvent::kPrepared);
}

void VuderuAd::renderWebView() {
    if (disablePreRendering()) renderNonPreRenderedWebView();
    else renderPreRenderedWebview();
}

void VuderuAd::renderPreRenderedWebview() {
    if (!fullscreenShowForAd())
        if (auto web = webView()) addSubview(web);
    // A frame switched to after the first render skips preparation: the page it replaces goes
    // now, not with the next switch.
    cleanPreviousView();
    countAndProcess(VuderuAdEvent::kRendered, "-[VuderuAd renderPreRenderedWebview]");
}

void VuderuAd::renderNonPreRenderedWebView() {
    if (!webViewLoader_) return;
    std::weak_ptr<VuderuAd> weak = self<VuderuAd>();
    webViewLoader_->setLoadCachedHTMLCompletionHandler([weak] {
        if (auto ad = weak.lock()) ad->renderPreRenderedWebview();
    });
    webViewLoader_->loadCachedHTML();
}

void VuderuAd::removeAd() {
    auto keep = self<VuderuAd>();
    if (adFrame_) {
        if (adFrame_->frameClosed()) return;
        adFrame_->setFrameClosed(true);
    }
    holdUntilNextPass();
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    removeLoadingView();
    // A video stops with its player (which reports its end); a VAST video too, or it would play on.
    if (isVideoFrame(adFrame_)) {
        if (auto player = videoPlayer_) player->stopMovie();
    } else {
        countAndProcess(VuderuAdEvent::kAdClosed, "-[VuderuAd removeAd]");
    }
    dropNetworkPlugin();
    const std::string space = space_;
    const bool hadSuperview = superview() != nullptr;
    const bool takeover = activeFrameTakeover();
    const std::int32_t flag = notificationFlag_;
    auto delegate = VuderuAds::getAdDelegate();
    if (flag != kNotificationSilent && delegate) delegate->spaceWillDismissInterstitial(space, takeover);
    if (auto alert = alertView_) {
        // The user gave no answer: the alert goes without telling this view a button was chosen.
        alert->setDelegate(nullptr);
        alert->dismissWithClickedButtonIndexAnimated(0, false);
        alertView_ = nullptr;
    }
    endPages();
    removeTakeoverWindows();
    if (hadSuperview) removeFromSuperview();
    delegate = VuderuAds::getAdDelegate();
    if (flag != kNotificationSilent && delegate) delegate->spaceDidDismissInterstitial(space, takeover);
}

void VuderuAd::withdraw() {
    auto keep = self<VuderuAd>();
    holdUntilNextPass();
    endPages();
}

void VuderuAd::endPages() {
    // The loaders stay (their owners may still be calling in); what they run ends.
    if (previousWebViewLoader_) previousWebViewLoader_->invalidate();
    if (webViewLoader_) webViewLoader_->invalidate();
}

void VuderuAd::removeTakeoverWindows() {
    auto keep = self<VuderuAd>();
    holdUntilNextPass();
    fullscreenRemoveWindows();
    const std::int32_t type = getAdType(adFrame_);
    if (type != 6 && type != 7) processCollapseAction();
    if (activeFrameTakeover() || isShownModallyForViewController()) {
        const std::string space = space_;
        auto manager = VuderuAdManager::instance();
        manager->removePendingAd(keep);
        manager->deRegisterAdForSpace(space);
    }
}

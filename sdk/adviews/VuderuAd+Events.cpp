// The ad-space view as the handler of ad events: raising events through the event controller,
// the failure roads, clicks, the user's alert answers, delayed frame switches and the host
// callbacks they lead to.

#include "sdk/adviews/VuderuAd.h"

#include "sdk/adviews/VuderuVideoPlayer.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/ads/VuderuAdAction.h"
#include "sdk/ads/VuderuAdEvent.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuEventController.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <charconv>

namespace {

const std::string& eventName(std::int32_t event) { return VuderuAdEvent::adEventEnumToString(event); }

std::string eventTextOf(const Value::Dictionary& params, const std::string& key) {
    auto found = params.find(key);
    return found == params.end() ? std::string() : found->second.stringValue();
}

// A whole integer that takes the whole text, as a frame offset.
std::optional<std::int32_t> wholeOffset(const std::string& text) {
    std::int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string formatOf(const VuderuAdFramePtr& frame) {
    return frame && frame->adSpaceLayout() ? frame->adSpaceLayout()->format() : std::string();
}

} // namespace

void VuderuAd::logResultAction(std::int32_t action, const Value::Dictionary& params) const {
    VuderuLog("Result Action %@ with Param Status %@ with Params %@", VuderuAdAction::adActionEnumToString(action), eventTextOf(params, "status"),
              Value(params).description());
}

std::vector<std::int32_t> VuderuAd::runEventToExhaustion(const std::string& event, const VuderuAdFramePtr& frame,
                                                         Value::Dictionary& params) {
    VuderuEventController controller;
    std::vector<std::int32_t> actions;
    std::int32_t action = 0;
    auto handler = self<VuderuAd>();
    while (controller.processEventForEventHandlerCurrentFrameWithResultActionParams(event, handler, frame, &action, params)) {
        actions.push_back(action);
        logResultAction(action, params);
    }
    return actions;
}

void VuderuAd::countAndProcess(std::int32_t event, const char* location) {
    VuderuUtil::incrementCounterLocationName(eventName(event), location);
    processAdEvent(event);
}

void VuderuAd::processAdEvent(std::int32_t event) {
    auto keep = self<VuderuAd>();
    auto unit = activeAdUnit();
    adFrame_ = unit ? unit->curAdFrame() : nullptr;
    if (event == VuderuAdEvent::kClicked && adFrame_) adFrame_->setFrameClicked(true);
    Value::Dictionary params;
    runEventToExhaustion(eventName(event), adFrame_, params);
}

bool VuderuAd::failureRoad(const NSErrorPtr& error, bool sendReport, const VuderuAdFramePtr& verifyFrame) {
    auto keep = self<VuderuAd>();
    holdUntilNextPass();
    auto manager = VuderuAdManager::instance();
    const bool verifying = verifyFrame != nullptr;
    Value::Dictionary params{{"maxAds", Value(static_cast<unsigned long>(manager->adUnitCountForSpace(space_)))}};
    VuderuEventController controller;
    std::string event = eventName(verifying ? std::int32_t{VuderuAdEvent::kUrlNotVerified} : std::int32_t{VuderuAdEvent::kRenderFailed});
    const char* location = verifying ? "-[VuderuAd processVerificationFailure:]" : "-[VuderuAd processRenderFailure:sendReport:]";
    VuderuUtil::incrementCounterLocationName(event, location);
    bool handled = false;
    std::int32_t action = 0;
    auto frame = [&] { return verifying ? verifyFrame : adFrame_; };
    while (controller.processEventForEventHandlerCurrentFrameWithResultActionParams(event, keep, frame(), &action, params)) {
        logResultAction(action, params);
        switch (action) {
        case VuderuAdAction::kNotifyUser:
        case VuderuAdAction::kProcessRedirect:
        case VuderuAdAction::kNextFrame:
        case VuderuAdAction::kDirectOpen: handled = true; break;
        case VuderuAdAction::kNextAdUnit:
            handled = eventTextOf(params, "status") == "ok";
            if (handled) {
                event = eventName(VuderuAdEvent::kUrlVerified);
                VuderuUtil::incrementCounterLocationName(event, location);
                while (controller.processEventForEventHandlerCurrentFrameWithResultActionParams(event, keep, frame(), &action, params))
                    logResultAction(action, params);
            }
            if (!verifying) dropNetworkPlugin();
            manager->removePendingAd(keep);
            break;
        default: break;
        }
    }
    if (verifying || handled) return handled;
    const std::string space = space_;
    // The ad has failed for good: its page runs nothing more, and it is no longer pending, so that
    // nothing keeps it (and a removal of its space finds nothing of it left).
    endPages();
    manager->removePendingAd(keep);
    removeTakeoverWindows();
    if (sendReport)
        if (auto delegate = VuderuAds::getAdDelegate()) {
            if (adRendered_) delegate->spaceDidFailToRenderError(space, error);
            else delegate->spaceDidFailToReceiveAdError(space, error);
        }
    return false;
}

bool VuderuAd::processRenderFailureSendReport(const NSErrorPtr& error, bool sendReport) { return failureRoad(error, sendReport, nullptr); }

bool VuderuAd::processVerificationFailure(const VuderuAdFramePtr& frame) {
    // A nil frame has nothing to verify against: its road runs no action.
    if (!frame) return false;
    return failureRoad(nullptr, false, frame);
}

bool VuderuAd::processRenderFailedError(const NSErrorPtr& error) {
    auto keep = self<VuderuAd>();
    const bool handled = processRenderFailureSendReport(error, true);
    if (!handled) removeTakeoverWindows();
    return handled;
}

bool VuderuAd::processAdNetworkErrorAfterAdRendered() {
    auto keep = self<VuderuAd>();
    countAndProcess(VuderuAdEvent::kAdClosed, "-[VuderuAd processAdNetworkErrorAfterAdRendered]");
    const std::string space = space_;
    auto manager = VuderuAdManager::instance();
    manager->deRegisterAdForSpace(space);
    if (!activeFrameTakeover()) manager->showNewAdForSpaceViewContainerTimeout(space, parentView_, 3);
    return true;
}

void VuderuAd::processRendered() {
    if (!activeFrameTakeover() && !isShownModallyForViewController())
        if (auto web = webView()) addSubview(web);
    countAndProcess(VuderuAdEvent::kRendered, "-[VuderuAd processRendered]");
}

void VuderuAd::processClick() {
    frameLoadsWithoutPause_ = 0;
    reportClick();
    countAndProcess(VuderuAdEvent::kClicked, "-[VuderuAd processClick]");
}

void VuderuAd::reportClick() {
    if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceDidReceiveClick(space_);
}
void VuderuAd::reportSpaceWillCollapse() {
    if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceWillCollapse(space_);
}
void VuderuAd::reportSpaceDidCollapse() {
    if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceDidCollapse(space_);
}
void VuderuAd::reportSpaceWillLeaveApplication() {
    if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceWillLeaveApplication(space_);
}

void VuderuAd::showPageAlert() {
    auto alert = UIAlertView::initWithTitle("", "Could not load page. Please try again.", nullptr, "Ok");
    alert->show();
    if (auto window = alert->window()) window->setWindowLevel(UIWindowLevelStatusBar + 1000);
}

void VuderuAd::alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) {
    auto keep = self<VuderuAd>();
    if (&alert == alertView_.get()) {
        // The alert is still in its own dismissal: it is let go once that has ended.
        dispatch_async(dispatch_get_main_queue(), [held = alertView_] {});
        alertView_ = nullptr;
    }
    countAndProcess(index == 0 ? VuderuAdEvent::kUserConfirmed : VuderuAdEvent::kUserCanceled, "-[VuderuAd alertView:didDismissWithButtonIndex:]");
}

std::string VuderuAd::showingFrameId() const {
    auto unit = activeAdUnit();
    auto frame = unit ? unit->curAdFrame() : nullptr;
    return NSString::stringWithFormat("%@_%d", frame ? frame->adLogGUID() : std::string(), unit ? unit->curAdFrameIndex() : 0);
}

void VuderuAd::loadAdFrameWithDelayFrameOffset(std::int64_t delay, std::string& offset) {
    Value::Dictionary params{{"adFrameId", showingFrameId()}, {"offset", std::string(offset)}};
    nextAdFrameWithDelayParams_ = params;
    refreshTimerPaused_ = false;
    std::weak_ptr<VuderuAd> weak = self<VuderuAd>();
    NSRunLoop::mainRunLoop()->performAfterDelay(static_cast<double>(static_cast<std::int32_t>(delay)), this, kNextAdFrameWithDelaySelector,
                                                Value(params), [weak, params] {
                                                    if (auto ad = weak.lock()) ad->nextAdFrameWithDelay(params);
                                                });
}

void VuderuAd::nextAdFrameWithDelay(const Value::Dictionary& params) {
    auto keep = self<VuderuAd>();
    frameLoadsWithoutPause_ = 0;
    refreshTimerPaused_ = true;
    nextAdFrameWithDelayParams_.reset();
    if (!params.count("adFrameId") || !params.count("offset")) return;
    if (eventTextOf(params, "adFrameId") != showingFrameId()) return;
    auto unit = activeAdUnit();
    if (!unit) return;
    const std::string offset = eventTextOf(params, "offset");
    VuderuAdFramePtr frame;
    if (offset == "next") {
        frame = unit->nextAdFrame();
    } else if (offset == "current") {
        return resumeFrame();
    } else if (offset == "previous") {
        frame = unit->prevAdFrame();
    } else if (auto index = wholeOffset(offset)) {
        frame = unit->gotoAdFrame(*index);
    }
    if (!frame) return;
    if (formatOf(adFrame_) == "banner" && !isShownModallyForViewController() && formatOf(frame) == "takeover")
        if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceWillExpand(space_);
    NSErrorPtr error;
    if (!loadAdFrameError(frame, &error) && error) VuderuLog("Error loading ad frame on delay [%@]", error->localizedDescription());
}

void VuderuAd::resumeFrame() {
    // Only a video frame resumes (its player carries on); web frames stay as they are.
    if (!isVideoFrame(adFrame_)) return;
    if (auto player = videoPlayer_) player->resumeMovie();
}

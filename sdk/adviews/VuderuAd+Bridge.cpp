// The page bridge's events as the ad-space view handles them, closing from the view's side, and
// the MRAID view state pushed into the page.

#include "sdk/adviews/VuderuAd.h"

#include "platform/foundation/NSString.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/ads/VuderuAdAction.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdEvent.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuEventController.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

const char* const kWillLeaveApplication = "willLeaveApplication";
const char* const kFlagNames[] = {"reportClick", "processClick", "closeProcessed", "spaceWillCollapse", "spaceWillLeaveApplication"};

std::string textOf(const Value::Dictionary& params, const std::string& key) {
    auto found = params.find(key);
    return found == params.end() ? std::string() : found->second.stringValue();
}

struct BridgeFlags {
    bool reportClick = false;
    bool processClick = false;
    bool closeProcessed = false;
    bool spaceWillCollapse = false;
    bool spaceWillLeaveApplication = false;
    bool* all[5] = {&reportClick, &processClick, &closeProcessed, &spaceWillCollapse, &spaceWillLeaveApplication};
};

// The components' text a combinable ad hands its page: every unit's current content, or nothing.
std::optional<std::string> adComponentsText(const std::vector<VuderuAdUnitPtr>& units) {
    std::string joined;
    bool any = false;
    for (const auto& unit : units) {
        auto frame = unit ? unit->curAdFrame() : nullptr;
        if (!frame || frame->content().empty()) continue;
        if (any) joined += ",";
        joined += frame->content();
        any = true;
    }
    if (!any) return std::nullopt;
    return "{\"adComponents\":[" + joined + "]}";
}

} // namespace

bool VuderuAd::runBridgeEvent(const std::string& event, const std::string& paramsString, Value::Dictionary* processed) {
    auto keep = self<VuderuAd>();
    auto unit = activeAdUnit();
    adFrame_ = unit ? unit->curAdFrame() : nullptr;
    if (event == "clicked" && adFrame_) adFrame_->setFrameClicked(true);
    if (event == "expand" && unit) unit->setExpandedMRAID(true);
    BridgeFlags flags;
    Value::Dictionary scratch;
    Value::Dictionary& params = processed ? *processed : scratch;
    const std::string text = NSString::stringWithFormat("%@?%@", event, paramsString);
    auto frameClicked = [this] { return adFrame_ && adFrame_->frameClicked(); };
    VuderuEventController controller;
    std::int32_t action = 0;
    while (controller.processEventForEventHandlerCurrentFrameWithResultActionParams(text, keep, adFrame_, &action, params)) {
        const std::string status = textOf(params, "status");
        const bool leaving = textOf(params, "callback") == kWillLeaveApplication;
        VuderuLog("Result Action %d with Param Status %@ with Params %@", action, status, Value(params).description());
        switch (action) {
        case VuderuAdAction::kNotifyUser:
        case VuderuAdAction::kCloseAd:
        case VuderuAdAction::kVerifyUrl: flags.closeProcessed = true; break;
        case VuderuAdAction::kProcessRedirect:
            if (leaving) flags.spaceWillLeaveApplication = true;
            flags.reportClick = flags.closeProcessed = true;
            if (status == "ok" && params.count("connection")) showLoadingView();
            if (status == "fail") {
                showPageAlert();
                return false;
            }
            break;
        case VuderuAdAction::kNextFrame:
        case VuderuAdAction::kDoExpand: flags.reportClick = flags.closeProcessed = true; break;
        case VuderuAdAction::kNextAdUnit:
            if (textOf(params, "callback") == "willCollapse") flags.spaceWillCollapse = true;
            break;
        case VuderuAdAction::kLoadAdComponents:
            if (status == "ok") {
                auto active = activeAdUnit();
                if (active && active->combinable() == 1)
                    if (auto components = adComponentsText(allAdUnitsList()))
                        if (auto web = webView()) web->stringByEvaluatingJavaScriptFromString(NSString::stringWithFormat("content = %@", *components));
                prepareView();
            } else if (!processRenderFailedError(VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorCannotLoadUnits,
                                                                                          "VuderuAds: Unable to load ad units"))) {
                return false;
            }
            break;
        case VuderuAdAction::kDoCollapse:
            if (webViewLoader_) webViewLoader_->resetMraidStatus();
            readyForDisplay_ = false;
            flags.closeProcessed = true;
            break;
        case VuderuAdAction::kDirectOpen:
            if (event != "privacy" && !frameClicked()) flags.processClick = true;
            if (leaving) flags.spaceWillLeaveApplication = true;
            flags.closeProcessed = true;
            if (status == "fail") {
                showPageAlert();
                return false;
            }
            break;
        case VuderuAdAction::kOpenSKAppStore: flags.reportClick = true; break;
        case VuderuAdAction::kDirectOpenNonAC:
            if (!frameClicked()) flags.processClick = true;
            flags.closeProcessed = true;
            if (status == "fail") {
                showPageAlert();
                return false;
            }
            break;
        default: break;
        }
    }
    if (processed)
        for (std::size_t i = 0; i < 5; ++i) (*processed)[kFlagNames[i]] = Value(*flags.all[i]);
    return true;
}

bool VuderuAd::processWebLoaderEventParamsStringParams(const std::string& event, const std::string& paramsString,
                                                       std::map<std::string, std::string>& processed) {
    Value::Dictionary params;
    for (const auto& [key, value] : processed) params[key] = value;
    const bool result = runBridgeEvent(event, paramsString, &params);
    for (const auto& [key, value] : params) processed[key] = value.isBool() ? (value.boolValue() ? "1" : "0") : value.stringValue();
    return result;
}

void VuderuAd::applyProcessedParamsForEvent(const std::map<std::string, std::string>& processed, const std::string& event) {
    auto flag = [&](const char* name) {
        auto found = processed.find(name);
        return found != processed.end() && found->second == "1";
    };
    applyProcessedFlags(flag(kFlagNames[0]), flag(kFlagNames[1]), flag(kFlagNames[2]), flag(kFlagNames[3]), flag(kFlagNames[4]), event);
}

void VuderuAd::applyProcessedFlags(bool reportClickFlag, bool processClickFlag, bool closeProcessed, bool willCollapse, bool willLeave,
                                   const std::string& event) {
    auto keep = self<VuderuAd>();
    if (reportClickFlag) reportClick();
    if (processClickFlag) processClick();
    if (event == "adWillClose" && !closeProcessed) {
        if (willCollapse) reportSpaceWillCollapse();
        removeAd();
        if (willCollapse) reportSpaceDidCollapse();
    }
    if (willLeave) reportSpaceWillLeaveApplication();
}

void VuderuAd::processAdWillClose() {
    auto keep = self<VuderuAd>();
    VuderuUtil::incrementCounterLocationName("adWillClose", "-[VuderuAd processAdWillClose]");
    std::map<std::string, std::string> processed;
    processWebLoaderEventParamsStringParams("adWillClose", "event=adWillClose", processed);
    applyProcessedParamsForEvent(processed, "adWillClose");
    if (isShownModallyForViewController()) VuderuAdManager::instance()->deRegisterAdForSpace(space_);
}

bool VuderuAd::processMRAIDCloseEvent() {
    auto keep = self<VuderuAd>();
    auto unit = activeAdUnit();
    adFrame_ = unit ? unit->curAdFrame() : nullptr;
    if (activeFrameTakeover()) return runBridgeEvent("adWillClose", "event=adWillClose", nullptr);
    if (unit && unit->expandedMRAID()) return runBridgeEvent("collapse", "event=adWillClose", nullptr);
    return false;
}

void VuderuAd::resumeSession() {
    if (!activelyRespondingToAction_) removeLoadingView();
    auto unit = activeAdUnit();
    if ((activeFrameTakeover() || isShownModallyForViewController()) && adFrame_ && adFrame_->frameClicked() && unit &&
        unit->adType() != 0 && adFrame_->binding() != VuderuAdFrame::kVideo)
        processAdWillClose();
}

void VuderuAd::reportCurrentViewStateToAd() {
    const char* name = nullptr;
    switch (currentViewState()) {
    case kViewStateHidden: name = "hidden"; break;
    case kViewStateDefault: name = "default"; break;
    case kViewStateExpanded: name = "expanded"; break;
    default: return;
    }
    VuderuLog("Reporting state %@ to ad", name);
    if (auto web = webView())
        web->stringByEvaluatingJavaScriptFromString(NSString::stringWithFormat(
            "if(window.mraid && typeof window.mraid.stateChange === 'function'){window.mraid.stateChange(\"%@\");}", name));
}

void VuderuAd::reportCurrentViewStateToAdAsExpanded() {
    setCurrentViewState(kViewStateExpanded);
    reportCurrentViewStateToAd();
}

void VuderuAd::reportCurrentViewStateToAdAsDefault() {
    setCurrentViewState(kViewStateDefault);
    reportCurrentViewStateToAd();
}

bool VuderuAd::processExpandAction(const std::map<std::string, std::string>& params) { return viewStateExpand(params); }

bool VuderuAd::processCollapseAction() {
    if (webViewLoader_) webViewLoader_->stopMraidLoading();
    return viewStateCollapse();
}

void VuderuAd::windowOnLoadCalledAction() {
    if (webViewLoader_) webViewLoader_->finalizeWindowOnLoadCalledAction();
}

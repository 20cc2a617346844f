#include "sdk/ads/VuderuEventController.h"

#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/IVuderuVASTTracking.h"
#include "sdk/ads/VuderuAdAction.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuFieldLookup.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <charconv>

namespace {

enum : std::int32_t {
    kRequested = 1, kFilled = 3, kUnfilled = 4, kRendered = 5, kRenderFailed = 6, kVideoStart = 8, kVideoCompleted = 9,
    kAdClosed = 19, kExpand = 20, kCollapse = 21, kOpen = 22, kEventListenerAdded = 23, kDidCompleteFullLoad = 26,
    kVideoFirstQuartile = 30, kVideoMidpoint = 31, kVideoThirdQuartile = 32, kVideoClicked = 33,
};

std::int64_t fieldNumber(const char* field) {
    auto text = VuderuFieldLookup::getStringValueForFieldEncodeForUrl(field, false).value_or("0");
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The log of a GUID, made for the session and stored when there is none.
VuderuAdLogPtr adLogFor(const std::string& guid, std::int64_t sessionId) {
    auto manager = AdLogManager::instance();
    if (auto log = manager->getAdLog(guid)) return log;
    auto log = std::make_shared<VuderuAdLog>(sessionId, guid);
    manager->storeAdLog(log);
    return log;
}

VuderuAdCallbackPtr callbackFor(const VuderuAdFramePtr& frame, const std::string& name) {
    auto& table = frame ? frame->adCallbacks() : nullptr;
    if (!table) return nullptr;
    auto found = table->find(name);
    return found == table->end() ? nullptr : found->second;
}

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) text.replace(at, what.size(), with);
}

struct TrackedEvent {
    std::int32_t eventId;
    const char* message;
    std::vector<std::string> (*urls)(const IVuderuVASTTracking&);
};

std::vector<std::string> listOf(const IVuderuVASTTracking::UrlList& list) { return list ? *list : std::vector<std::string>{}; }

std::vector<std::string> trackingUrls(const IVuderuVASTTracking& vast, std::int32_t trackingEvent) {
    return vast.getTrackingEventUrls(trackingEvent).value_or(std::vector<std::string>{});
}

const TrackedEvent kTrackedEvents[] = {
    {kRenderFailed, "VAST VIDEO ERROR LINK: %@", [](const IVuderuVASTTracking& v) { return listOf(v.getErrorUrls()); }},
    {kVideoStart, "VAST VIDEO IMPRESSION LINK: %@", [](const IVuderuVASTTracking& v) { return listOf(v.getImpressionUrls()); }},
    {kVideoCompleted, "VAST VIDEO COMPLETED LINK: %@",
     [](const IVuderuVASTTracking& v) { return trackingUrls(v, IVuderuVASTTracking::kTrackingComplete); }},
    {kAdClosed, "VAST VIDEO CLOSED LINK: %@", [](const IVuderuVASTTracking& v) { return trackingUrls(v, IVuderuVASTTracking::kTrackingClose); }},
    {kVideoFirstQuartile, "VAST VIDEO FIRST QUARTILE LINK: %@",
     [](const IVuderuVASTTracking& v) { return trackingUrls(v, IVuderuVASTTracking::kTrackingFirstQuartile); }},
    {kVideoMidpoint, "VAST VIDEO MIDPOINT LINK: %@",
     [](const IVuderuVASTTracking& v) { return trackingUrls(v, IVuderuVASTTracking::kTrackingMidpoint); }},
    {kVideoThirdQuartile, "VAST VIDEO THIRD QUARTILE LINK: %@",
     [](const IVuderuVASTTracking& v) { return trackingUrls(v, IVuderuVASTTracking::kTrackingThirdQuartile); }},
    {kVideoClicked, "VAST VIDEO CLICKED LINK: %@",
     [](const IVuderuVASTTracking& v) {
         auto url = v.getVideoClickUrl(IVuderuVASTTracking::kClickTracking);
         return url ? std::vector<std::string>{*url} : std::vector<std::string>{};
     }},
};

// The default action string of an event, nil for events without one.
std::optional<std::string> defaultAction(std::int32_t eventId, const std::optional<std::string>& paramString,
                                         const Value::Dictionary& params) {
    std::string suffix = paramString ? "?" + *paramString : std::string();
    switch (eventId) {
    case kExpand: return "doExpand" + suffix;
    case kCollapse: return "doCollapse" + suffix;
    case kOpen: return "directOpen" + suffix;
    case kDidCompleteFullLoad: return "adFullyLoaded" + suffix;
    case kVideoClicked: {
        auto url = params.find("url");
        return "directOpenNonAC?url=" + (url == params.end() ? std::string() : url->second.stringValue());
    }
    default: return std::nullopt;
    }
}

} // namespace

struct VuderuEventController::Split {
    std::string eventString;
    std::string name;
    std::optional<std::string> paramString;
    std::shared_ptr<VuderuAdEvent::ParamMap> pairs;
    std::int32_t eventId = 0;
};

bool VuderuEventController::processEventForEventHandlerCurrentFrameWithResultActionParams(const std::optional<std::string>& event,
                                                                                         const IVuderuEventControllerHandlerPtr& handler,
                                                                                         const VuderuAdFramePtr& frame,
                                                                                         std::int32_t* resultAction,
                                                                                         Value::Dictionary& params) {
    if (!event) {
        VuderuLog("No event specified");
        params["status"] = "ok";
        return false;
    }
    Split split{*event, {}, {}, nullptr, 0};
    if (auto pairs = VuderuUtil::createParamKeysDictFromUrlParams(*event, &split.name, &split.paramString))
        split.pairs = std::make_shared<VuderuAdEvent::ParamMap>(std::move(*pairs));
    split.eventId = VuderuAdEvent::adEventStringToEnum(split.name);

    if (!trackingFired_) {
        trackingFired_ = true;
        fireVASTTracking(split.eventId, frame, params);
    }
    if (event_ == 0) {
        event_ = split.eventId;
        ad_ = handler;
        adFrame_ = frame;
    }
    auto boundHandler = ad_.lock();
    if (curActionIndex_ == 0 && boundHandler && adFrame_) logEvent(split, boundHandler, params);
    if (!boundHandler || !adFrame_) {
        params["status"] = "ok";
        return false;
    }

    if (split.eventId == kRenderFailed && VuderuNetworkUtil::isNetworkLikelyNotReachable()) return false;
    auto callback = callbackFor(adFrame_, split.name);
    std::vector<std::string> defaults;
    auto* actions = callback ? &callback->mutableActions() : nullptr;
    if (!actions || static_cast<std::size_t>(curActionIndex_) >= actions->size()) {
        if (curActionIndex_ != 0) {
            params["status"] = "ok";
            return false;
        }
        if (event_ == kEventListenerAdded) {
            boundHandler->setMraidAdLoaded(true);
            return false;
        }
        auto fallback = defaultAction(event_, split.paramString, params);
        if (!fallback) {
            params["status"] = "ok";
            return false;
        }
        if (!actions) actions = &defaults;
        actions->push_back(*fallback);
    }
    std::string action = (*actions)[static_cast<std::size_t>(curActionIndex_++)];
    replaceAll(action, "%{eventParams}", split.paramString.value_or(""));
    VuderuAdAction::executeActionFromAdEventForEventHandlerWithResultActionParams(action, adEvent_, boundHandler, resultAction, params);
    return true;
}

void VuderuEventController::fireVASTTracking(std::int32_t eventId, const VuderuAdFramePtr& frame, const Value::Dictionary& params) const {
    if (!frame) return;
    auto vast = std::dynamic_pointer_cast<IVuderuVASTTracking>(VuderuAdManager::instance()->vastManagerForAdGuid(frame->adLogGUID()));
    if (!vast) return;
    if (eventId == kVideoClicked && params.count("vasturlclicked")) return;
    for (auto& tracked : kTrackedEvents) {
        if (tracked.eventId != eventId) continue;
        auto eventName = VuderuAdEvent::adEventEnumToString(eventId);
        for (auto& url : tracked.urls(*vast)) {
            VuderuLog(tracked.message, url);
            VuderuAdAction::asyncNotifyAdStateCompletedWithLogGuidForEventAsFireForget(url, std::nullopt, eventName, false);
        }
    }
}

void VuderuEventController::logEvent(const Split& split, const IVuderuEventControllerHandlerPtr& handler, Value::Dictionary& params) {
    auto unit = handler->activeAdUnit();
    if (unit && unit->combinable() && split.eventId == kRendered) return logCombinableRendered(split, handler, params);
    std::int64_t sessionId = fieldNumber("sid");
    auto log = adLogFor(adFrame_->adLogGUID(), sessionId);
    auto adEvent = std::make_shared<VuderuAdEvent>(split.eventId, split.eventString, split.pairs, fieldNumber("so"));
    if (split.eventId == kRequested || split.eventId == kFilled || split.eventId == kUnfilled) {
        adEvent->setToBeSent(true);
        log->setSessionId(sessionId);
    }
    adEvent_ = adEvent;
    log->logAdEvent(adEvent);
    AdLogManager::instance()->storeAdLog(log);
}

void VuderuEventController::logCombinableRendered(const Split& split, const IVuderuEventControllerHandlerPtr& handler,
                                                  Value::Dictionary& params) {
    auto active = handler->activeAdUnit();
    for (auto& unit : handler->allAdUnitsList()) {
        auto frame = unit ? unit->curAdFrame() : nullptr;
        if (!frame) continue;
        auto log = adLogFor(frame->adLogGUID(), fieldNumber("sid"));
        auto adEvent = std::make_shared<VuderuAdEvent>(kRendered, split.eventString, split.pairs, fieldNumber("so"));
        adEvent->setToBeSent(true);
        if (unit == active) {
            adEvent_ = adEvent;
        } else if (auto callback = callbackFor(frame, split.name);
                   callback && static_cast<std::size_t>(curActionIndex_) < callback->actions().size()) {
            std::int32_t result = VuderuAdAction::kUnknown;
            VuderuAdAction::executeActionFromAdEventForCombinableAdUnitWithResultActionParams(
                callback->actions()[static_cast<std::size_t>(curActionIndex_)], adEvent, unit, &result, params);
        }
        log->logAdEvent(adEvent);
        AdLogManager::instance()->storeAdLog(log);
    }
}

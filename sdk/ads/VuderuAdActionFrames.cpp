// The actions that move the view between frames and ads: nextFrame, nextAdUnit, closeAd,
// loadAdComponents.

#include "sdk/ads/VuderuAdActionCall.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/analytics/VuderuLog.h"

#include <cctype>
#include <charconv>

namespace {

constexpr std::int32_t kNotificationRendered = 3;
constexpr std::int64_t kNextAdRendered = 3;
constexpr std::int64_t kNextAdNotRendered = 2;
constexpr std::int32_t kDefaultMinimumUnits = 1;
constexpr std::int32_t kDefaultMaximumUnits = 10;

std::string formatOf(const VuderuAdFramePtr& frame) {
    return frame && frame->adSpaceLayout() ? frame->adSpaceLayout()->format() : std::string();
}

// The frame the offset names, moving the unit's cursor; nil for an offset that is no frame.
VuderuAdFramePtr frameAtOffset(const VuderuAdUnitPtr& unit, const std::string& offset) {
    if (!unit) return nullptr;
    if (offset == "next") return unit->nextAdFrame();
    if (offset == "previous") return unit->prevAdFrame();
    auto index = VuderuAdActionSteps::wholeInteger(offset);
    if (!index || *index < INT32_MIN || *index > INT32_MAX) return nullptr;
    return unit->gotoAdFrame(static_cast<std::int32_t>(*index));
}

// A positive whole count from the event's parameters; absent gives the fallback.
std::optional<std::int32_t> componentCount(const VuderuAdEventPtr& event, const std::string& key, std::int32_t fallback) {
    auto params = event ? event->paramMap() : nullptr;
    if (!params || !params->count(key)) return fallback;
    auto value = VuderuAdActionSteps::wholeInteger(params->at(key));
    if (!value || *value < 1 || *value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

} // namespace

namespace VuderuAdActionSteps {

std::optional<std::int64_t> wholeInteger(const std::string& text) {
    std::int64_t value = 0;
    const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::int64_t> leadingInteger(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    if (at < text.size() && text[at] == '+') ++at;
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (error != std::errc()) return std::nullopt;
    return value;
}

void nextFrame(const VuderuAdActionCall& call) {
    auto offset = call.templateParameter("offset");
    if (!offset || !call.handler) return call.fail();
    if (auto delayText = call.templateParameter("delay")) {
        auto delay = wholeInteger(*delayText);
        if (!delay || *delay <= 0) return call.fail();
        std::string mutableOffset = *offset;
        call.handler->loadAdFrameWithDelayFrameOffset(*delay, mutableOffset);
        return;
    }
    if (*offset == "current") {
        call.handler->resumeFrame();
        return call.ok();
    }
    // The frame shown before the unit's cursor moves.
    bool fromBanner = formatOf(call.handler->adFrame()) == "banner";
    auto frame = frameAtOffset(call.handler->activeAdUnit(), *offset);
    if (!frame) return call.fail();
    if (fromBanner && !call.handler->isShownModallyForViewController() && formatOf(frame) == "takeover") {
        if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceWillExpand(call.space());
    }
    NSErrorPtr error;
    if (!call.handler->loadAdFrameError(frame, &error) && error)
        VuderuLog("Error loading ad frame on delay [%@]", error->localizedDescription());
    call.ok();
}

void nextAdUnit(const VuderuAdActionCall& call) {
    if (!call.handler) return call.fail();
    auto& handler = *call.handler;
    auto delayText = call.templateParameter("delay");
    std::int64_t delay = delayText ? leadingInteger(*delayText).value_or(-1) : -1;
    auto manager = VuderuAdManager::instance();
    auto current = handler.adFrame();
    if (handler.isShownModallyForViewController() && delay <= 0 && handler.adRendered() && current && current->adSpaceLayout() &&
        current->adSpaceLayout()->isTakeover()) {
        manager->deRegisterAdForSpace(call.space());
        return call.ok();
    }
    if (delayText) {
        if (delay <= 0) return call.fail();
        manager->delayNewAdForSpaceGuidViewContainerDelay(call.space(), call.activeFrameGuid(), handler.parentViewContainer(), delay);
        return call.ok();
    }
    std::optional<std::int64_t> maxAds;
    if (auto shared = call.params.find("maxAds"); shared != call.params.end()) {
        maxAds = shared->second.integerValue();
    } else if (auto text = call.templateParameter("maxAds")) {
        maxAds = leadingInteger(*text);
    }
    if (!maxAds || *maxAds <= 0) return call.fail();
    call.params["maxAds"] = Value(static_cast<long long>(*maxAds - 1));
    bool rendered = handler.adRendered();
    if (rendered) handler.setNotificationFlag(kNotificationRendered);
    std::int64_t notification = rendered ? kNextAdRendered : kNextAdNotRendered;
    auto next = handler.displayWhenReady()
                    ? manager->showNewAdForSpaceViewContainerTimeout(call.space(), handler.parentViewContainer(), notification)
                    : manager->prepareAdForSpaceViewContainerNotification(call.space(), handler.parentViewContainer(), notification);
    if (rendered && formatOf(current) == "takeover" && !handler.isShownModallyForViewController()) {
        bool nextIsBanner = next && formatOf(next->adFrame()) == "banner";
        auto unit = handler.activeAdUnit();
        bool firstIsBanner = unit && !unit->adFrames().empty() && formatOf(unit->adFrames().front()) == "banner";
        if (nextIsBanner || firstIsBanner) call.params["callback"] = "willCollapse";
    }
    call.ok();
}

void closeAd(const VuderuAdActionCall& call) {
    auto callback = call.params.find("callback");
    bool collapse = callback != call.params.end() && callback->second.stringValue() == "willCollapse";
    auto delegate = VuderuAds::getAdDelegate();
    if (collapse && delegate) delegate->spaceWillCollapse(call.space());
    VuderuAdManager::instance()->deRegisterAdForSpace(call.space());
    if (collapse && delegate) delegate->spaceDidCollapse(call.space());
    call.ok();
}

void loadAdComponents(const VuderuAdActionCall& call) {
    if (!call.handler) return call.fail();
    call.handler->setIsLoadingAdComponents(true);
    auto minimum = componentCount(call.event, "min", kDefaultMinimumUnits);
    auto maximum = componentCount(call.event, "max", kDefaultMaximumUnits);
    if (!minimum || !maximum) return call.fail();
    if (call.handler->appendAdUnitsMaximum(*minimum, *maximum)) return call.ok();
    VuderuLog("Not enough adUnits to show an offerwall");
    call.fail();
}

} // namespace VuderuAdActionSteps

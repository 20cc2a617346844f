// The frequency-cap actions: whether a cap is exhausted (run as its own event) and counting a
// view.

#include "sdk/ads/VuderuAdActionCall.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuEventController.h"
#include "sdk/ads/VuderuFreqCapInfo.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

constexpr std::int32_t kCapExhausted = 27;
constexpr std::int32_t kCapNotExhausted = 28;
constexpr const char* kCheckCapLocation = "+[VuderuAdAction executeAction:fromAdEvent:forEventHandler:withResultAction:params:]";

std::int32_t capEvent(const std::string& idHash) {
    auto info = VuderuFreqCapManager::getFreqCapInfo(idHash);
    if (!info) return kCapNotExhausted;
    if (VuderuFreqCapManager::hasFrequencyCapExpired(info->expirationTime)) {
        VuderuFreqCapManager::removeFreqCapInfo(idHash);
        return kCapNotExhausted;
    }
    if (info->views < info->newCap) return kCapNotExhausted;
    VuderuLog("VuderuAdAction: attempt to check cap for capped object: %@", info->description());
    return kCapExhausted;
}

} // namespace

namespace VuderuAdActionSteps {

void checkCap(const VuderuAdActionCall& call) {
    auto idHash = call.templateParameter("idHash");
    if (!idHash) return call.fail();
    auto eventName = VuderuAdEvent::adEventEnumToString(capEvent(*idHash));
    auto controller = std::make_shared<VuderuEventController>();
    VuderuAdAction::Params params{{"maxAds", Value(static_cast<unsigned long>(VuderuAdManager::instance()->adUnitCountForSpace(call.space())))}};
    VuderuUtil::incrementCounterLocationName(eventName, kCheckCapLocation);
    auto unit = call.handler ? call.handler->activeAdUnit() : nullptr;
    auto frame = unit ? unit->curAdFrame() : nullptr;
    std::int32_t resultAction = VuderuAdAction::kUnknown;
    while (controller->processEventForEventHandlerCurrentFrameWithResultActionParams(eventName, call.handler, frame, &resultAction, params)) {
        auto status = params.count("status") ? params.at("status").stringValue() : std::string();
        VuderuLog("Result Action %@ with Param Status %@ with Params %@", VuderuAdAction::adActionEnumToString(resultAction), status,
                  Value(params));
    }
    call.ok();
}

void updateViewCount(const VuderuAdActionCall& call) {
    auto idHash = call.templateParameter("idHash");
    if (!idHash) return call.fail();
    call.ok();
    auto info = VuderuFreqCapManager::getFreqCapInfo(*idHash);
    if (!info) return;
    info->views += 1;
    if (info->views >= info->newCap) {
        auto manager = VuderuAdManager::instance();
        if (auto pending = manager->fetchPendingAdForSpace(call.space())) manager->removePendingAd(pending);
        VuderuAdCache::removeAdUnitsForSpace(call.space());
    }
    if (info->views > info->newCap) VuderuLog("VuderuAdAction: !! rendering a capped object: %@", info->description());
}

} // namespace VuderuAdActionSteps

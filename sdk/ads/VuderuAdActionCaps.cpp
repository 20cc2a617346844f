// The frequency-cap actions: whether a cap is exhausted (run as its own event) and counting a
// view.

#include "sdk/ads/VuderuAdActionCall.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuEventController.h"
#include "sdk/ads/VuderuFreqCapManager.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

constexpr const char* kCheckCapLocation = "+[VuderuAdAction executeAction:fromAdEvent:forEventHandler:withResultAction:params:]";

} // namespace

namespace VuderuAdActionSteps {

void checkCap(const VuderuAdActionCall& call) {
    auto idHash = call.templateParameter("idHash");
    if (!idHash) return call.fail();
    auto eventName = VuderuAdEvent::adEventEnumToString(VuderuFreqCapManager::checkCap(*idHash));
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
    VuderuFreqCapManager::updateViewCount(*idHash, call.space());
}

} // namespace VuderuAdActionSteps

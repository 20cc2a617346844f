#include "sdk/ads/VuderuAdEvent.h"

#include "platform/foundation/NSString.h"

const std::vector<std::string>& VuderuAdEvent::adEventArrayInstance() {
    static const std::vector<std::string> names{
        "unknown", "requested", "requestAdComponents", "filled", "unfilled", "rendered", "renderFailed", "clicked", "videoStart",
        "videoCompleted", "videoProgressed", "sentToUrl", "asyncNotification", "urlVerified", "urlNotVerified", "launchUrlFailed",
        "userConfirmed", "userCanceled", "adWillClose", "adClosed", "expand", "collapse", "open", "eventListenerAdded",
        "filledFromServer", "filledFromCache", "didCompleteFullLoad", "capExhausted", "capNotExhausted", "loadingVideoClosed",
        "videoFirstQuartile", "videoMidpoint", "videoThirdQuartile", "videoClicked", "sendUrlStatusResult", "prepared"};
    return names;
}

const std::string& VuderuAdEvent::adEventEnumToString(std::int32_t eventId) { return adEventArrayInstance().at(eventId); }

std::int32_t VuderuAdEvent::adEventStringToEnum(const std::optional<std::string>& name) {
    if (!name) return kUnknown;
    const auto& names = adEventArrayInstance();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == *name) return static_cast<std::int32_t>(i);
    }
    return kUnknown;
}

VuderuAdEvent::VuderuAdEvent(std::int32_t eventId, std::optional<std::string> eventName, std::shared_ptr<ParamMap> paramsMap,
                             std::int64_t timeOffset)
    : eventId_(eventId), sessionStartTimeOffset_(timeOffset), paramMap_(std::move(paramsMap)) {
    if (eventId == kUnknown) storedName_ = std::move(eventName);
}

std::string VuderuAdEvent::eventName() const {
    if (eventId_ == kUnknown && storedName_) return *storedName_;
    return adEventEnumToString(eventId_);
}

void VuderuAdEvent::addParams(const std::shared_ptr<ParamMap>& params) {
    if (!params) return;
    if (!paramMap_) {
        paramMap_ = params;
        return;
    }
    for (const auto& [key, value] : *params) (*paramMap_)[key] = value;
}

bool VuderuAdEvent::compareWithAdEvent(const VuderuAdEvent& other) const {
    if (eventId_ != other.eventId_ || sessionStartTimeOffset_ != other.sessionStartTimeOffset_) return false;
    return eventId_ != kUnknown || storedName_ == other.storedName_;
}

std::string VuderuAdEvent::description() const {
    return NSString::stringWithFormat("    ** [%@ %@(%d), T:%llu] %@", NSObject::description(), eventName(), eventId_,
                                      static_cast<unsigned long long>(sessionStartTimeOffset_), toBeSent_ ? "" : "SKIPPED");
}

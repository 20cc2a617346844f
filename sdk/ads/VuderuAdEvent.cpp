#include "sdk/ads/VuderuAdEvent.h"

#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "sdk/analytics/VuderuLog.h"

#include <mutex>

namespace {

constexpr const char* kEventIdKey = "eventId";
constexpr const char* kEventNameKey = "eventName";
constexpr const char* kOffsetKey = "sessionStartTimeOffset";
constexpr const char* kParamMapKey = "paramMap";
constexpr const char* kToBeSentKey = "toBeSent";

} // namespace

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

namespace {

std::size_t paramBytes(const VuderuAdEvent::ParamMap& params) {
    std::size_t bytes = 0;
    for (const auto& [key, value] : params) bytes += key.size() + value.size();
    return bytes;
}

void reportDroppedParams(const std::string& eventName) {
    VuderuLog("VuderuAdEvent: parameters of event %@ past %lu bytes are dropped", eventName,
              static_cast<unsigned long>(VuderuAdEvent::kMaximumBytes));
}

} // namespace

VuderuAdEvent::VuderuAdEvent(std::int32_t eventId, std::optional<std::string> eventName, std::shared_ptr<ParamMap> paramsMap,
                             std::int64_t timeOffset)
    : eventId_(eventId), sessionStartTimeOffset_(timeOffset) {
    if (eventId == kUnknown) storedName_ = std::move(eventName);
    if (paramsMap && fitsWithinBound(*paramsMap)) {
        paramMap_ = std::move(paramsMap);
    } else if (paramsMap) {
        paramMap_ = std::make_shared<ParamMap>();
        addParams(paramsMap);
    }
}

namespace {
// The bytes of an event's name for its bound; an id the vocabulary does not know (a newer
// server's) counts its stored name, or nothing, instead of failing the count.
std::size_t adEventNameBytes(std::int32_t eventId, const std::optional<std::string>& storedName) {
    const auto& names = VuderuAdEvent::adEventArrayInstance();
    if (eventId >= 0 && static_cast<std::size_t>(eventId) < names.size() && !(eventId == 0 && storedName)) return names[eventId].size();
    return storedName ? storedName->size() : 0;
}
} // namespace

bool VuderuAdEvent::fitsWithinBound(const ParamMap& params) const {
    return adEventNameBytes(eventId_, storedName_) + paramBytes(params) <= kMaximumBytes;
}

std::size_t VuderuAdEvent::byteSize() const { return adEventNameBytes(eventId_, storedName_) + (paramMap_ ? paramBytes(*paramMap_) : 0); }

std::string VuderuAdEvent::eventName() const {
    if (eventId_ == kUnknown && storedName_) return *storedName_;
    return adEventEnumToString(eventId_);
}

void VuderuAdEvent::addParams(const std::shared_ptr<ParamMap>& params) {
    if (!params) return;
    if (!paramMap_) paramMap_ = std::make_shared<ParamMap>();
    // A pair that would take the event past its bound stays out; the others still come in.
    std::size_t bytes = byteSize();
    bool dropped = false;
    for (const auto& [key, value] : *params) {
        auto existing = paramMap_->find(key);
        const std::size_t without = existing == paramMap_->end() ? bytes : bytes - key.size() - existing->second.size();
        if (without + key.size() + value.size() > kMaximumBytes) {
            dropped = true;
            continue;
        }
        (*paramMap_)[key] = value;
        bytes = without + key.size() + value.size();
    }
    if (dropped) reportDroppedParams(eventName());
}

bool VuderuAdEvent::compareWithAdEvent(const VuderuAdEvent& other) const {
    if (eventId_ != other.eventId_ || sessionStartTimeOffset_ != other.sessionStartTimeOffset_) return false;
    return eventId_ != kUnknown || storedName_ == other.storedName_;
}

std::string VuderuAdEvent::description() const {
    return NSString::stringWithFormat("    ** [%@ %@(%d), T:%llu] %@", NSObject::description(), eventName(), eventId_,
                                      static_cast<unsigned long long>(sessionStartTimeOffset_), toBeSent_ ? "" : "SKIPPED");
}

void VuderuAdEvent::encodeWithCoder(NSCoder& coder) const {
    coder.encodeInt32ForKey(eventId_, kEventIdKey);
    coder.encodeObjectForKey(storedName_ ? Value(*storedName_) : Value(), kEventNameKey);
    coder.encodeInt64ForKey(sessionStartTimeOffset_, kOffsetKey);
    Value params;
    if (paramMap_) {
        Value::Dictionary entries;
        for (const auto& [key, value] : *paramMap_) entries.emplace(key, Value(value));
        params = Value(std::move(entries));
    }
    coder.encodeObjectForKey(params, kParamMapKey);
    coder.encodeBoolForKey(toBeSent_, kToBeSentKey);
}

std::shared_ptr<VuderuAdEvent> VuderuAdEvent::initWithCoder(const NSCoder& coder) {
    Value name = coder.decodeObjectForKey(kEventNameKey);
    Value params = coder.decodeObjectForKey(kParamMapKey);
    std::shared_ptr<ParamMap> paramMap;
    if (params.isDictionary()) {
        paramMap = std::make_shared<ParamMap>();
        for (const auto& [key, value] : params.dictionary()) (*paramMap)[key] = value.stringValue();
    }
    std::int32_t eventId = coder.decodeInt32ForKey(kEventIdKey);
    // An id outside the table reads as an unknown event rather than failing every lookup of its name.
    if (eventId < 0 || static_cast<std::size_t>(eventId) >= adEventArrayInstance().size()) eventId = kUnknown;
    auto event = std::make_shared<VuderuAdEvent>(eventId,
                                                 name.isString() ? std::optional(name.string()) : std::nullopt, std::move(paramMap),
                                                 coder.decodeInt64ForKey(kOffsetKey));
    event->toBeSent_ = coder.decodeBoolForKey(kToBeSentKey);
    return event;
}

void VuderuAdEvent::registerForCoding() {
    static std::once_flag once;
    std::call_once(once, [] {
        NSKeyedUnarchiver::registerClass("VuderuAdEvent", [](const NSCoder& coder) -> std::shared_ptr<NSObject> { return initWithCoder(coder); });
    });
}

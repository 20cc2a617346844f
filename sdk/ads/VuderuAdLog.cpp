#include "sdk/ads/VuderuAdLog.h"

#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuFieldLookup.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <atomic>
#include <cstdlib>
#include <stdexcept>

namespace {

std::atomic<std::int64_t> nextAdLogId{1};

constexpr const char* kSessionIdKey = "sessionId";
constexpr const char* kRequestedSessionIdKey = "requestedSessionId";
constexpr const char* kGUIDKey = "GUID";
constexpr const char* kAdEventsKey = "adEvents";
constexpr const char* kTransmittedEventsKey = "transmittedEvents";

constexpr const char* kClicked = "clicked";
// Events an ad should raise once; a second sendable one in a transfer is reported.
constexpr const char* kOnceOnlyEvents[] = {"rendered", "requested", "renderFailed", "filled", "unfilled", "adClosed", "videoCompleted", "videoStart"};

// The event's name, or "" for an id outside the vocabulary (which a caller should never make).
std::string nameOf(const VuderuAdEvent& event) {
    try {
        return event.eventName();
    } catch (const std::out_of_range&) {
        return {};
    }
}

std::int64_t templateNumber(std::int32_t field) {
    auto text = VuderuFieldLookup::getStringValueForFieldTypeEncodeForUrl(field, false);
    return text ? std::strtoll(text->c_str(), nullptr, 10) : 0;
}

Value archivedList(const VuderuAdLog::EventList& events) {
    Value::Array items;
    for (const auto& event : events) items.emplace_back(event);
    return Value(std::move(items));
}

VuderuAdLog::EventList decodedList(const Value& value) {
    VuderuAdLog::EventList events;
    if (!value.isArray()) return events;
    for (const auto& item : value.array()) {
        if (auto event = item.objectAs<VuderuAdEvent>()) events.push_back(event);
    }
    return events;
}

std::string adLogListText(const VuderuAdLog::EventList& events) {
    std::string text;
    for (const auto& event : events) text += "\n" + event->description();
    return text;
}

} // namespace

VuderuAdLog::VuderuAdLog(std::int64_t sessionId, std::optional<std::string> guid)
    : sessionId_(sessionId), requestedSessionId_(sessionId), adLogId_(nextAdLogId++), GUID_(std::move(guid)) {}

VuderuAdLog::VuderuAdLog(Restored, std::int64_t sessionId, std::int64_t requestedSessionId, std::optional<std::string> guid)
    : sessionId_(sessionId), requestedSessionId_(requestedSessionId), GUID_(std::move(guid)) {}

VuderuAdLogPtr VuderuAdLog::adLogWithAdEventId(std::int32_t eventId, std::optional<std::string> guid) {
    auto log = std::make_shared<VuderuAdLog>(templateNumber(VuderuFieldLookup::kSessionId), std::move(guid));
    auto event = std::make_shared<VuderuAdEvent>(eventId, std::nullopt, nullptr, templateNumber(VuderuFieldLookup::kSessionOffset));
    event->setToBeSent(true);
    log->logAdEvent(event);
    return log;
}

std::int64_t VuderuAdLog::sessionId() const {
    MutexLock guard(lock_);
    return sessionId_;
}

void VuderuAdLog::setSessionId(std::int64_t value) {
    MutexLock guard(lock_);
    sessionId_ = value;
}

VuderuAdLog::EventList VuderuAdLog::adEvents() const {
    MutexLock guard(lock_);
    return adEvents_;
}

VuderuAdLog::TransferMap VuderuAdLog::transmittedEvents() const {
    MutexLock guard(lock_);
    return transmittedEvents_;
}

void VuderuAdLog::logAdEvent(const VuderuAdEventPtr& event) {
    if (!event) return;
    {
        MutexLock guard(lock_);
        std::size_t held = adEvents_.size();
        std::size_t bytes = event->byteSize();
        for (const auto& pending : adEvents_) bytes += pending->byteSize();
        for (const auto& [identifier, events] : transmittedEvents_) {
            held += events.size();
            for (const auto& sent : events) bytes += sent->byteSize();
        }
        // Only an unknown event's own name can take it past its bound: it is no event to keep.
        if (held >= kMaximumEvents || bytes > kMaximumBytes || event->byteSize() > VuderuAdEvent::kMaximumBytes) {
            if (!reportedFull_)
                VuderuLogAbove(0, "VuderuAdLog: the log of %@ holds %d events or %lu bytes; later events are dropped",
                               GUID_.value_or("(null)"), static_cast<int>(kMaximumEvents), static_cast<unsigned long>(kMaximumBytes));
            reportedFull_ = true;
            return;
        }
        adEvents_.push_back(event);
    }
    if (VuderuUtil::logLevel() >= 2) VuderuLog("******* logAdEvent: %@\n %@\n********************", event, description());
}

std::optional<VuderuAdLog::EventList> VuderuAdLog::eventsWithTransferIdentifier(const std::string& identifier) const {
    MutexLock guard(lock_);
    auto found = transmittedEvents_.find(identifier);
    if (found == transmittedEvents_.end()) return std::nullopt;
    return found->second;
}

void VuderuAdLog::scrubPendingEvents() {
    bool clickedKept = false;
    std::erase_if(adEvents_, [&](const VuderuAdEventPtr& event) {
        if (!event->toBeSent() || nameOf(*event) != kClicked) return false;
        if (!clickedKept) {
            clickedKept = true;
            return false;
        }
        return true;
    });
    if (VuderuUtil::logLevel() < 2) return;
    for (const char* name : kOnceOnlyEvents) {
        int count = 0;
        for (const auto& event : adEvents_) {
            if (event->toBeSent() && nameOf(*event) == name && ++count > 1) {
                VuderuLog("Found duplicate %@ event in adlog %@", std::string(name), describe());
            }
        }
    }
}

void VuderuAdLog::pushEventsForTransferWithIdentifier(const std::optional<std::string>& identifier) {
    if (!identifier) return;
    MutexLock guard(lock_);
    scrubPendingEvents();
    transmittedEvents_[*identifier] = std::move(adEvents_);
    adEvents_.clear();
}

bool VuderuAdLog::restoreEventsWithTransferIdentifier(const std::string& identifier) {
    MutexLock guard(lock_);
    auto found = transmittedEvents_.find(identifier);
    if (found == transmittedEvents_.end()) return false;
    adEvents_.insert(adEvents_.begin(), found->second.begin(), found->second.end());
    transmittedEvents_.erase(found);
    return true;
}

bool VuderuAdLog::discardEventsWithTransferIdentifier(const std::optional<std::string>& identifier) {
    if (!identifier) return false;
    MutexLock guard(lock_);
    return transmittedEvents_.erase(*identifier) > 0;
}

void VuderuAdLog::storeTransferIdentifiersInSet(std::set<std::string>& identifiers) const {
    MutexLock guard(lock_);
    for (const auto& entry : transmittedEvents_) identifiers.insert(entry.first);
}

bool VuderuAdLog::isComplete() const {
    bool zeroEventsLeft, zeroTransferredEventsLeft;
    {
        MutexLock guard(lock_);
        zeroEventsLeft = adEvents_.empty();
        zeroTransferredEventsLeft = transmittedEvents_.empty();
    }
    const std::string guid = GUID_.value_or("");
    const bool notActive = !VuderuAdManager::instance()->isGuidActive(guid);
    const bool noUnitInCache = !VuderuAdCache::adUnitForGuid(guid);
    // Dropping a log drops whatever it still holds: events not yet sent, or sent in a transfer not
    // yet confirmed, keep it.
    const bool complete = zeroEventsLeft && zeroTransferredEventsLeft && notActive && noUnitInCache;
    if (complete) {
        VuderuLog("AdLogManager: adLog is complete for GUID %@", GUID_.value_or("(null)"));
    } else {
        VuderuLog("AdLogManager: adLog is NOT complete for GUID %@, zeroEventsLeft(%d), zeroTransferredEventsLeft(%d) logGUIDNotActive(%d), "
                  "noUnitInCacheForGUID(%d)",
                  GUID_.value_or("(null)"), zeroEventsLeft ? 1 : 0, zeroTransferredEventsLeft ? 1 : 0, notActive ? 1 : 0, noUnitInCache ? 1 : 0);
    }
    return complete;
}

VuderuAdLogPtr VuderuAdLog::copy() const {
    MutexLock guard(lock_);
    auto copy = std::shared_ptr<VuderuAdLog>(new VuderuAdLog(Restored{}, sessionId_, requestedSessionId_, GUID_));
    // The copy is not shared yet; its lock is taken for the analysis' sake.
    MutexLock copyGuard(copy->lock_);
    copy->adEvents_ = adEvents_;
    copy->transmittedEvents_ = transmittedEvents_;
    return copy;
}

std::string VuderuAdLog::description() const {
    MutexLock guard(lock_);
    return describe();
}

std::string VuderuAdLog::describe() const {
    std::string transmitted;
    for (const auto& [identifier, events] : transmittedEvents_) transmitted += "\n" + identifier + ":" + adLogListText(events);
    return NSString::stringWithFormat("** %@ [S:%llu, RS:%llu ID:%llu, GUID %@, {%@} transmitted {%@} ]**", NSObject::description(),
                                      static_cast<unsigned long long>(sessionId_), static_cast<unsigned long long>(requestedSessionId_),
                                      static_cast<unsigned long long>(adLogId_), GUID_.value_or("(null)"), adLogListText(adEvents_), transmitted);
}

void VuderuAdLog::encodeWithCoder(NSCoder& coder) const {
    MutexLock guard(lock_);
    coder.encodeInt64ForKey(sessionId_, kSessionIdKey);
    coder.encodeInt64ForKey(requestedSessionId_, kRequestedSessionIdKey);
    coder.encodeObjectForKey(GUID_ ? Value(*GUID_) : Value(), kGUIDKey);
    coder.encodeObjectForKey(archivedList(adEvents_), kAdEventsKey);
    Value::Dictionary transfers;
    for (const auto& [identifier, events] : transmittedEvents_) transfers.emplace(identifier, archivedList(events));
    coder.encodeObjectForKey(Value(std::move(transfers)), kTransmittedEventsKey);
}

VuderuAdLogPtr VuderuAdLog::initWithCoder(const NSCoder& coder) {
    Value guid = coder.decodeObjectForKey(kGUIDKey);
    auto log = std::shared_ptr<VuderuAdLog>(new VuderuAdLog(Restored{}, coder.decodeInt64ForKey(kSessionIdKey),
                                                            coder.decodeInt64ForKey(kRequestedSessionIdKey),
                                                            guid.isString() ? std::optional(guid.string()) : std::nullopt));
    Value transfers = coder.decodeObjectForKey(kTransmittedEventsKey);
    MutexLock guard(log->lock_);
    log->adEvents_ = decodedList(coder.decodeObjectForKey(kAdEventsKey));
    if (transfers.isDictionary()) {
        for (const auto& [identifier, events] : transfers.dictionary()) log->transmittedEvents_[identifier] = decodedList(events);
    }
    return log;
}

void VuderuAdLog::registerForCoding() {
    VuderuAdEvent::registerForCoding();
    static std::once_flag once;
    std::call_once(once, [] {
        NSKeyedUnarchiver::registerClass("VuderuAdLog", [](const NSCoder& coder) -> std::shared_ptr<NSObject> { return initWithCoder(coder); });
    });
}

#include "sdk/ads/VuderuAdLog.h"

#include "platform/foundation/NSString.h"
#include "sdk/analytics/VuderuLog.h"

#include <atomic>

namespace {

std::atomic<std::int64_t> nextAdLogId{1};

} // namespace

VuderuAdLog::VuderuAdLog(std::int64_t sessionId, std::optional<std::string> guid)
    : sessionId_(sessionId), requestedSessionId_(sessionId), adLogId_(nextAdLogId++), GUID_(std::move(guid)) {}

void VuderuAdLog::logAdEvent(const VuderuAdEventPtr& event) {
    if (!event) return;
    adEvents_.push_back(event);
    VuderuLog("******* logAdEvent: %@\n %@\n********************", event, description());
}

const VuderuAdLog::EventList* VuderuAdLog::eventsWithTransferIdentifier(const std::string& identifier) const {
    auto found = transmittedEvents_.find(identifier);
    return found == transmittedEvents_.end() ? nullptr : &found->second;
}

void VuderuAdLog::pushEventsForTransferWithIdentifier(const std::string& identifier) {
    transmittedEvents_[identifier] = std::move(adEvents_);
    adEvents_.clear();
}

bool VuderuAdLog::discardEventsWithTransferIdentifier(const std::string& identifier) { return transmittedEvents_.erase(identifier) > 0; }

std::string VuderuAdLog::description() const {
    auto listText = [](const EventList& events) {
        std::string text;
        for (const auto& event : events) text += "\n" + event->description();
        return text;
    };
    std::string transmitted;
    for (const auto& [identifier, events] : transmittedEvents_) transmitted += "\n" + identifier + ":" + listText(events);
    return NSString::stringWithFormat("** %@ [S:%llu, RS:%llu ID:%llu, GUID %@, {%@} transmitted {%@} ]**", NSObject::description(),
                                      static_cast<unsigned long long>(sessionId_), static_cast<unsigned long long>(requestedSessionId_),
                                      static_cast<unsigned long long>(adLogId_), GUID_.value_or("(null)"), listText(adEvents_), transmitted);
}

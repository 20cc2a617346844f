#pragma once
// Every event of one ad-log GUID: the events not yet assigned to a transfer and, per transfer
// still awaiting the server's confirmation, the events it carries.

#include "sdk/ads/VuderuAdEvent.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuAdLog;
using VuderuAdLogPtr = std::shared_ptr<VuderuAdLog>;

class VuderuAdLog : public NSObject {
public:
    using EventList = std::vector<VuderuAdEventPtr>;

    // Both session fields take the id; adLogId comes from the process-wide counter (from 1).
    VuderuAdLog(std::int64_t sessionId, std::optional<std::string> guid);

    std::int64_t sessionId() const { return sessionId_; }
    void setSessionId(std::int64_t value) { sessionId_ = value; }
    std::int64_t requestedSessionId() const { return requestedSessionId_; }
    std::int64_t adLogId() const { return adLogId_; }
    const std::optional<std::string>& GUID() const { return GUID_; }
    void setGUID(std::optional<std::string> value) { GUID_ = std::move(value); }
    const EventList& adEvents() const { return adEvents_; }
    const std::map<std::string, EventList>& transmittedEvents() const { return transmittedEvents_; }

    // Appends the event; nil is ignored.
    void logAdEvent(const VuderuAdEventPtr& event);
    // The events stored for the transfer, or nil.
    const EventList* eventsWithTransferIdentifier(const std::string& identifier) const;
    // Moves the pending events into the transfer's entry (replacing one under the same identifier).
    void pushEventsForTransferWithIdentifier(const std::string& identifier);
    bool discardEventsWithTransferIdentifier(const std::string& identifier);
    std::string description() const override;

private:
    std::int64_t sessionId_ = 0;
    std::int64_t requestedSessionId_ = 0;
    std::int64_t adLogId_ = 0;
    std::optional<std::string> GUID_;
    EventList adEvents_;
    std::map<std::string, EventList> transmittedEvents_;
};

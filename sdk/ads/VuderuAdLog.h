#pragma once
// Every event of one ad-log GUID: the events not yet assigned to a transfer and, per transfer
// still awaiting the server's confirmation, the events it carries. Archived with keyed coding
// (the serial adLogId is not: a decoded log, like a copy, has 0).
//
// The event controller appends on the main thread while the ad-log manager pushes and copies on
// other threads: each log guards its own lists, and every list it hands out is a snapshot.

#include "sdk/ads/VuderuAdEvent.h"
#include "platform/foundation/ThreadSafety.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class VuderuAdLog;
using VuderuAdLogPtr = std::shared_ptr<VuderuAdLog>;

class VuderuAdLog : public NSObject, public NSCoding {
public:
    using EventList = std::vector<VuderuAdEventPtr>;
    using TransferMap = std::map<std::string, EventList>;

    // Both session fields take the id; adLogId comes from the process-wide counter (from 1).
    VuderuAdLog(std::int64_t sessionId, std::optional<std::string> guid);
    // A log of the current session ("sid") holding one sendable event of that id, at offset "so";
    // for the manager's storeAdLog.
    static VuderuAdLogPtr adLogWithAdEventId(std::int32_t eventId, std::optional<std::string> guid);

    std::int64_t sessionId() const;
    void setSessionId(std::int64_t value);
    std::int64_t requestedSessionId() const { return requestedSessionId_; }
    std::int64_t adLogId() const { return adLogId_; }
    const std::optional<std::string>& GUID() const { return GUID_; }
    void setGUID(std::optional<std::string> value) { GUID_ = std::move(value); }
    // The pending events, in arrival order.
    EventList adEvents() const;
    TransferMap transmittedEvents() const;

    // Events one GUID may hold, pending and awaiting confirmation together: an ad whose actions
    // the server scripts to repeat keeps its log, and the archive, within bounds.
    static constexpr std::size_t kMaximumEvents = 200;
    // Bytes of the events' names and parameters one GUID may hold, as counted by the events.
    static constexpr std::size_t kMaximumBytes = 256 * 1024;
    // Appends the event; nil is ignored, and so is an event past kMaximumEvents or kMaximumBytes
    // (logged once), or one past its own bound.
    void logAdEvent(const VuderuAdEventPtr& event);
    // The events stored for the transfer, or nil.
    std::optional<EventList> eventsWithTransferIdentifier(const std::string& identifier) const;
    // Keeps one sendable "clicked" among the pending events, then moves them into the transfer's
    // entry (replacing one under the same identifier).
    void pushEventsForTransferWithIdentifier(const std::optional<std::string>& identifier);
    // Puts a transfer's events back in front of the pending ones and drops its entry: for a
    // transfer that never became an upload. NO when there is no such entry.
    bool restoreEventsWithTransferIdentifier(const std::string& identifier);
    bool discardEventsWithTransferIdentifier(const std::optional<std::string>& identifier);
    void storeTransferIdentifiersInSet(std::set<std::string>& identifiers) const;
    // The log may be dropped: no pending events, no pending transfers, its GUID shown by no ad
    // and held by no cached unit.
    bool isComplete() const;

    // Same sessions and GUID, snapshots of both lists; adLogId 0.
    VuderuAdLogPtr copy() const;
    std::string description() const override;

    void encodeWithCoder(NSCoder& coder) const override;
    static VuderuAdLogPtr initWithCoder(const NSCoder& coder);
    // Makes logs and their events decodable; idempotent.
    static void registerForCoding();

private:
    struct Restored {};
    VuderuAdLog(Restored, std::int64_t sessionId, std::int64_t requestedSessionId, std::optional<std::string> guid);
    // Removes every sendable "clicked" after the first; then reports duplicates of the events
    // that should occur once.
    void scrubPendingEvents() TD_REQUIRES(lock_);
    // description() for a caller holding the lock.
    std::string describe() const TD_REQUIRES(lock_);

    mutable Mutex lock_;
    std::int64_t sessionId_ TD_GUARDED_BY(lock_) = 0;
    std::int64_t requestedSessionId_ = 0;
    std::int64_t adLogId_ = 0;
    std::optional<std::string> GUID_;
    EventList adEvents_ TD_GUARDED_BY(lock_);
    TransferMap transmittedEvents_ TD_GUARDED_BY(lock_);
    bool reportedFull_ TD_GUARDED_BY(lock_) = false;
};

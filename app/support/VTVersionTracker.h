#pragma once
// The update tracker: asks the version service of a release channel, at once and then every
// checkInterval seconds on a dispatch timer (on the platform clock), whether a newer release than
// the running app exists, and tells its owner through the handler, on the timer's thread.
//
// States: 0 no check made yet, 1 no newer version known (or the check failed), 2 a newer optional
// version (announced once), 3 a newer mandatory version (announced at every check).

#include "app/support/VTVersion.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSObject.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

enum VTVersionTrackerState : std::int32_t {
    VTVersionTrackerStateUnchecked = 0,
    VTVersionTrackerStateCurrent = 1,
    VTVersionTrackerStateUpdateAvailable = 2,
    VTVersionTrackerStateMandatoryUpdate = 3,
};

class VTVersionTracker : public NSObject {
public:
    using Handler = std::function<void(std::int32_t state, const VTVersionPtr& version)>;
    // Seconds between checks when none (0) is given.
    static constexpr std::uint64_t kDefaultCheckInterval = 1800;

    // Stops any tracker started here before, starts a new one and keeps it (tracker()).
    static bool beginTrackingVersionForChannelServiceBaseUrlTimeIntervalWithHandler(const std::string& channel,
                                                                                    const std::string& baseUrl,
                                                                                    std::uint64_t interval, Handler handler);
    static std::shared_ptr<VTVersionTracker> tracker();

    // A tracker in state 0 with its interval (0 becomes 1800), then started: the first check runs
    // at once on the timer's queue.
    static std::shared_ptr<VTVersionTracker> initWithChannelServiceBaseUrlTimeIntervalAndHandler(const std::string& channel,
                                                                                                 const std::string& baseUrl,
                                                                                                 std::uint64_t interval,
                                                                                                 Handler handler);
    VTVersionTracker(std::string channel, std::string baseUrl, std::uint64_t interval, Handler handler);

    // Stores the interval (0 becomes 1800) and restarts the timer.
    void setCheckInterval(std::uint64_t interval);
    bool startTracking();
    bool startTrackingWithTrackBlock(dispatch_block_t trackBlock);
    // Stops the timer and drops the track block (which holds the tracker); always true.
    bool stopTracking();
    // One check; blocks for the request. Holds no lock across the request or the handler.
    void checkForUpdates();

    const std::string& channelName() const { return channelName_; }
    const std::string& baseUrl() const { return baseUrl_; }
    std::uint64_t checkInterval() const { return checkInterval_; }
    std::int32_t currentState() const { return currentState_.load(); }
    const dispatch_source_t& timerSource() const { return timerSource_; }

private:
    std::string channelName_;
    std::string baseUrl_;
    std::uint64_t checkInterval_;
    dispatch_block_t trackBlock_;
    Handler handler_;
    std::atomic<std::int32_t> currentState_{VTVersionTrackerStateUnchecked};
    dispatch_source_t timerSource_;
    // Held only while a check changes the state (never across the fetch or the handler), so that
    // an optional update is announced once even when checks overlap.
    std::mutex checkLock_;
};

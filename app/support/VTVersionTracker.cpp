#include "app/support/VTVersionTracker.h"

#include "platform/foundation/NSLog.h"

namespace {
constexpr std::uint64_t kTimerLeeway = NSEC_PER_SEC;

std::mutex trackerLock;
std::shared_ptr<VTVersionTracker> versionTracker;

std::uint64_t intervalOrDefault(std::uint64_t interval) { return interval == 0 ? VTVersionTracker::kDefaultCheckInterval : interval; }
} // namespace

bool VTVersionTracker::beginTrackingVersionForChannelServiceBaseUrlTimeIntervalWithHandler(const std::string& channel,
                                                                                          const std::string& baseUrl,
                                                                                          std::uint64_t interval, Handler handler) {
    std::shared_ptr<VTVersionTracker> previous;
    {
        std::lock_guard<std::mutex> guard(trackerLock);
        previous = std::move(versionTracker);
    }
    if (previous) previous->stopTracking();
    auto tracker = initWithChannelServiceBaseUrlTimeIntervalAndHandler(channel, baseUrl, interval, std::move(handler));
    std::lock_guard<std::mutex> guard(trackerLock);
    versionTracker = tracker;
    // Started by its initialiser; the design's answer of startTracking.
    return true;
}

std::shared_ptr<VTVersionTracker> VTVersionTracker::tracker() {
    std::lock_guard<std::mutex> guard(trackerLock);
    return versionTracker;
}

VTVersionTracker::VTVersionTracker(std::string channel, std::string baseUrl, std::uint64_t interval, Handler handler)
    : channelName_(std::move(channel)), baseUrl_(std::move(baseUrl)), checkInterval_(intervalOrDefault(interval)),
      handler_(std::move(handler)) {}

std::shared_ptr<VTVersionTracker> VTVersionTracker::initWithChannelServiceBaseUrlTimeIntervalAndHandler(const std::string& channel,
                                                                                                       const std::string& baseUrl,
                                                                                                       std::uint64_t interval,
                                                                                                       Handler handler) {
    // State and interval are in place before the timer starts, and it starts once: its first
    // check runs at once on another thread.
    auto tracker = std::make_shared<VTVersionTracker>(channel, baseUrl, interval, std::move(handler));
    tracker->startTracking();
    return tracker;
}

void VTVersionTracker::setCheckInterval(std::uint64_t interval) {
    checkInterval_ = intervalOrDefault(interval);
    stopTracking();
    startTracking();
}

bool VTVersionTracker::startTracking() {
    auto self = this->self<VTVersionTracker>();
    // The block holds the tracker: a running tracker lives until it is stopped.
    return startTrackingWithTrackBlock([self] { self->checkForUpdates(); });
}

bool VTVersionTracker::startTrackingWithTrackBlock(dispatch_block_t trackBlock) {
    stopTracking();
    trackBlock_ = std::move(trackBlock);
    timerSource_ = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0));
    dispatch_source_set_timer(timerSource_, dispatch_walltime_seconds(0, 0), checkInterval_ * NSEC_PER_SEC, kTimerLeeway);
    dispatch_source_set_event_handler(timerSource_, trackBlock_);
    dispatch_resume(timerSource_);
    return true;
}

bool VTVersionTracker::stopTracking() {
    if (timerSource_) {
        // Disarmed for good before it is cancelled: a timer re-armed to "now" would run one more
        // check in the moment before the cancellation.
        dispatch_source_set_timer(timerSource_, DISPATCH_TIME_FOREVER, DISPATCH_TIME_FOREVER, 0);
        dispatch_source_cancel(timerSource_);
        timerSource_.reset();
    }
    trackBlock_ = nullptr;
    return true;
}

void VTVersionTracker::checkForUpdates() {
    // The fetch and the handler run with no lock held: the handler may wait for the main thread,
    // which may itself be asking the tracker something.
    NSLog("Checking for Application Updates");
    auto latest = VTVersion::latestRemoteVersionForChannelWithBaseUrl(channelName_, baseUrl_);
    auto current = VTVersion::currentLocalVersion();
    NSLog("Current Version: %@", current->versionString());
    NSLog("Latest Version: %@", latest ? latest->versionString() : std::string("(null)"));
    std::int32_t announce = VTVersionTrackerStateUnchecked;
    {
        // Only the change of state is one step, so that overlapping checks announce an optional
        // update once.
        std::lock_guard<std::mutex> guard(checkLock_);
        if (latest && latest->compare(*current) == NSOrderedDescending) {
            if (currentState_ != VTVersionTrackerStateUpdateAvailable) {
                currentState_ = latest->mandatory() ? VTVersionTrackerStateMandatoryUpdate : VTVersionTrackerStateUpdateAvailable;
                announce = currentState_;
            }
        } else {
            currentState_ = VTVersionTrackerStateCurrent;
        }
    }
    if (announce != VTVersionTrackerStateUnchecked && handler_) handler_(announce, latest);
}

#pragma once
// The session front: the one object through which analytics work reaches the current session,
// and the owner of the serial queue "com.Vuderu.Analytics.Session" on which all session work and
// all report sending run. Its creation sets up the report sender on that queue.
//
// This holds the front's data and background-task support, which the report sender and the ad
// side read: the application key and start time of the current session, whether the device
// supports background tasks, and the queue. Session creation and the forwarding of session
// operations come with the session.

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class VuderuImpl : public NSObject {
public:
    static constexpr const char* kQueueLabel = "com.Vuderu.Analytics.Session";

    static std::shared_ptr<VuderuImpl> instance();
    // Waits for every block queued so far, then forgets the singleton.
    static void cleanup();

    // A background task whose expiration ends it; UIBackgroundTaskInvalid when the device has
    // none. (The selector is spelled without the r.)
    static std::uint64_t registerBackgoundTask();
    static void unregisterBackgoundTask(std::uint64_t identifier);

    VuderuImpl();
    ~VuderuImpl() override;

    // The key and start of the current session: set on the caller's thread, read from any.
    void setupForApiKey(const std::string& apiKey);
    void resetStartDate();
    std::string apiKey() const;
    std::shared_ptr<NSDate> startTime() const;
    bool isBackgroundSupported() const { return isBackgroundSupported_; }
    const dispatch_queue_t& queue() const { return queue_; }

private:
    mutable std::mutex lock_;
    std::string apiKey_;
    std::shared_ptr<NSDate> startTime_;
    dispatch_queue_t queue_;
    bool isBackgroundSupported_ = false;
};

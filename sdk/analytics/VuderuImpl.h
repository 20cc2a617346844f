#pragma once
// The session front: the one object through which analytics work reaches the current session,
// and the owner of the serial queue "com.Vuderu.Analytics.Session" on which all session work and
// all report sending run. Its creation sets up the report sender on that queue.
//
// Setters and records reach the session without waiting; the end of a session and the getters
// wait for the queue (never call them from the queue). Without a session the queued operations do
// nothing and the getters answer 0 or nil. The report sender and the ad side also read the key and
// start time of the current session, whether the device supports background tasks, and the queue.

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/foundation/ThreadSafety.h"

#include <cstdint>
#include <memory>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

class VuderuSession;

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

    // Archives the current session, if any, and (for a key) makes the next one, which takes over
    // the old one's pending events. The key and start are set on the caller's thread, read from any.
    void setupForApiKey(const std::optional<std::string>& apiKey);
    void resetStartDate();
    std::string apiKey() const;
    std::shared_ptr<NSDate> startTime() const;
    bool isBackgroundSupported() const { return isBackgroundSupported_; }
    const dispatch_queue_t& queue() const { return queue_; }

    // The session operations.
    void setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(double latitude, double longitude, float horizontal, float vertical);
    void setEventLoggingEnabled(bool enabled);
    void setUserID(const std::optional<std::string>& userID);
    void setSessionReportsOnCloseEnabled(bool enabled);
    void setSessionReportsOnPauseEnabled(bool enabled);
    void setCrashReportingEnabled(bool enabled);
    void maybeIncrementPageView();
    void setGenderAsString(const std::optional<std::string>& gender);
    void setAgeInYears(int years);
    void recordEventWithParameters(const std::string& name, const Value& parameters);
    void recordEventWithParametersTimed(const std::string& name, const Value& parameters, bool timed);
    void endTimedEventWithParameters(const std::string& name, const Value& parameters);
    void recordErrorMessageExceptionLiveReport(const std::string& errorString, const std::string& message,
                                               const std::optional<NSException>& exception, const NSDataPtr& liveReport);
    void recordErrorMessageErrorLiveReport(const std::string& errorString, const std::string& message, const NSErrorPtr& error,
                                           const NSDataPtr& liveReport);
    void recordErrorMessageExceptionStringErrorTypeLiveReport(const std::string& errorString, const std::string& message,
                                                              const std::string& exceptionString, std::int32_t errorType,
                                                              const NSDataPtr& liveReport);
    void recordPurchaseItem(const Value& item);
    // Keeps the app running in the background until the pause is recorded.
    void pauseSession();
    void markSessionAsResuming();
    void resumeSession();
    void endSessionAsync();
    // Returns once every operation queued before it has run and the session has ended.
    void endSession();
    // On the main thread, which keeps running meanwhile: returns once no report upload that may
    // reach its server is in flight, or after `seconds` of real time. Called before the process
    // ends, so that an upload the server has accepted is not posted again at the next launch; an
    // upload still waiting for its server's name is not waited for (its report stays stored for
    // the next launch). NO at the bound.
    bool waitForUploadsInFlight(double seconds);
    void sendSessionsToServerForCreateSession();

    double latitude() const;
    double longitude() const;
    double accuracy() const;
    int gender() const;
    std::shared_ptr<NSDate> age() const;
    int pageViewCount() const;
    std::shared_ptr<NSDate> pauseTime() const;
    // The current session, read through the queue.
    std::shared_ptr<VuderuSession> session() const;

private:
    // Runs the work on the queue (directly without one) against the session, when there is one.
    void async(std::function<void(VuderuSession&)> work);
    void sync(const std::function<void(VuderuSession&)>& work) const;

    std::shared_ptr<VuderuSession> session_; // touched only on the queue
    mutable Mutex lock_;
    std::string apiKey_ TD_GUARDED_BY(lock_);
    std::shared_ptr<NSDate> startTime_ TD_GUARDED_BY(lock_);
    dispatch_queue_t queue_;
    bool isBackgroundSupported_ = false;
};

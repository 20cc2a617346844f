#pragma once
// The process-wide store of the SDK's settings and of what the facade collects before and
// outside a session, with the tracked-property and server-cookie maps that persist across
// launches in archive files named after the application key.

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/foundation/ThreadSafety.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

class VuderuGlobalVariableStorage : public NSObject {
public:
    static std::shared_ptr<VuderuGlobalVariableStorage> sharedInstance();
    // Drops the shared instance; the next one starts from the defaults (the files stay).
    static void cleanup();

    VuderuGlobalVariableStorage();

    std::string apiKey() const;
    // Keeps the key with every blank (U+0020) removed and loads the persistent maps.
    void setApiKey(const std::string& apiKey);
    std::string appVersion() const;
    void setAppVersion(std::string value);
    int pauseSecondsBeforeStartingNewSession() const;
    void setPauseSecondsBeforeStartingNewSession(int value);
    bool sessionReportsOnCloseEnabled() const;
    void setSessionReportsOnCloseEnabled(bool value);
    bool sessionReportsOnPauseEnabled() const;
    void setSessionReportsOnPauseEnabled(bool value);
    bool backgroundSessionEnabled() const;
    void setBackgroundSessionEnabled(bool value);
    bool crashReportingEnabled() const;
    void setCrashReportingEnabled(bool value);
    bool eventLoggingEnabled() const;
    void setEventLoggingEnabled(bool value);
    bool udidEnabled() const;
    void setUdidEnabled(bool value);
    bool macAddressEnabled() const;
    void setMacAddressEnabled(bool value);
    bool optOutSessionPending() const;
    void setOptOutSessionPending(bool value);
    bool startSessionCalled() const;
    void setStartSessionCalled(bool value);
    // Years; -1 when not given.
    int age() const;
    void setAge(int value);
    std::optional<std::string> gender() const;
    void setGender(std::optional<std::string> value);
    std::optional<std::string> userID() const;
    void setUserID(std::optional<std::string> value);
    // The last location the facade built (a CLLocation), or nil.
    std::shared_ptr<NSObject> location() const;
    void setLocation(std::shared_ptr<NSObject> value);
    std::shared_ptr<NSDate> pauseTime() const;
    void setPauseTime(std::shared_ptr<NSDate> value);
    std::shared_ptr<NSDate> lastPageViewDate() const;
    void setLastPageViewDate(std::shared_ptr<NSDate> value);
    std::optional<std::string> savedResponseUrl() const;
    void setSavedResponseUrl(std::optional<std::string> value);
    // The crash reporter made at start-up, or nil.
    std::shared_ptr<NSObject> vuderuCrashReporter() const;
    void setVuderuCrashReporter(std::shared_ptr<NSObject> value);

    // Launch options by key, each value an array. Copies, taken under the store's lock, so a
    // report being built never sees a half-made change.
    Value::Dictionary launchOptions() const;
    void setLaunchOptionForKey(const std::string& key, Value::Array values);
    // Origin sets: {"originName": name, "parameters": {"vuderuOriginVersion": version, ...}},
    // at most one per name, in the order of their last recording.
    Value::Array originSets() const;
    void recordOriginOriginVersionWithParameters(const std::string& originName, const std::string& originVersion,
                                                 const Value& parameters);

    // The maps that persist across launches; nil until a key is set. Used on the session queue.
    Value::Dictionary* persistentGlobalsMap() { return persistentGlobalsMap_ ? &*persistentGlobalsMap_ : nullptr; }
    Value::Dictionary* persistentCookiesMap() { return persistentCookiesMap_ ? &*persistentCookiesMap_ : nullptr; }

    void initPersistentMap();
    // "<data directory>/.<name><hash of the key>_<agent version>.archive", made (holding an
    // archived empty dictionary) when missing and kept out of backups; nil when it fails.
    std::optional<std::string> getPersistentFilePath(const std::string& name);
    std::optional<std::string> persistentGlobalsFilePath();
    std::optional<std::string> persistentCookiesFilePath();
    // NO (logged, the file as it was) when the dictionary cannot be written.
    bool writeDictionaryToFile(const Value::Dictionary& dictionary, const std::optional<std::string>& path);
    void savePersistentGlobalsToDisk();

private:
    mutable Mutex lock_;
    std::string apiKey_ TD_GUARDED_BY(lock_);
    std::string appVersion_ TD_GUARDED_BY(lock_);
    int pauseSecondsBeforeStartingNewSession_ TD_GUARDED_BY(lock_) = 10;
    bool sessionReportsOnCloseEnabled_ TD_GUARDED_BY(lock_) = true;
    bool sessionReportsOnPauseEnabled_ TD_GUARDED_BY(lock_) = true;
    bool backgroundSessionEnabled_ TD_GUARDED_BY(lock_) = false;
    bool crashReportingEnabled_ TD_GUARDED_BY(lock_) = false;
    bool eventLoggingEnabled_ TD_GUARDED_BY(lock_) = true;
    bool udidEnabled_ TD_GUARDED_BY(lock_) = true;
    bool macAddressEnabled_ TD_GUARDED_BY(lock_) = true;
    bool optOutSessionPending_ TD_GUARDED_BY(lock_) = false;
    bool startSessionCalled_ TD_GUARDED_BY(lock_) = false;
    int age_ TD_GUARDED_BY(lock_) = -1;
    std::optional<std::string> gender_ TD_GUARDED_BY(lock_);
    std::optional<std::string> userID_ TD_GUARDED_BY(lock_);
    std::shared_ptr<NSObject> location_ TD_GUARDED_BY(lock_);
    std::shared_ptr<NSDate> pauseTime_ TD_GUARDED_BY(lock_);
    std::shared_ptr<NSDate> lastPageViewDate_ TD_GUARDED_BY(lock_);
    std::optional<std::string> savedResponseUrl_ TD_GUARDED_BY(lock_);
    std::shared_ptr<NSObject> vuderuCrashReporter_ TD_GUARDED_BY(lock_);
    Value::Dictionary launchOptions_ TD_GUARDED_BY(lock_);
    Value::Array originSets_ TD_GUARDED_BY(lock_);
    // Made once, when the key is set (the session's start, before any session runs); from then on
    // read and changed through the pointers above on the session queue, which is their guard.
    std::optional<Value::Dictionary> persistentGlobalsMap_;
    std::optional<Value::Dictionary> persistentCookiesMap_;
};

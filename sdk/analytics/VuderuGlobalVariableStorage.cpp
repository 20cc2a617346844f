#include "sdk/analytics/VuderuGlobalVariableStorage.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/SharedInstance.h"
#include "sdk/analytics/VuderuConstants.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

const char* const kOriginName = "originName";
const char* const kOriginParameters = "parameters";
const char* const kOriginVersion = "vuderuOriginVersion";

} // namespace

std::shared_ptr<VuderuGlobalVariableStorage> VuderuGlobalVariableStorage::sharedInstance() {
    return SharedInstance<VuderuGlobalVariableStorage>::slot().getOrMake([] { return std::make_shared<VuderuGlobalVariableStorage>(); });
}

void VuderuGlobalVariableStorage::cleanup() { SharedInstance<VuderuGlobalVariableStorage>::slot().take(); }

VuderuGlobalVariableStorage::VuderuGlobalVariableStorage()
    : appVersion_(NSBundle::mainBundle()->objectForInfoDictionaryKey("CFBundleVersion").stringValue()) {}

std::string VuderuGlobalVariableStorage::apiKey() const { return lockedValue(&VuderuGlobalVariableStorage::apiKey_); }

void VuderuGlobalVariableStorage::setApiKey(const std::string& apiKey) {
    std::string trimmed = NSString::stringByReplacingOccurrencesOfString(apiKey, " ", "");
    VuderuLog("Vuderu: Trim white space and use apiKey[%@]", trimmed);
    setLockedValue(&VuderuGlobalVariableStorage::apiKey_, trimmed);
    initPersistentMap();
}

std::string VuderuGlobalVariableStorage::appVersion() const { return lockedValue(&VuderuGlobalVariableStorage::appVersion_); }
void VuderuGlobalVariableStorage::setAppVersion(const std::string& value) { setLockedValue(&VuderuGlobalVariableStorage::appVersion_, value); }
int VuderuGlobalVariableStorage::pauseSecondsBeforeStartingNewSession() const {
    return lockedValue(&VuderuGlobalVariableStorage::pauseSecondsBeforeStartingNewSession_);
}
void VuderuGlobalVariableStorage::setPauseSecondsBeforeStartingNewSession(int value) {
    setLockedValue(&VuderuGlobalVariableStorage::pauseSecondsBeforeStartingNewSession_, value);
}
bool VuderuGlobalVariableStorage::sessionReportsOnCloseEnabled() const { return lockedValue(&VuderuGlobalVariableStorage::sessionReportsOnCloseEnabled_); }
void VuderuGlobalVariableStorage::setSessionReportsOnCloseEnabled(bool value) { setLockedValue(&VuderuGlobalVariableStorage::sessionReportsOnCloseEnabled_, value); }
bool VuderuGlobalVariableStorage::sessionReportsOnPauseEnabled() const { return lockedValue(&VuderuGlobalVariableStorage::sessionReportsOnPauseEnabled_); }
void VuderuGlobalVariableStorage::setSessionReportsOnPauseEnabled(bool value) { setLockedValue(&VuderuGlobalVariableStorage::sessionReportsOnPauseEnabled_, value); }
bool VuderuGlobalVariableStorage::backgroundSessionEnabled() const { return lockedValue(&VuderuGlobalVariableStorage::backgroundSessionEnabled_); }
void VuderuGlobalVariableStorage::setBackgroundSessionEnabled(bool value) { setLockedValue(&VuderuGlobalVariableStorage::backgroundSessionEnabled_, value); }
bool VuderuGlobalVariableStorage::crashReportingEnabled() const { return lockedValue(&VuderuGlobalVariableStorage::crashReportingEnabled_); }
void VuderuGlobalVariableStorage::setCrashReportingEnabled(bool value) { setLockedValue(&VuderuGlobalVariableStorage::crashReportingEnabled_, value); }
bool VuderuGlobalVariableStorage::eventLoggingEnabled() const { return lockedValue(&VuderuGlobalVariableStorage::eventLoggingEnabled_); }
void VuderuGlobalVariableStorage::setEventLoggingEnabled(bool value) { setLockedValue(&VuderuGlobalVariableStorage::eventLoggingEnabled_, value); }
bool VuderuGlobalVariableStorage::udidEnabled() const { return lockedValue(&VuderuGlobalVariableStorage::udidEnabled_); }
void VuderuGlobalVariableStorage::setUdidEnabled(bool value) { setLockedValue(&VuderuGlobalVariableStorage::udidEnabled_, value); }
bool VuderuGlobalVariableStorage::macAddressEnabled() const { return lockedValue(&VuderuGlobalVariableStorage::macAddressEnabled_); }
void VuderuGlobalVariableStorage::setMacAddressEnabled(bool value) { setLockedValue(&VuderuGlobalVariableStorage::macAddressEnabled_, value); }
bool VuderuGlobalVariableStorage::optOutSessionPending() const { return lockedValue(&VuderuGlobalVariableStorage::optOutSessionPending_); }
void VuderuGlobalVariableStorage::setOptOutSessionPending(bool value) { setLockedValue(&VuderuGlobalVariableStorage::optOutSessionPending_, value); }
bool VuderuGlobalVariableStorage::startSessionCalled() const { return lockedValue(&VuderuGlobalVariableStorage::startSessionCalled_); }
void VuderuGlobalVariableStorage::setStartSessionCalled(bool value) { setLockedValue(&VuderuGlobalVariableStorage::startSessionCalled_, value); }
int VuderuGlobalVariableStorage::age() const { return lockedValue(&VuderuGlobalVariableStorage::age_); }
void VuderuGlobalVariableStorage::setAge(int value) { setLockedValue(&VuderuGlobalVariableStorage::age_, value); }
std::optional<std::string> VuderuGlobalVariableStorage::gender() const { return lockedValue(&VuderuGlobalVariableStorage::gender_); }
void VuderuGlobalVariableStorage::setGender(std::optional<std::string> value) { setLockedValue(&VuderuGlobalVariableStorage::gender_, std::move(value)); }
std::optional<std::string> VuderuGlobalVariableStorage::userID() const { return lockedValue(&VuderuGlobalVariableStorage::userID_); }
void VuderuGlobalVariableStorage::setUserID(std::optional<std::string> value) { setLockedValue(&VuderuGlobalVariableStorage::userID_, std::move(value)); }
std::shared_ptr<NSObject> VuderuGlobalVariableStorage::location() const { return lockedValue(&VuderuGlobalVariableStorage::location_); }
void VuderuGlobalVariableStorage::setLocation(std::shared_ptr<NSObject> value) { setLockedValue(&VuderuGlobalVariableStorage::location_, std::move(value)); }
std::shared_ptr<NSDate> VuderuGlobalVariableStorage::pauseTime() const { return lockedValue(&VuderuGlobalVariableStorage::pauseTime_); }
void VuderuGlobalVariableStorage::setPauseTime(std::shared_ptr<NSDate> value) { setLockedValue(&VuderuGlobalVariableStorage::pauseTime_, std::move(value)); }
std::shared_ptr<NSDate> VuderuGlobalVariableStorage::lastPageViewDate() const { return lockedValue(&VuderuGlobalVariableStorage::lastPageViewDate_); }
void VuderuGlobalVariableStorage::setLastPageViewDate(std::shared_ptr<NSDate> value) {
    setLockedValue(&VuderuGlobalVariableStorage::lastPageViewDate_, std::move(value));
}
std::optional<std::string> VuderuGlobalVariableStorage::savedResponseUrl() const { return lockedValue(&VuderuGlobalVariableStorage::savedResponseUrl_); }
void VuderuGlobalVariableStorage::setSavedResponseUrl(std::optional<std::string> value) {
    setLockedValue(&VuderuGlobalVariableStorage::savedResponseUrl_, std::move(value));
}
std::shared_ptr<NSObject> VuderuGlobalVariableStorage::vuderuCrashReporter() const { return lockedValue(&VuderuGlobalVariableStorage::vuderuCrashReporter_); }
void VuderuGlobalVariableStorage::setVuderuCrashReporter(std::shared_ptr<NSObject> value) {
    setLockedValue(&VuderuGlobalVariableStorage::vuderuCrashReporter_, std::move(value));
}

Value::Dictionary VuderuGlobalVariableStorage::launchOptions() const { return lockedValue(&VuderuGlobalVariableStorage::launchOptions_); }

void VuderuGlobalVariableStorage::setLaunchOptionForKey(const std::string& key, Value::Array values) {
    MutexLock guard(lock_);
    launchOptions_[key] = Value(std::move(values));
}

Value::Array VuderuGlobalVariableStorage::originSets() const { return lockedValue(&VuderuGlobalVariableStorage::originSets_); }

void VuderuGlobalVariableStorage::recordOriginOriginVersionWithParameters(const std::string& originName,
                                                                          const std::string& originVersion, const Value& parameters) {
    VuderuLog("VuderuGlobalVariableStorage: Attempting to record orgin new set with name: %@ and parameters: %@", originName,
              parameters);
    std::size_t given = parameters.isDictionary() ? parameters.dictionary().size() : 0;
    if (given + 1 > static_cast<std::size_t>(MAX_ORIGIN_SETS)) {
        VuderuLog("VuderuGlobalVariableStorage: Attempting to record more than 10 parameters for orgin set with name: %@ and "
                  "parameters: %@",
                  originName, parameters);
        return;
    }
    if (originName.empty()) {
        VuderuLogAbove(0, "VuderuGlobalVariableStorage: Not logging Event eventName[%@] due to invalid eventName", originName);
        return;
    }
    Value::Dictionary originParameters{{kOriginVersion, Value(originVersion)}};
    if (parameters.isDictionary()) {
        for (const auto& [key, value] : parameters.dictionary()) originParameters[key] = value;
    }
    Value set(Value::Dictionary{{kOriginName, Value(originName)}, {kOriginParameters, Value(std::move(originParameters))}});
    MutexLock guard(lock_);
    for (auto it = originSets_.begin(); it != originSets_.end(); ++it) {
        if ((*it)[kOriginName] == Value(originName)) {
            originSets_.erase(it);
            break;
        }
    }
    originSets_.push_back(std::move(set));
}

void VuderuGlobalVariableStorage::initPersistentMap() {
    auto load = [](const std::optional<std::string>& path) {
        Value stored = VuderuUtil::safeUnarchiveObjectWithFile(path.value_or(""));
        return stored.isDictionary() ? stored.dictionary() : Value::Dictionary();
    };
    Value::Dictionary globals = load(persistentGlobalsFilePath());
    Value::Dictionary cookies = load(persistentCookiesFilePath());
    MutexLock guard(lock_);
    persistentGlobalsMap_ = std::move(globals);
    persistentCookiesMap_ = std::move(cookies);
}

std::optional<std::string> VuderuGlobalVariableStorage::getPersistentFilePath(const std::string& name) {
    std::optional<std::string> path;
    try {
        auto keyHash = static_cast<std::int32_t>(static_cast<std::uint32_t>(NSString::hash(apiKey())));
        path = NSString::stringWithFormat("%@/.%@%d_%@.archive", VuderuUtil::filePathDirectory(), name, keyHash, VuderuAgentVersion);
        auto manager = NSFileManager::defaultManager();
        if (!manager->fileExistsAtPath(*path)) {
            manager->createFileAtPath(*path, nullptr, nullptr);
            NSKeyedArchiver::archiveRootObjectToFile(Value(Value::Dictionary()), *path);
        }
        VuderuUtil::addSkipBackupAttributeToItemAtURL(NSURL::fileURLWithPath(*path));
        VuderuLog("%s: %@", "-[VuderuGlobalVariableStorage getPersistentFilePath:]", *path);
    } catch (const NSException& exception) {
        VuderuLog("%s: exception %@", "-[VuderuGlobalVariableStorage getPersistentFilePath:]",
                  NSString::stringWithFormat("%@: %@", exception.name(), exception.reason()));
    }
    return path;
}

std::optional<std::string> VuderuGlobalVariableStorage::persistentGlobalsFilePath() { return getPersistentFilePath("vuderuPropertiesData"); }
std::optional<std::string> VuderuGlobalVariableStorage::persistentCookiesFilePath() { return getPersistentFilePath("vuderuCkData"); }

bool VuderuGlobalVariableStorage::writeDictionaryToFile(const Value::Dictionary& dictionary, const std::optional<std::string>& path) {
    bool written = false;
    try {
        written = path && NSKeyedArchiver::archiveRootObjectToFile(Value(dictionary), *path);
    } catch (const NSException&) {
        written = false;
    }
    if (!written) {
        VuderuLog("%s: map not saved to disk at path[%@]", "-[VuderuGlobalVariableStorage writeDictionary:toFile:]",
                  path.value_or("(null)"));
    }
    return written;
}

void VuderuGlobalVariableStorage::savePersistentGlobalsToDisk() {
    std::optional<Value::Dictionary> globals, cookies;
    {
        MutexLock guard(lock_);
        globals = persistentGlobalsMap_;
        cookies = persistentCookiesMap_;
    }
    // Before a key is set there are no maps, and no files to name after it.
    if (globals) writeDictionaryToFile(*globals, persistentGlobalsFilePath());
    if (cookies) writeDictionaryToFile(*cookies, persistentCookiesFilePath());
}

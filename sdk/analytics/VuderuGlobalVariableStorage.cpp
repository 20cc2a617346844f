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

std::string VuderuGlobalVariableStorage::apiKey() const {
    MutexLock guard(lock_);
    return apiKey_;
}

void VuderuGlobalVariableStorage::setApiKey(const std::string& apiKey) {
    std::string trimmed = NSString::stringByReplacingOccurrencesOfString(apiKey, " ", "");
    VuderuLog("Vuderu: Trim white space and use apiKey[%@]", trimmed);
    {
        MutexLock guard(lock_);
        apiKey_ = trimmed;
    }
    initPersistentMap();
}

// The plain properties' accessors, each a read or a replacement under the store's lock.
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, std::string, appVersion, setAppVersion)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_,
                    int, pauseSecondsBeforeStartingNewSession, setPauseSecondsBeforeStartingNewSession)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, bool, sessionReportsOnCloseEnabled, setSessionReportsOnCloseEnabled)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, bool, sessionReportsOnPauseEnabled, setSessionReportsOnPauseEnabled)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, bool, backgroundSessionEnabled, setBackgroundSessionEnabled)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, bool, crashReportingEnabled, setCrashReportingEnabled)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, bool, eventLoggingEnabled, setEventLoggingEnabled)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, bool, udidEnabled, setUdidEnabled)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, bool, macAddressEnabled, setMacAddressEnabled)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, bool, optOutSessionPending, setOptOutSessionPending)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, bool, startSessionCalled, setStartSessionCalled)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, int, age, setAge)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, std::optional<std::string>, gender, setGender)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, std::optional<std::string>, userID, setUserID)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, std::shared_ptr<NSObject>, location, setLocation)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, std::shared_ptr<NSDate>, pauseTime, setPauseTime)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, std::shared_ptr<NSDate>, lastPageViewDate, setLastPageViewDate)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, std::optional<std::string>, savedResponseUrl, setSavedResponseUrl)
TD_LOCKED_ACCESSORS(VuderuGlobalVariableStorage, lock_, std::shared_ptr<NSObject>, vuderuCrashReporter, setVuderuCrashReporter)

Value::Dictionary VuderuGlobalVariableStorage::launchOptions() const {
    MutexLock guard(lock_);
    return launchOptions_;
}

void VuderuGlobalVariableStorage::setLaunchOptionForKey(const std::string& key, Value::Array values) {
    MutexLock guard(lock_);
    launchOptions_[key] = Value(std::move(values));
}

Value::Array VuderuGlobalVariableStorage::originSets() const {
    MutexLock guard(lock_);
    return originSets_;
}

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

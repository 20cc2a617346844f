#include "sdk/analytics/VuderuInitialTimestamp.h"

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"
#include "sdk/analytics/VuderuKeychainWrapper.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

constexpr const char* kTimestampKey = "VuderuSessionTimestampKey";
constexpr const char* kApiKeyKey = "VuderuAPIKey";

std::string fileName(const std::string& directory, const std::string& apiKey) {
    auto keyHash = static_cast<std::int32_t>(static_cast<std::uint32_t>(NSString::hash(apiKey)));
    return NSString::stringWithFormat("%@/.initialTimestamp%d.archive", directory, keyHash);
}

// The date archived in a file; nil when the file holds none. A damaged archive raises.
std::shared_ptr<NSDate> dateInFile(const std::string& path) {
    Value stored = NSKeyedUnarchiver::unarchiveObjectWithFile(path);
    return stored.isDate() ? NSDate::fromValue(stored) : nullptr;
}

} // namespace

std::string VuderuInitialTimestamp::oldInitialTimestampFilePathUptilAgentVersion109(const std::string& apiKey) {
    return fileName(VuderuUtil::oldFilePathDirectoryUptilAgentVersion109(), apiKey);
}

std::string VuderuInitialTimestamp::initialTimestampFilePath(const std::string& apiKey) {
    std::string path = fileName(VuderuUtil::filePathDirectory(), apiKey);
    auto manager = NSFileManager::defaultManager();
    if (!manager->fileExistsAtPath(path)) {
        std::string oldPath = oldInitialTimestampFilePathUptilAgentVersion109(apiKey);
        if (oldPath != path && manager->fileExistsAtPath(oldPath)) {
            std::shared_ptr<NSDate> date;
            try {
                date = dateInFile(oldPath);
            } catch (const NSException& exception) {
                VuderuUtil::handleException(exception);
            }
            manager->removeItemAtPath(oldPath, nullptr);
            if (date) {
                VuderuLog("VuderuSession: Moving initial timestamp[%@] from saved source", date);
                NSKeyedArchiver::archiveRootObjectToFile(Value(date->value()), path);
                VuderuUtil::addSkipBackupAttributeToItemAtURL(NSURL::fileURLWithPath(path));
            }
        }
    }
    return path;
}

std::shared_ptr<NSDate> VuderuInitialTimestamp::initialTimestamp(const std::string& apiKey,
                                                                 const std::shared_ptr<NSDate>& sessionStartTime) {
    auto keychain = VuderuKeychainWrapper::keychainWrapperWithIdentifier(VuderuAnalyticsKeychainIdentifier);
    std::shared_ptr<NSDate> stored = NSDate::fromValue(keychain->objectForKey(kTimestampKey));
    std::optional<std::string> storedKey = keychain->stringForKey(kApiKeyKey);
    bool keyChanged = false;
    if (!storedKey) {
        keychain->setStringForKey(apiKey, kApiKeyKey);
    } else if (*storedKey != apiKey) {
        keychain->setStringForKey(apiKey, kApiKeyKey);
        keyChanged = true;
    }
    if (stored && !keyChanged) {
        VuderuLog("VuderuSession: Initial timestamp[%@] from secure source", stored);
        return stored;
    }
    if (!keyChanged) {
        std::string path = initialTimestampFilePath(apiKey);
        if (NSFileManager::defaultManager()->fileExistsAtPath(path)) {
            try {
                if (auto legacy = dateInFile(path)) {
                    VuderuLog("VuderuSession: Initial timestamp[%@] from legacy source", legacy);
                    keychain->setObjectForKey(Value(legacy->value()), kTimestampKey);
                    return legacy;
                }
            } catch (const NSException&) {
                // A damaged legacy file: the date is made afresh.
            }
        }
    }
    std::shared_ptr<NSDate> created = sessionStartTime ? sessionStartTime : NSDate::date();
    keychain->setObjectForKey(Value(created->value()), kTimestampKey);
    VuderuLog("VuderuSession: Initial timestamp[%@] created and saved", created);
    return created;
}

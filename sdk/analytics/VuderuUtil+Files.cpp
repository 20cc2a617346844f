// VuderuUtil's files: the SDK's data directory and where older versions kept theirs, the backup
// exclusion, the disk's size and free space, archives read back safely, and the cookie store.

#include "sdk/analytics/VuderuUtil.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/WholeFile.h"
#include "sdk/analytics/VuderuConstants.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuLog.h"

#include <cerrno>
#include <mutex>
#include <sys/xattr.h>

namespace {

// The backup exclusion the device's backup honours; Linux keeps it in the user namespace.
constexpr const char* kSkipBackupAttribute = "user.com.apple.MobileBackup";
constexpr const char* kDataDirectoryName = "VuderuFiles";

std::string firstUserSearchPath(NSSearchPathDirectory directory) {
    auto paths = NSSearchPathForDirectoriesInDomains(directory, NSUserDomainMask, true);
    return paths.empty() ? std::string() : paths.front();
}

std::string directoryMadeIfMissing(const std::string& path) {
    auto manager = NSFileManager::defaultManager();
    bool isDirectory = false;
    if (!manager->fileExistsAtPath(path, &isDirectory) || !isDirectory) {
        manager->createDirectoryAtPath(path, true, nullptr, nullptr);
    }
    return path;
}

std::optional<NSFileSystemAttributes> documentsFileSystem() {
    // The last of the Documents paths, as the system's own lookup takes it.
    auto paths = NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSUserDomainMask, true);
    NSErrorPtr error;
    std::optional<NSFileSystemAttributes> attributes;
    if (!paths.empty()) {
        // A device not yet given its Documents folder still has the file system it would be on:
        // the nearest folder above it that exists answers for it.
        auto files = NSFileManager::defaultManager();
        std::string path = paths.back();
        while (path.size() > 1 && !files->fileExistsAtPath(path)) path = NSString::stringByDeletingLastPathComponent(path);
        attributes = files->attributesOfFileSystemForPath(path.empty() ? "/" : path, &error);
    }
    if (!attributes) {
        if (!error) error = NSError::posixError(ENOENT);
        VuderuLog("Error Obtaining System Memory Info: Domain = %@, Code = %ld", error->domain(), error->code());
    }
    return attributes;
}

} // namespace

Value VuderuUtil::safeUnarchiveObjectWithFile(const std::string& path) {
    if (path.empty()) return Value();
    try {
        return NSKeyedUnarchiver::unarchiveObjectWithFile(path);
    } catch (const NSException& exception) {
        std::make_shared<NSFileManager>()->removeItemAtPath(path, nullptr);
        handleException(exception);
        return Value();
    } catch (const std::bad_alloc&) {
        // An archive too large to rebuild in memory would fail at every launch: it goes like a
        // damaged one.
        std::make_shared<NSFileManager>()->removeItemAtPath(path, nullptr);
        handleException(NSException(NSMallocException, "*** -[NSKeyedUnarchiver unarchiveObjectWithFile:]: out of memory reading " + path));
        return Value();
    }
}

std::string VuderuUtil::filePathDirectory() {
    if (getSystemVersionAsAnInteger() < kSystemVersionApplicationSupport) return firstUserSearchPath(NSCachesDirectory);
    std::string path = directoryMadeIfMissing(NSString::stringByAppendingPathComponent(firstUserSearchPath(NSApplicationSupportDirectory),
                                                                                 kDataDirectoryName));
    addSkipBackupAttributeToItemAtURL(NSURL::fileURLWithPath(path, true));
    // Once per run: what a killed run was writing here is of no use to anyone.
    static std::once_flag swept;
    std::call_once(swept, [&path] { NSSweepTemporaryFiles(path, NSTemporaryNames::WritersAndEarlierStores); });
    return path;
}

std::string VuderuUtil::oldFilePathDirectoryUptilAgentVersion109() {
    if (getSystemVersionAsAnInteger() > kSystemVersionOldDirectoryInLibrary) {
        return directoryMadeIfMissing(NSString::stringByAppendingPathComponent(firstUserSearchPath(NSLibraryDirectory), kDataDirectoryName));
    }
    return firstUserSearchPath(NSCachesDirectory);
}

bool VuderuUtil::addSkipBackupAttributeToItemAtURL(const NSURLPtr& url) {
    if (getSystemVersionAsAnInteger() < kSystemVersionSkipBackup) return false;
    if (!url || !url->isFileURL()) return false;
    const std::uint8_t skip = 1;
    std::string host = NSString::fileSystemRepresentation(url->path());
    return ::setxattr(host.c_str(), kSkipBackupAttribute, &skip, sizeof skip, 0) == 0;
}

std::uint64_t VuderuUtil::getFreeDiskspace() {
    auto attributes = documentsFileSystem();
    return attributes ? attributes->systemFreeSize : 0;
}

std::uint64_t VuderuUtil::getDiskSize() {
    auto attributes = documentsFileSystem();
    return attributes ? attributes->systemSize : 0;
}

bool VuderuUtil::updateIfChangedCookieValueForCookieKey(const NSDataPtr& value, const NSDataPtr& key) {
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    Value::Dictionary* cookies = storage->persistentCookiesMap();
    if (!cookies || !key) return false;
    std::string cookieKey(key->stringView());
    if (!value || value->length() == 0) {
        cookies->erase(cookieKey);
        return true;
    }
    auto found = cookies->find(cookieKey);
    if (found == cookies->end()) {
        if (cookies->size() >= static_cast<std::size_t>(MAX_COOKIES)) return false;
        (*cookies)[cookieKey] = Value(value->vector());
        return true;
    }
    if (found->second.isData() && found->second.data() == value->vector()) return false;
    found->second = Value(value->vector());
    return true;
}

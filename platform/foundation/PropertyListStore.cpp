#include "platform/foundation/PropertyListStore.h"

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/StoreFile.h"
#include "platform/foundation/WholeFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const std::string kLockSuffix = ".lock";

// The lock file beside the store, hidden as the platform's bookkeeping files are.
std::string lockPath(const std::string& hostPath) {
    return NSString::stringByDeletingLastPathComponent(hostPath) + "/." + NSString::lastPathComponent(hostPath) + kLockSuffix;
}
const std::string kCorruptSuffix = ".corrupt";
constexpr mode_t kFolderMode = 0755;
constexpr mode_t kFileMode = 0644;

void makeHostFolders(const std::string& hostFolder) {
    for (std::size_t i = 1; i <= hostFolder.size(); ++i) {
        if (i == hostFolder.size() || hostFolder[i] == '/') ::mkdir(hostFolder.substr(0, i).c_str(), kFolderMode);
    }
}

// An exclusive flock on the store's lock file for the life of the object. Without a lock file
// (a read-only folder) the store still works within the process.
class FileLock {
public:
    explicit FileLock(const std::string& hostPath) {
        fd_ = ::open(hostPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};
} // namespace

PropertyListStore::PropertyListStore(std::string devicePath, NSPropertyListFormat format)
    : path_(std::move(devicePath)), format_(format) {
    // Writes of a process killed half-way leave their temporaries beside the store; the store's
    // folder is shared (Library, Preferences, Keychains), and only its own temporaries go.
    NSSweepStoreTemporaryFiles(path_);
}

std::optional<Value::Dictionary> PropertyListStore::load(NSErrorPtr* readError) {
    NSErrorPtr error;
    NSDataPtr data = NSDataWithContentsOfStoreFile(path_, &error);
    const auto moveAside = [this](const std::string& why) {
        std::string host = NSString::fileSystemRepresentation(path_);
        NSLog("PropertyListStore: %@ %@; moved to %@", path_, why, path_ + kCorruptSuffix);
        ::rename(host.c_str(), (host + kCorruptSuffix).c_str());
        return Value::Dictionary{};
    };
    if (!data) {
        if (!error || error->code() == NSFileReadNoSuchFileError) return Value::Dictionary{};
        // Far larger than any store: damaged, and never read into memory.
        if (error->code() == NSFileReadTooLargeError) return moveAside("is too large for a store");
        NSLog("PropertyListStore: cannot read %@: %@", path_, error->localizedDescription());
        NSErrorSet(readError, error);
        return std::nullopt;
    }
    if (data->length() == 0) return Value::Dictionary{};
    auto plist = NSPropertyListSerialization::propertyListWithData(*data, NSPropertyListMutableContainersAndLeaves, nullptr, &error);
    if (plist && plist->isDictionary()) return std::move(plist->dictionary());
    return moveAside("is not a property list of a dictionary");
}

Value::Dictionary PropertyListStore::read() { return contents().value_or(Value::Dictionary{}); }

std::optional<Value::Dictionary> PropertyListStore::contents(NSErrorPtr* error) {
    std::lock_guard<std::mutex> guard(lock_);
    std::string host = NSString::fileSystemRepresentation(path_);
    makeHostFolders(NSString::stringByDeletingLastPathComponent(host));
    FileLock fileLock(lockPath(host));
    return load(error);
}

bool PropertyListStore::update(const std::function<bool(Value::Dictionary&)>& change, NSErrorPtr* error) {
    std::lock_guard<std::mutex> guard(lock_);
    std::string host = NSString::fileSystemRepresentation(path_);
    makeHostFolders(NSString::stringByDeletingLastPathComponent(host));
    FileLock fileLock(lockPath(host));
    NSErrorPtr readFailure;
    std::optional<Value::Dictionary> loaded = load(&readFailure);
    if (!loaded) {
        // Writing the change over a store that could not be read would lose everything else in it.
        NSErrorSet(error, readFailure);
        return false;
    }
    Value::Dictionary contents = std::move(*loaded);
    if (!change(contents)) return true;
    NSErrorPtr failure;
    if (!NSPropertyListSerialization::writePropertyListToFile(Value(std::move(contents)), path_, true, format_, &failure)) {
        NSLog("PropertyListStore: cannot write %@: %@", path_, failure ? failure->localizedDescription() : std::string());
        NSErrorSet(error, failure);
        return false;
    }
    return true;
}

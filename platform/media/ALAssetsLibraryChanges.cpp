// The library's change watch: inotify on the media folder, the camera roll's folder tree and
// every album folder tree, read by one thread for the life of the process. Each batch of events
// becomes one ALAssetsLibraryChangedNotification posted from that thread.
#include "platform/media/ALAssetsLibrary.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSString.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {
constexpr char kMediaFolder[] = "/var/mobile/Media";
constexpr std::uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB |
                                  IN_DELETE_SELF | IN_ONLYDIR;

// What a watched folder stands for: the media folder itself, the albums' folder, or a folder of
// the camera roll or of one album (named by the group's folder).
struct Watched {
    enum class Role { Media, Albums, Group } role;
    std::string deviceFolder;
    std::string groupFolder;
};

class Watch {
public:
    void start() {
        fd_ = inotify_init1(IN_CLOEXEC);
        if (fd_ < 0) return;
        add(kMediaFolder, {Watched::Role::Media, kMediaFolder, ""});
        add(ALAssetsLibraryStore::kAlbumsFolder, {Watched::Role::Albums, ALAssetsLibraryStore::kAlbumsFolder, ""});
        addTree(ALAssetsLibraryStore::kCameraRollFolder, ALAssetsLibraryStore::kCameraRollFolder);
        for (const std::string& name : ALAssetsLibraryStore::albumNames()) {
            const std::string folder = NSString::stringByAppendingPathComponent(ALAssetsLibraryStore::kAlbumsFolder, name);
            addTree(folder, folder);
        }
        std::thread([this] { run(); }).detach();
    }

private:
    struct Changes {
        std::set<std::string> updated, inserted, deleted; // group folders
    };

    void add(const std::string& deviceFolder, Watched watched) {
        const std::string host = DeviceRoot::hostPath(deviceFolder);
        if (host.empty()) return;
        const int wd = inotify_add_watch(fd_, host.c_str(), kEvents);
        if (wd >= 0) watches_[wd] = std::move(watched);
    }

    void addTree(const std::string& deviceFolder, const std::string& groupFolder) {
        add(deviceFolder, {Watched::Role::Group, deviceFolder, groupFolder});
        auto subpaths = NSFileManager::defaultManager()->subpathsOfDirectoryAtPath(deviceFolder, nullptr);
        if (!subpaths) return;
        for (const std::string& subpath : *subpaths) {
            const std::string path = NSString::stringByAppendingPathComponent(deviceFolder, subpath);
            bool folder = false;
            if (NSFileManager::defaultManager()->fileExistsAtPath(path, &folder) && folder)
                add(path, {Watched::Role::Group, path, groupFolder});
        }
    }

    void note(const inotify_event& event, Changes& changes) {
        auto it = watches_.find(event.wd);
        if (it == watches_.end()) return;
        const Watched watched = it->second;
        if (event.mask & IN_IGNORED) {
            watches_.erase(it);
            return;
        }
        const std::string name = event.len ? std::string(event.name) : std::string();
        const std::string path = name.empty() ? watched.deviceFolder : NSString::stringByAppendingPathComponent(watched.deviceFolder, name);
        const bool folderCame = (event.mask & IN_ISDIR) && (event.mask & (IN_CREATE | IN_MOVED_TO));
        const bool folderWent = (event.mask & IN_ISDIR) && (event.mask & (IN_DELETE | IN_MOVED_FROM));
        switch (watched.role) {
        case Watched::Role::Media:
            if (folderCame && name == NSString::lastPathComponent(ALAssetsLibraryStore::kCameraRollFolder)) {
                addTree(path, path);
                changes.updated.insert(path);
            } else if (folderCame && name == NSString::lastPathComponent(ALAssetsLibraryStore::kAlbumsFolder)) {
                add(path, {Watched::Role::Albums, path, ""});
            }
            break;
        case Watched::Role::Albums:
            if (folderCame) {
                addTree(path, path);
                changes.inserted.insert(path);
            } else if (folderWent) {
                changes.deleted.insert(path);
            }
            break;
        case Watched::Role::Group:
            if (folderCame) addTree(path, watched.groupFolder);
            if (!(event.mask & IN_DELETE_SELF)) changes.updated.insert(watched.groupFolder);
            break;
        }
    }

    static Value urlsOf(const std::set<std::string>& folders) {
        Value::Array urls;
        urls.reserve(folders.size());
        for (const std::string& folder : folders)
            urls.emplace_back(NSURL::URLWithString("assets-library://group/?id=" + ALAssetsLibraryStore::identifierOf(folder)));
        return urls;
    }

    void run() {
        alignas(inotify_event) char buffer[16 * 1024];
        for (;;) {
            const ssize_t length = ::read(fd_, buffer, sizeof buffer);
            if (length <= 0) return;
            Changes changes;
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                note(*event, changes);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
            for (const std::string& gone : changes.deleted) changes.updated.erase(gone);
            for (const std::string& added : changes.inserted) changes.updated.erase(added);
            if (changes.updated.empty() && changes.inserted.empty() && changes.deleted.empty()) continue;
            Value::Dictionary userInfo;
            if (!changes.updated.empty()) userInfo[ALAssetLibraryUpdatedAssetGroupsKey] = urlsOf(changes.updated);
            if (!changes.inserted.empty()) userInfo[ALAssetLibraryInsertedAssetGroupsKey] = urlsOf(changes.inserted);
            if (!changes.deleted.empty()) userInfo[ALAssetLibraryDeletedAssetGroupsKey] = urlsOf(changes.deleted);
            NSNotificationCenter::defaultCenter()->postNotificationName(ALAssetsLibraryChangedNotification, nullptr, userInfo);
        }
    }

    int fd_ = -1;
    std::map<int, Watched> watches_; // touched by the start and then the watch thread alone
};
} // namespace

void ALAssetsLibraryStartWatchingChanges() {
    static std::once_flag once;
    // Lives as long as the process, as its thread does.
    static Watch* watch = new Watch;
    std::call_once(once, [] { watch->start(); });
}

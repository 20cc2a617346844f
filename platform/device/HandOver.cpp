#include "platform/device/HandOver.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIApplication.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::size_t kCopyChunk = 1 << 20;
constexpr mode_t kCopyMode = 0644;
// Enough numbered names for any inbox a person fills.
constexpr int kMaxNameNumber = 10000;

std::string numberedName(const std::string& name, int number) {
    if (number == 1) return name;
    std::string extension = NSString::pathExtension(name);
    std::string stem = extension.empty() ? name : name.substr(0, name.size() - extension.size() - 1);
    std::string numbered = stem + "-" + std::to_string(number);
    return extension.empty() ? numbered : numbered + "." + extension;
}

bool copyAll(int from, int to) {
    std::string buffer(kCopyChunk, '\0');
    for (;;) {
        ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        for (ssize_t written = 0; written < n;) {
            ssize_t w = ::write(to, buffer.data() + written, static_cast<std::size_t>(n - written));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return false;
            written += w;
        }
    }
}
} // namespace

std::optional<std::string> HandOver::copyIntoInbox(const std::string& hostPath, std::string& error) {
    int source = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        error = "cannot read " + hostPath + ": " + std::strerror(errno);
        return std::nullopt;
    }
    DeviceRoot::Descriptor sourceHeld(source);
    struct stat st;
    if (::fstat(source, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = hostPath + " is not a file (only files can be handed over)";
        return std::nullopt;
    }
    NSFileManager::defaultManager()->createDirectoryAtPath(kInboxPath, true, nullptr, nullptr);
    const std::string name = NSString::lastPathComponent(hostPath);
    for (int number = 1; number <= kMaxNameNumber; ++number) {
        std::string devicePath = NSString::stringByAppendingPathComponent(kInboxPath, numberedName(name, number));
        // Created anew or not at all, so a file already in the inbox is never written over.
        auto target = DeviceRoot::open(devicePath, O_WRONLY | O_CREAT | O_EXCL, kCopyMode);
        if (!target && errno == EEXIST) continue;
        if (!target) {
            error = "cannot write " + devicePath + ": " + std::strerror(errno);
            return std::nullopt;
        }
        if (!copyAll(source, target.get())) {
            error = "cannot copy " + hostPath + ": " + std::strerror(errno);
            NSFileManager::defaultManager()->removeItemAtPath(devicePath, nullptr);
            return std::nullopt;
        }
        return devicePath;
    }
    error = "no free name for " + name + " in " + kInboxPath;
    return std::nullopt;
}

bool HandOver::handOverFile(const std::string& hostPath, const std::string& sourceApplication, std::string& error) {
    auto copy = copyIntoInbox(hostPath, error);
    if (!copy) return false;
    UIApplication::sharedApplication()->handleOpenURL(NSURL::fileURLWithPath(*copy), sourceApplication);
    return true;
}

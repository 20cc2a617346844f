#include "platform/device/HandOver.h"

#include "platform/foundation/FileCopy.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/WholeFile.h"
#include "platform/uikit/UIApplication.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
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
} // namespace

std::optional<std::string> HandOver::copyIntoInbox(const std::string& hostPath, std::string& error) {
    // Opened without waiting: a FIFO or a device handed over is refused at once, not read.
    NSRegularFile source = NSOpenRegularFileAt(AT_FDCWD, hostPath);
    if (!source) {
        error = source.notRegular ? hostPath + " is not a file (only files can be handed over)"
                                  : "cannot read " + hostPath + ": " + std::strerror(source.errnum);
        return std::nullopt;
    }
    NSFileManager::defaultManager()->createDirectoryAtPath(kInboxPath, true, nullptr, nullptr);
    NSSweepTemporaryFiles(kInboxPath, NSTemporaryNames::Writers);
    const std::string name = NSString::lastPathComponent(hostPath);
    // The copy appears in the inbox whole, under the first free name, or not at all.
    WholeFileWriter copy;
    if (int e = copy.begin(NSString::stringByAppendingPathComponent(kInboxPath, name), kCopyMode)) {
        error = "cannot write into " + std::string(kInboxPath) + ": " + std::strerror(e);
        return std::nullopt;
    }
    if (int e = NSCopyFileContents(source.fd.get(), copy.fd())) {
        error = "cannot copy " + hostPath + ": " + std::strerror(e);
        return std::nullopt;
    }
    for (int number = 1; number <= kMaxNameNumber; ++number) {
        copy.setFinalName(numberedName(name, number));
        int e = copy.commit(WholeFileWriter::Sync::None, WholeFileWriter::Existing::Keep);
        if (e == 0) return NSString::stringByAppendingPathComponent(kInboxPath, numberedName(name, number));
        if (e != EEXIST) {
            error = "cannot write into " + std::string(kInboxPath) + ": " + std::strerror(e);
            return std::nullopt;
        }
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

#include "platform/foundation/WholeFile.h"

#include "platform/foundation/FileItems.h"
#include "platform/foundation/NSData.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {
constexpr const char* kPrefix = ".tdpart-";
constexpr std::size_t kMaxNameBytes = NAME_MAX;
// The field of /proc/PID/stat holding the process's start time, counted after the command name.
constexpr int kStartTimeField = 22;
// The mark a writer sets on its temporary: an extended attribute holding the temporary's own name.
// A name alone may be a user's file (anything can be handed over); a file whose mark names it was
// made by a writer, and once renamed to its final name its mark no longer matches.
constexpr const char* kPartialMark = "user.tandrel.partial";

std::optional<unsigned long long> startTimeOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return std::nullopt;
    // The command name may hold spaces and parentheses; the fields after its last ")" do not.
    auto close = line.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int number = 3; number <= kStartTimeField && fields >> field; ++number) {
        if (number == kStartTimeField) return std::strtoull(field.c_str(), nullptr, 10);
    }
    return std::nullopt;
}

bool processRuns(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

// This process's part of a temporary name. The start time is read from /proc once per process,
// not at every write; a child made by fork has another id and reads its own. The start time is
// stored before the id it belongs to, so a thread that sees the id sees that process's time.
std::atomic<pid_t> taggedPid{0};
std::atomic<unsigned long long> taggedStartTime{0};

std::string ownerTag() {
    const pid_t pid = ::getpid();
    if (taggedPid.load(std::memory_order_acquire) != pid) {
        taggedStartTime.store(startTimeOf(pid).value_or(0), std::memory_order_relaxed);
        taggedPid.store(pid, std::memory_order_release);
    }
    return std::to_string(pid) + "." + std::to_string(taggedStartTime.load(std::memory_order_relaxed));
}

std::string makeTemporaryName(const std::string& name) {
    static std::atomic<unsigned> sequence{0};
    std::string head = kPrefix + ownerTag() + "-" + std::to_string(sequence++) + "-";
    const std::size_t room = kMaxNameBytes > head.size() ? kMaxNameBytes - head.size() : 0;
    if (name.size() <= room) return head + name;
    // Cut to fit, keeping the extension: libraries that open the temporary by name choose the
    // file's format by it.
    const auto dot = name.rfind('.');
    const std::size_t extension = dot == std::string::npos || dot == 0 ? 0 : name.size() - dot;
    if (extension > 0 && extension < room) return head + name.substr(0, room - extension) + name.substr(dot);
    return head + name.substr(0, room);
}

bool allDigits(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s) {
        if (!std::isdigit(c)) return false;
    }
    return true;
}

std::optional<long long> number(const std::string& s) {
    if (!allDigits(s) || s.size() > 18) return std::nullopt;
    return std::stoll(s);
}

// What a temporary name says of its writer: its id, and its start time when the name holds one.
struct Owner {
    pid_t pid;
    std::optional<unsigned long long> startTime;
};

std::optional<Owner> ownerOf(const std::string& name, NSTemporaryNames names) {
    if (name.rfind(kPrefix, 0) == 0) {
        std::string rest = name.substr(std::char_traits<char>::length(kPrefix));
        auto dot = rest.find('.'), dash = rest.find('-');
        if (dot == std::string::npos || dash == std::string::npos || dot > dash) return std::nullopt;
        auto pid = number(rest.substr(0, dot));
        auto start = number(rest.substr(dot + 1, dash - dot - 1));
        auto secondDash = rest.find('-', dash + 1);
        if (!pid || !start || secondDash == std::string::npos || !number(rest.substr(dash + 1, secondDash - dash - 1))) return std::nullopt;
        return Owner{static_cast<pid_t>(*pid), static_cast<unsigned long long>(*start)};
    }
    // The earlier writers' names: ".clipvane-PID-N.download" and "NAME.tmp-PID-N".
    std::string numbers;
    const std::string clipvane = ".clipvane-", download = ".download", atomic = ".tmp-";
    if (name.rfind(clipvane, 0) == 0 && name.size() > clipvane.size() + download.size() &&
        name.compare(name.size() - download.size(), download.size(), download) == 0) {
        numbers = name.substr(clipvane.size(), name.size() - clipvane.size() - download.size());
    } else if (auto at = name.rfind(atomic); names == NSTemporaryNames::WritersAndEarlierStores && at != std::string::npos && at > 0) {
        numbers = name.substr(at + atomic.size());
    } else {
        return std::nullopt;
    }
    auto dash = numbers.find('-');
    if (dash == std::string::npos) return std::nullopt;
    auto pid = number(numbers.substr(0, dash));
    if (!pid || !number(numbers.substr(dash + 1))) return std::nullopt;
    return Owner{static_cast<pid_t>(*pid), std::nullopt};
}

bool ownerRuns(const Owner& owner) {
    if (!processRuns(owner.pid)) return false;
    if (!owner.startTime || *owner.startTime == 0) return true;
    // A running process of the same id that started at another time took over a dead one's id.
    auto start = startTimeOf(owner.pid);
    return !start || *start == *owner.startTime;
}

bool carriesPartialMark(int folder, const std::string& name) {
    const std::string path = DeviceRoot::procPath(folder) + "/" + name;
    char value[NAME_MAX + 1];
    const ssize_t n = ::lgetxattr(path.c_str(), kPartialMark, value, sizeof value);
    return n >= 0 && std::string(value, static_cast<std::size_t>(n)) == name;
}

// What stands at a name that a replacing commit would take: nothing, or a regular file. A link
// is never followed nor replaced, and a folder, FIFO, socket or device is nothing to replace.
int replaceableTarget(int folder, const std::string& name) {
    struct stat st{};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISREG(st.st_mode)) return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
}

int syncFolder(int folder) {
    DeviceRoot::Descriptor readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!readable) return errno;
    return ::fsync(readable.get()) == 0 ? 0 : errno;
}

// renameat2's RENAME_NOREPLACE where the file system has it; a hard link (which never replaces)
// then the removal of the temporary elsewhere.
int renameKeepingExisting(int folder, const std::string& from, const std::string& to) {
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0) return errno;
    ::unlinkat(folder, from.c_str(), 0);
    return 0;
}
} // namespace

WholeFileWriter::WholeFileWriter(WholeFileWriter&& other) noexcept
    : folder_(std::move(other.folder_)), file_(std::move(other.file_)), name_(std::move(other.name_)),
      temporary_(std::move(other.temporary_)) {
    other.temporary_.clear();
}

WholeFileWriter& WholeFileWriter::operator=(WholeFileWriter&& other) noexcept {
    if (this != &other) {
        discard();
        folder_ = std::move(other.folder_);
        file_ = std::move(other.file_);
        name_ = std::move(other.name_);
        temporary_ = std::move(other.temporary_);
        other.temporary_.clear();
    }
    return *this;
}

WholeFileWriter::~WholeFileWriter() { discard(); }

int WholeFileWriter::beginAt(int folder, const std::string& name, mode_t mode) {
    discard();
    if (name.empty()) return EISDIR;
    std::string folderPath = ".", finalName = name;
    if (folder == AT_FDCWD) {
        auto slash = name.rfind('/');
        if (slash != std::string::npos) {
            folderPath = slash == 0 ? "/" : name.substr(0, slash);
            finalName = name.substr(slash + 1);
        }
        if (finalName.empty()) return EISDIR;
    }
    DeviceRoot::Descriptor held(::openat(folder, folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!held) return errno;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = makeTemporaryName(finalName);
        int fd = ::openat(held.get(), temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return errno;
        // The mode asked for, whatever the umask.
        ::fchmod(fd, mode);
        // Marked as the writer's own where the file system keeps extended attributes; an unmarked
        // temporary a kill leaves is never swept from a folder of the user's files.
        ::fsetxattr(fd, kPartialMark, temporary.data(), temporary.size(), 0);
        folder_ = std::move(held);
        file_ = DeviceRoot::Descriptor(fd);
        name_ = finalName;
        temporary_ = temporary;
        return 0;
    }
    return EEXIST;
}

int WholeFileWriter::begin(const std::string& devicePath, mode_t mode) {
    auto parent = DeviceRoot::openParent(devicePath);
    if (!parent) return errno;
    if (parent->name.empty()) return EISDIR;
    return beginAt(parent->folder.get(), parent->name, mode);
}

std::string WholeFileWriter::temporaryHostPath() const { return DeviceRoot::procPath(folder_.get()) + "/" + temporary_; }

int WholeFileWriter::commit(Sync sync, Existing existing) {
    if (temporary_.empty()) return EBADF;
    int e = 0;
    if (file_) {
        if (sync == Sync::Durable && ::fsync(file_.get()) != 0) e = errno;
        if (::close(file_.release()) != 0 && !e) e = errno;
    }
    if (!e && existing == Existing::Replace) e = replaceableTarget(folder_.get(), name_);
    if (!e) {
        e = existing == Existing::Keep ? renameKeepingExisting(folder_.get(), temporary_, name_)
                                       : (::renameat(folder_.get(), temporary_.c_str(), folder_.get(), name_.c_str()) == 0 ? 0 : errno);
        if (e == EEXIST && existing == Existing::Keep) return e;
    }
    if (e) {
        discard();
        return e;
    }
    temporary_.clear();
    // The published file keeps no mark of the writer's (it would not match its name anyway).
    ::lremovexattr((DeviceRoot::procPath(folder_.get()) + "/" + name_).c_str(), kPartialMark);
    if (sync == Sync::Durable) syncFolder(folder_.get());
    return 0;
}

void WholeFileWriter::discard() {
    file_ = DeviceRoot::Descriptor();
    if (!temporary_.empty()) ::unlinkat(folder_.get(), temporary_.c_str(), 0);
    temporary_.clear();
}

int NSWriteWholeFileAt(int folder, const std::string& name, const void* bytes, std::size_t length, WholeFileWriter::Sync sync) {
    WholeFileWriter writer;
    if (int e = writer.beginAt(folder, name)) return e;
    if (int e = NSWriteAll(writer.fd(), bytes, length)) return e;
    return writer.commit(sync);
}

std::string NSWholeFileErrorText(int errnum) {
    if (errnum == EINVAL || errnum == EISDIR) return "it is not a regular file (only a regular file is replaced)";
    return std::strerror(errnum);
}

bool NSIsTemporaryFileName(const std::string& name, NSTemporaryNames names) { return ownerOf(name, names).has_value(); }

std::size_t NSSweepTemporaryFilesAt(int folder, NSTemporaryNames names) {
    int errnum = 0;
    FileItems::DirHandle dir = FileItems::openDirectoryAt(folder, ".", errnum);
    if (!dir) return 0;
    std::size_t removed = 0;
    while (dirent* entry = ::readdir(dir.get())) {
        auto owner = ownerOf(entry->d_name, names);
        if (!owner || ownerRuns(*owner)) continue;
        struct stat st{};
        // Only files: a folder or a link of such a name is nothing a writer made.
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        // In a folder of the user's files a name proves nothing: only a writer's mark does. The
        // stores the program alone writes take the names as they stand.
        if (names == NSTemporaryNames::Writers && !carriesPartialMark(::dirfd(dir.get()), entry->d_name)) continue;
        if (::unlinkat(::dirfd(dir.get()), entry->d_name, 0) == 0) ++removed;
    }
    return removed;
}

std::size_t NSSweepTemporaryFiles(const std::string& deviceFolder, NSTemporaryNames names) {
    DeviceRoot::Descriptor folder = DeviceRoot::open(deviceFolder, O_RDONLY | O_DIRECTORY);
    if (!folder) return 0;
    return NSSweepTemporaryFilesAt(folder.get(), names);
}

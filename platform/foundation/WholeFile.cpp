#include "platform/foundation/WholeFile.h"

#include "platform/foundation/FileItems.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/SharedInstance.h"
#include "platform/foundation/ThreadSafety.h"

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
#include <map>
#include <mutex>
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

// The shapes of temporary names: the whole-file writer's, the earlier video download's
// ".clipvane-PID-N.download" and the earlier atomic writer's "NAME.tmp-PID-N".
enum class TemporaryKind { Writer, EarlierDownload, EarlierStoreWrite };

struct TemporaryName {
    TemporaryKind kind;
    Owner owner;
    // The name of the file it was to become, where the name says (the writer's may be cut to fit).
    std::string of;
};

std::optional<TemporaryName> parseTemporaryName(const std::string& name) {
    if (name.rfind(kPrefix, 0) == 0) {
        std::string rest = name.substr(std::char_traits<char>::length(kPrefix));
        auto dot = rest.find('.'), dash = rest.find('-');
        if (dot == std::string::npos || dash == std::string::npos || dot > dash) return std::nullopt;
        auto pid = number(rest.substr(0, dot));
        auto start = number(rest.substr(dot + 1, dash - dot - 1));
        auto secondDash = rest.find('-', dash + 1);
        if (!pid || !start || secondDash == std::string::npos || !number(rest.substr(dash + 1, secondDash - dash - 1))) return std::nullopt;
        return TemporaryName{TemporaryKind::Writer, Owner{static_cast<pid_t>(*pid), static_cast<unsigned long long>(*start)},
                             rest.substr(secondDash + 1)};
    }
    std::string numbers, of;
    TemporaryKind kind;
    const std::string clipvane = ".clipvane-", download = ".download", atomic = ".tmp-";
    if (name.rfind(clipvane, 0) == 0 && name.size() > clipvane.size() + download.size() &&
        name.compare(name.size() - download.size(), download.size(), download) == 0) {
        kind = TemporaryKind::EarlierDownload;
        numbers = name.substr(clipvane.size(), name.size() - clipvane.size() - download.size());
    } else if (auto at = name.rfind(atomic); at != std::string::npos && at > 0) {
        kind = TemporaryKind::EarlierStoreWrite;
        numbers = name.substr(at + atomic.size());
        of = name.substr(0, at);
    } else {
        return std::nullopt;
    }
    auto dash = numbers.find('-');
    if (dash == std::string::npos) return std::nullopt;
    auto pid = number(numbers.substr(0, dash));
    if (!pid || !number(numbers.substr(dash + 1))) return std::nullopt;
    return TemporaryName{kind, Owner{static_cast<pid_t>(*pid), std::nullopt}, of};
}

// Which names a sweep looks at, and which of them it may take without a writer's mark: in a
// folder the program alone writes, every shape but the download's; beside a store, only the
// temporaries of the store's own name.
struct SweepRule {
    NSTemporaryNames names;
    const std::string* store = nullptr;

    bool considers(const TemporaryName& t) const {
        switch (t.kind) {
        case TemporaryKind::Writer: return true;
        case TemporaryKind::EarlierDownload: return !store && names == NSTemporaryNames::Writers;
        case TemporaryKind::EarlierStoreWrite: return store || names == NSTemporaryNames::WritersAndEarlierStores;
        }
        return false;
    }
    bool takesUnmarked(const TemporaryName& t) const {
        if (store) return t.of == *store;
        return names == NSTemporaryNames::WritersAndEarlierStores;
    }
};

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

// The temporaries of this process's open writers, so that a clean end of the process takes them
// whichever thread is writing them. An entry borrows its writer's folder descriptor, which stays
// open until the writer takes the entry out. A child made by fork inherits the entries of its
// parent, and leaves them alone.
struct UnfinishedFile {
    pid_t pid;
    int folder;
    std::string name;
    bool reserved;
};

struct UnfinishedFiles {
    Mutex lock;
    std::map<std::uint64_t, UnfinishedFile> files TD_GUARDED_BY(lock);
    std::uint64_t lastTicket TD_GUARDED_BY(lock) = 0;
    // The process that has ended: its writers begin and commit nothing more.
    pid_t ended TD_GUARDED_BY(lock) = 0;

    // Whether a name is one this process reserved for a library's file.
    bool isReserved(const std::string& name) const TD_REQUIRES(lock) {
        const pid_t self = ::getpid();
        for (const auto& entry : files) {
            if (entry.second.reserved && entry.second.pid == self && entry.second.name == name) return true;
        }
        return false;
    }
};

UnfinishedFiles& unfinishedFiles() {
    static NeverDestroyed<UnfinishedFiles> files;
    return *files;
}

// Run as the process ends (exit, quick_exit), on whichever thread ends it.
void discardUnfinishedFiles() {
    UnfinishedFiles& unfinished = unfinishedFiles();
    MutexLock guard(unfinished.lock);
    const pid_t self = ::getpid();
    unfinished.ended = self;
    for (auto it = unfinished.files.begin(); it != unfinished.files.end();) {
        if (it->second.pid != self) {
            ++it;
            continue;
        }
        ::unlinkat(it->second.folder, it->second.name.c_str(), 0);
        it = unfinished.files.erase(it);
    }
}

// A ticket for a new temporary; 0 once the process has ended.
std::uint64_t addUnfinishedFile(int folder, const std::string& name, bool reserved) {
    static std::once_flag atEnd;
    std::call_once(atEnd, [] {
        std::atexit(discardUnfinishedFiles);
        std::at_quick_exit(discardUnfinishedFiles);
    });
    UnfinishedFiles& unfinished = unfinishedFiles();
    MutexLock guard(unfinished.lock);
    const pid_t self = ::getpid();
    if (unfinished.ended == self) return 0;
    const std::uint64_t ticket = ++unfinished.lastTicket;
    unfinished.files[ticket] = UnfinishedFile{self, folder, name, reserved};
    return ticket;
}
} // namespace

WholeFileWriter::WholeFileWriter(WholeFileWriter&& other) noexcept
    : folder_(std::move(other.folder_)), file_(std::move(other.file_)), name_(std::move(other.name_)),
      temporary_(std::move(other.temporary_)), ticket_(other.ticket_) {
    other.temporary_.clear();
    other.ticket_ = 0;
}

WholeFileWriter& WholeFileWriter::operator=(WholeFileWriter&& other) noexcept {
    if (this != &other) {
        discard();
        folder_ = std::move(other.folder_);
        file_ = std::move(other.file_);
        name_ = std::move(other.name_);
        temporary_ = std::move(other.temporary_);
        ticket_ = other.ticket_;
        other.temporary_.clear();
        other.ticket_ = 0;
    }
    return *this;
}

WholeFileWriter::~WholeFileWriter() { discard(); }

int WholeFileWriter::start(DeviceRoot::Descriptor folder, const std::string& finalName, mode_t mode, bool create) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = makeTemporaryName(finalName);
        DeviceRoot::Descriptor file;
        if (create) {
            file = DeviceRoot::Descriptor(::openat(folder.get(), temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
            if (!file && errno == EEXIST) continue;
            if (!file) return errno;
            // The mode asked for, whatever the umask.
            ::fchmod(file.get(), mode);
            // Marked as the writer's own where the file system keeps extended attributes; an
            // unmarked temporary a kill leaves is never swept from a folder of the user's files.
            ::fsetxattr(file.get(), kPartialMark, temporary.data(), temporary.size(), 0);
        } else {
            struct stat st{};
            if (::fstatat(folder.get(), temporary.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) continue;
        }
        const std::uint64_t ticket = addUnfinishedFile(folder.get(), temporary, !create);
        if (ticket == 0) {
            if (file) ::unlinkat(folder.get(), temporary.c_str(), 0);
            return ECANCELED;
        }
        folder_ = std::move(folder);
        file_ = std::move(file);
        name_ = finalName;
        temporary_ = temporary;
        ticket_ = ticket;
        return 0;
    }
    return EEXIST;
}

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
    return start(std::move(held), finalName, mode, true);
}

int WholeFileWriter::begin(const std::string& devicePath, mode_t mode) {
    auto parent = DeviceRoot::openParent(devicePath);
    if (!parent) return errno;
    if (parent->name.empty()) return EISDIR;
    return beginAt(parent->folder.get(), parent->name, mode);
}

int WholeFileWriter::reserve(const std::string& devicePath) {
    discard();
    auto parent = DeviceRoot::openParent(devicePath);
    if (!parent) return errno;
    if (parent->name.empty()) return EISDIR;
    return start(std::move(parent->folder), parent->name, 0, false);
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
        UnfinishedFiles& unfinished = unfinishedFiles();
        MutexLock guard(unfinished.lock);
        if (!unfinished.files.count(ticket_)) {
            // The process's end took the temporary already: nothing is presented after it.
            e = ECANCELED;
        } else {
            e = existing == Existing::Keep ? renameKeepingExisting(folder_.get(), temporary_, name_)
                                           : (::renameat(folder_.get(), temporary_.c_str(), folder_.get(), name_.c_str()) == 0 ? 0 : errno);
            if (e == EEXIST && existing == Existing::Keep) return e;
        }
        if (!e) {
            unfinished.files.erase(ticket_);
            // The published file keeps no mark of the writer's (it would not match its name
            // anyway), except at a name this process reserved: that is a temporary still.
            const std::string published = DeviceRoot::procPath(folder_.get()) + "/" + name_;
            if (unfinished.isReserved(name_)) {
                ::lsetxattr(published.c_str(), kPartialMark, name_.data(), name_.size(), 0);
            } else {
                ::lremovexattr(published.c_str(), kPartialMark);
            }
        }
    }
    if (e) {
        discard();
        return e;
    }
    temporary_.clear();
    ticket_ = 0;
    if (sync == Sync::Durable) syncFolder(folder_.get());
    return 0;
}

void WholeFileWriter::discard() {
    file_ = DeviceRoot::Descriptor();
    if (!temporary_.empty()) {
        UnfinishedFiles& unfinished = unfinishedFiles();
        MutexLock guard(unfinished.lock);
        // Unless the process's end took it already.
        if (unfinished.files.erase(ticket_)) ::unlinkat(folder_.get(), temporary_.c_str(), 0);
    }
    temporary_.clear();
    ticket_ = 0;
}

int NSWriteWholeFileAt(int folder, const std::string& name, const void* bytes, std::size_t length, WholeFileWriter::Sync sync) {
    WholeFileWriter writer;
    if (int e = writer.beginAt(folder, name)) return e;
    if (int e = NSWriteAll(writer.fd(), bytes, length)) return e;
    return writer.commit(sync);
}

std::string NSWholeFileErrorText(int errnum) {
    if (errnum == EINVAL || errnum == EISDIR) return "it is not a regular file (only a regular file is replaced)";
    return NSFileErrorText(errnum);
}

std::string NSFileErrorText(int errnum) {
    if (errnum == ENODEV && DeviceRoot::root().empty()) {
        return "no device is set: device paths reach nothing until DeviceRoot::setRoot (or the TANDREL_DEVICE environment "
               "variable) names the host folder that stands for the device's \"/\"";
    }
    return std::strerror(errnum);
}

bool NSIsTemporaryFileName(const std::string& name, NSTemporaryNames names) {
    auto parsed = parseTemporaryName(name);
    return parsed && SweepRule{names}.considers(*parsed);
}

namespace {
std::size_t sweepFolder(int folder, const SweepRule& rule) {
    int errnum = 0;
    FileItems::DirHandle dir = FileItems::openDirectoryAt(folder, ".", errnum);
    if (!dir) return 0;
    std::size_t removed = 0;
    while (dirent* entry = ::readdir(dir.get())) {
        auto parsed = parseTemporaryName(entry->d_name);
        if (!parsed || !rule.considers(*parsed) || ownerRuns(parsed->owner)) continue;
        struct stat st{};
        // Only files: a folder or a link of such a name is nothing a writer made.
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        // A name proves nothing where anyone may put a file: only a writer's mark does.
        if (!rule.takesUnmarked(*parsed) && !carriesPartialMark(::dirfd(dir.get()), entry->d_name)) continue;
        if (::unlinkat(::dirfd(dir.get()), entry->d_name, 0) == 0) ++removed;
    }
    return removed;
}

// Sweeps the folders beneath `folder`, down to `depth` levels, while `folders` allows.
std::size_t sweepSubfolders(int folder, unsigned depth, std::size_t& folders) {
    if (depth == 0) return 0;
    int errnum = 0;
    FileItems::DirHandle dir = FileItems::openDirectoryAt(folder, ".", errnum);
    if (!dir) return 0;
    std::size_t removed = 0;
    while (dirent* entry = ::readdir(dir.get())) {
        if (folders == 0) break;
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)) continue;
        DeviceRoot::Descriptor sub(::openat(::dirfd(dir.get()), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!sub) continue;
        --folders;
        removed += sweepFolder(sub.get(), SweepRule{NSTemporaryNames::Writers});
        removed += sweepSubfolders(sub.get(), depth - 1, folders);
    }
    return removed;
}
} // namespace

std::size_t NSSweepTemporaryFilesAt(int folder, NSTemporaryNames names) { return sweepFolder(folder, SweepRule{names}); }

std::size_t NSSweepTemporaryFiles(const std::string& deviceFolder, NSTemporaryNames names) {
    DeviceRoot::Descriptor folder = DeviceRoot::open(deviceFolder, O_RDONLY | O_DIRECTORY);
    if (!folder) return 0;
    return NSSweepTemporaryFilesAt(folder.get(), names);
}

std::size_t NSSweepTemporaryFilesBeneath(const std::string& deviceFolder, NSTemporaryNames names, unsigned depth, std::size_t folders) {
    DeviceRoot::Descriptor folder = DeviceRoot::open(deviceFolder, O_RDONLY | O_DIRECTORY);
    if (!folder) return 0;
    return sweepFolder(folder.get(), SweepRule{names}) + sweepSubfolders(folder.get(), depth, folders);
}

std::size_t NSSweepStoreTemporaryFiles(const std::string& deviceStorePath) {
    auto parent = DeviceRoot::openParent(deviceStorePath);
    if (!parent || parent->name.empty()) return 0;
    DeviceRoot::Descriptor folder(::openat(parent->folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) return 0;
    return sweepFolder(folder.get(), SweepRule{NSTemporaryNames::Writers, &parent->name});
}

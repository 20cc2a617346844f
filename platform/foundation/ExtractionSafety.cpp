#include "platform/foundation/ExtractionSafety.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kNewFolderMode = 0777;
constexpr long kNanosecondsPerSecond = 1000000000L;

// Splits at "/", dropping empty and "." components.
std::vector<std::string_view> splitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        std::string_view part = path.substr(start, slash - start);
        if (!part.empty() && part != ".") parts.push_back(part);
        start = slash + 1;
    }
    return parts;
}

// Opens the folder `name` in `parent` without following a link in its place.
int openFolderAt(int parent, const char* name) { return ::openat(parent, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); }

ExtractionRefusal refusalOf(int errnum) { return errnum == ELOOP ? ExtractionRefusal::SymbolicLink : ExtractionRefusal::Other; }

void report(ExtractionRefusal* refusal, int* errnum, ExtractionRefusal what, int e) {
    if (refusal) *refusal = what;
    if (errnum) *errnum = e;
}

// The process's umask, read without changing it (umask(2) would, for every thread).
mode_t processUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

// What stands at `name` in `folder`, a link described rather than followed: its type, 0 for none.
mode_t typeAt(int folder, const char* name) {
    struct stat st{};
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    return st.st_mode & S_IFMT;
}

} // namespace

ScopedDescriptor& ScopedDescriptor::operator=(ScopedDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

ScopedDescriptor::~ScopedDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

int ScopedDescriptor::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

ExtractionBudget::ExtractionBudget(std::uint64_t archiveBytes, std::uint64_t maximumBytes, std::uint64_t maximumRatio)
    : limit_(maximumBytes) {
    // Ratio 0 sets no ratio; a product past the byte limit (or past 64 bits) leaves that limit.
    if (maximumRatio != 0 && archiveBytes <= maximumBytes / maximumRatio)
        limit_ = std::min(limit_, std::max(archiveBytes * maximumRatio, kRatioFloorBytes));
}

bool ExtractionBudget::charge(std::uint64_t declaredBytes) {
    const std::uint64_t blocks = declaredBytes / kBlockBytes + (declaredBytes % kBlockBytes != 0 || declaredBytes == 0 ? 1 : 0);
    if (blocks > (limit_ - charged_) / kBlockBytes) return false;
    charged_ += blocks * kBlockBytes;
    return true;
}

timespec timespecFromSeconds(double seconds) {
    double whole = std::floor(seconds);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(whole);
    ts.tv_nsec = static_cast<long>(std::llround((seconds - whole) * 1e9));
    if (ts.tv_nsec >= kNanosecondsPerSecond) {
        ts.tv_sec += 1;
        ts.tv_nsec -= kNanosecondsPerSecond;
    }
    return ts;
}

std::optional<std::vector<std::string>> extractionComponentsOfName(std::string_view name) {
    if (!name.empty() && name.front() == '/') return std::nullopt;
    if (name.find('\0') != std::string_view::npos) return std::nullopt;
    std::vector<std::string> components;
    for (std::string_view part : splitPath(name)) {
        if (part == "..") {
            if (components.empty()) return std::nullopt;
            components.pop_back();
            continue;
        }
        components.emplace_back(part);
    }
    return components;
}

bool extractionLinkTargetStaysInside(const std::vector<std::string>& components, std::string_view target) {
    if (components.empty() || target.empty() || target.front() == '/' || target.find('\0') != std::string_view::npos) return false;
    // The link's own folder is components minus the last; each leading ".." climbs one of them.
    std::size_t depth = components.size() - 1;
    bool named = false;
    for (std::string_view part : splitPath(target)) {
        if (part != "..") {
            named = true;
            continue;
        }
        if (named || depth == 0) return false;
        --depth;
    }
    return true;
}

std::optional<ExtractionDestination> ExtractionDestination::open(const std::string& hostPath, int* errnum) {
    int fd = ::open(hostPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (errnum) *errnum = errno;
        return std::nullopt;
    }
    return ExtractionDestination(ScopedDescriptor(fd));
}

ScopedDescriptor ExtractionDestination::folder(const std::vector<std::string>& components, std::size_t count, bool create,
                                               ExtractionRefusal* refusal, int* errnum) const {
    report(refusal, errnum, ExtractionRefusal::None, 0);
    ScopedDescriptor current(::fcntl(root_.get(), F_DUPFD_CLOEXEC, 0));
    if (!current.valid()) {
        report(refusal, errnum, ExtractionRefusal::Other, errno);
        return {};
    }
    for (std::size_t i = 0; i < count && i < components.size(); ++i) {
        const char* name = components[i].c_str();
        int fd = openFolderAt(current.get(), name);
        if (fd < 0 && errno == ENOENT && create) {
            // Made here, then opened without following: a link raced into its place is refused.
            if (::mkdirat(current.get(), name, kNewFolderMode) != 0 && errno != EEXIST) {
                report(refusal, errnum, ExtractionRefusal::Other, errno);
                return {};
            }
            fd = openFolderAt(current.get(), name);
        }
        if (fd < 0) {
            int e = errno;
            // O_PATH opens a link as itself, which O_DIRECTORY then refuses as "not a folder".
            if (e == ENOTDIR && typeAt(current.get(), name) == S_IFLNK) e = ELOOP;
            report(refusal, errnum, refusalOf(e), e);
            return {};
        }
        current = ScopedDescriptor(fd);
    }
    return current;
}

void ExtractionDestination::sweepOnce(int folder) const {
    struct stat st{};
    if (::fstat(folder, &st) != 0 || !swept_.emplace(st.st_dev, st.st_ino).second) return;
    NSSweepTemporaryFilesAt(folder, NSTemporaryNames::Writers);
}

ScopedDescriptor ExtractionDestination::parentOf(const std::vector<std::string>& components, ExtractionRefusal* refusal, int* errnum) const {
    if (components.empty()) {
        report(refusal, errnum, ExtractionRefusal::Other, EINVAL);
        return {};
    }
    return folder(components, components.size() - 1, true, refusal, errnum);
}

bool ExtractionDestination::itemExists(const std::vector<std::string>& components) const {
    if (components.empty()) return true;
    ScopedDescriptor parent = folder(components, components.size() - 1, false, nullptr, nullptr);
    return parent.valid() && typeAt(parent.get(), components.back().c_str()) != 0;
}

bool ExtractionDestination::beginFile(const std::vector<std::string>& components, mode_t mode, WholeFileWriter& writer,
                                      ExtractionRefusal* refusal, int* errnum) const {
    ScopedDescriptor parent = parentOf(components, refusal, errnum);
    if (!parent.valid()) return false;
    sweepOnce(parent.get());
    const char* name = components.back().c_str();
    // Only a regular file is replaced (a hard link to a file elsewhere too: the name is given
    // another file, the other is not written); what else stands there is refused before any write.
    const mode_t existing = typeAt(parent.get(), name);
    if (existing == S_IFLNK) {
        report(refusal, errnum, ExtractionRefusal::SymbolicLink, ELOOP);
        return false;
    }
    if (existing != 0 && existing != S_IFREG) {
        report(refusal, errnum, ExtractionRefusal::Other, existing == S_IFDIR ? EISDIR : EINVAL);
        return false;
    }
    if (int e = writer.beginAt(parent.get(), name, mode & ~processUmask())) {
        report(refusal, errnum, refusalOf(e), e);
        return false;
    }
    return true;
}

int ExtractionDestination::createSymbolicLink(const std::vector<std::string>& components, const std::string& target,
                                              ExtractionRefusal* refusal) const {
    int e = 0;
    ScopedDescriptor parent = parentOf(components, refusal, &e);
    if (!parent.valid()) return e;
    sweepOnce(parent.get());
    const char* name = components.back().c_str();
    // A file or link standing there is replaced by a rename of the new link onto it, so that it is
    // never gone without the link in its place; a folder, FIFO, socket or device stays.
    const mode_t existing = typeAt(parent.get(), name);
    if (existing == S_IFDIR) {
        e = EISDIR;
    } else if (existing != 0 && existing != S_IFREG && existing != S_IFLNK) {
        e = EINVAL;
    } else if (existing == 0) {
        if (::symlinkat(target.c_str(), parent.get(), name) != 0) e = errno;
    } else {
        static std::atomic<unsigned> sequence{0};
        const std::string beside = ".tdlink-" + std::to_string(::getpid()) + "-" + std::to_string(sequence++);
        if (::symlinkat(target.c_str(), parent.get(), beside.c_str()) != 0) {
            e = errno;
        } else if (::renameat(parent.get(), beside.c_str(), parent.get(), name) != 0) {
            e = errno;
            ::unlinkat(parent.get(), beside.c_str(), 0);
        }
    }
    if (e != 0) report(refusal, nullptr, ExtractionRefusal::Other, e);
    return e;
}

int ExtractionDestination::setFolderAttributes(const std::vector<std::string>& components, std::optional<double> modificationDate,
                                               std::optional<mode_t> permissions) const {
    if (components.empty()) return EINVAL;
    int e = 0;
    ScopedDescriptor parent = folder(components, components.size() - 1, false, nullptr, &e);
    if (!parent.valid()) return e;
    const char* name = components.back().c_str();
    // Checked first because fchmodat cannot be told not to follow a link.
    if (typeAt(parent.get(), name) != S_IFDIR) return ENOTDIR;
    if (permissions && ::fchmodat(parent.get(), name, *permissions, 0) != 0) return errno;
    if (modificationDate) {
        timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1] = timespecFromSeconds(*modificationDate);
        if (::utimensat(parent.get(), name, times, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    }
    return 0;
}

#pragma once
// Extracting an archive into a folder without ever writing outside it. An entry's name is checked
// as text first: nothing absolute, no ".." climbing above the folder. Then every path is resolved
// beneath a descriptor of the folder one component at a time, never following a symbolic link, so
// that no link leads a write out: not one the archive made, not one an earlier archive left, not
// one that stood in the folder before. Links an archive carries are made only when their targets
// stay inside the folder. Paths handed in are host paths; components are the checked ones.
//
// An extraction killed half-way leaves the hidden temporary of the file it was writing. So before
// an extraction writes its first entry into a folder it removes there what writers no longer
// running marked as their temporaries (NSSweepTemporaryFilesAt with NSTemporaryNames::Writers):
// the next extraction into that folder takes what a killed one left, and a file of the user's that
// merely looks like a temporary stays.

#include "platform/foundation/WholeFile.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

// An open file descriptor, closed when the object goes.
class ScopedDescriptor {
public:
    ScopedDescriptor() = default;
    explicit ScopedDescriptor(int fd) : fd_(fd) {}
    ScopedDescriptor(ScopedDescriptor&& other) noexcept : fd_(other.release()) {}
    ScopedDescriptor& operator=(ScopedDescriptor&& other) noexcept;
    ScopedDescriptor(const ScopedDescriptor&) = delete;
    ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
    ~ScopedDescriptor();

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();

private:
    int fd_ = -1;
};

// Seconds since 1970 as a file time (fractions kept).
timespec timespecFromSeconds(double seconds);

// The components of an entry name beneath the destination ("/" between them; "." and empty ones
// dropped, ".." taken back lexically), or nullopt when the name leads out: absolute, or ".."
// climbing above the destination. Backslashes are the caller's to turn into "/" first.
std::optional<std::vector<std::string>> extractionComponentsOfName(std::string_view name);

// Whether a symbolic link at `components` pointing at `target` leads only into the destination:
// a relative target without NUL, whose ".." components all come first and climb no higher than
// the destination. A ".." after a name would climb from wherever that name leads, which may be
// another link.
bool extractionLinkTargetStaysInside(const std::vector<std::string>& components, std::string_view target);

// What one extraction may put on disk: at most `maximumBytes`, and at most `maximumRatio` times
// the archive's own size, whichever is less (ratio 0: no ratio). The ratio bounds large archives
// only: any archive may unpack kRatioFloorBytes, or its few small files would not fit. Every file and folder is charged before it is made,
// at its declared size rounded up to whole blocks (one block at least): neither a bomb of a few
// huge entries nor one of countless empty ones gets past it. A writer holds each file to its
// declared size.
class ExtractionBudget {
public:
    static constexpr std::uint64_t kBlockBytes = 4096;
    static constexpr std::uint64_t kRatioFloorBytes = 1024 * 1024;

    ExtractionBudget(std::uint64_t archiveBytes, std::uint64_t maximumBytes, std::uint64_t maximumRatio);
    // NO, charging nothing, when the item would take the extraction past its limit.
    bool charge(std::uint64_t declaredBytes);
    std::uint64_t limit() const { return limit_; }
    std::uint64_t charged() const { return charged_; }

private:
    std::uint64_t limit_;
    std::uint64_t charged_ = 0;
};

// What resolving an entry's path found in its way.
enum class ExtractionRefusal {
    None,
    SymbolicLink, // a symbolic link stands where a folder, or the item itself, should be
    Other,        // a system error; its errno is given beside
};

// The destination folder, held by a descriptor; every path below is resolved beneath it.
class ExtractionDestination {
public:
    // Opens the folder at the host path (the caller's own path: links on the way to it are
    // followed). nullopt and the errno when it cannot be opened as a folder.
    static std::optional<ExtractionDestination> open(const std::string& hostPath, int* errnum);

    // The folder at the first `count` components, made (mode 0777 less the umask) where missing
    // when `create`. A descriptor usable as the base of *at calls, or an invalid one with the
    // refusal and errno.
    ScopedDescriptor folder(const std::vector<std::string>& components, std::size_t count, bool create, ExtractionRefusal* refusal,
                            int* errnum) const;

    // Whether anything (a link included) stands at the components; NO also when the path is refused.
    bool itemExists(const std::vector<std::string>& components) const;

    // Begins a new regular file at the components (mode `mode` less the umask), its folder made
    // where missing: the writer writes it beside its place, and its commit presents it whole. A
    // symbolic link at its place is refused here (nothing is written through a link, nor at its
    // place); at the commit a file standing there is replaced, while a folder, FIFO, socket or
    // device stays as it is and the commit fails. Nothing is removed before the file is whole, so
    // an entry that fails leaves what stood at its place. True when begun.
    bool beginFile(const std::vector<std::string>& components, mode_t mode, WholeFileWriter& writer, ExtractionRefusal* refusal,
                   int* errnum) const;

    // A symbolic link at the components, replacing a file or link standing there in one rename; a
    // folder, FIFO, socket or device there stays (EISDIR, EINVAL). The target is the caller's to
    // check with extractionLinkTargetStaysInside. 0 or an errno.
    int createSymbolicLink(const std::vector<std::string>& components, const std::string& target, ExtractionRefusal* refusal) const;

    // Sets the modification date, and the permissions when given, of the folder at the components,
    // never through a link. 0 or an errno.
    int setFolderAttributes(const std::vector<std::string>& components, std::optional<double> modificationDate,
                            std::optional<mode_t> permissions) const;

private:
    explicit ExtractionDestination(ScopedDescriptor root) : root_(std::move(root)) {}
    // The folder holding the item at the components (made where missing), for the calls above.
    ScopedDescriptor parentOf(const std::vector<std::string>& components, ExtractionRefusal* refusal, int* errnum) const;
    // Sweeps the dead writers' marked temporaries from a folder about to receive an entry, the
    // first time only.
    void sweepOnce(int folder) const;

    ScopedDescriptor root_;
    // The folders swept already (device and inode).
    mutable std::set<std::pair<dev_t, ino_t>> swept_;
};

#include "platform/foundation/ZipExtraction.h"

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/WholeFile.h"
#include "platform/foundation/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr unsigned kExtractionReadBufferSize = 4096;
constexpr uLong kEntryFileTypeMask = 0xF000;
constexpr uLong kEntrySymbolicLinkType = 0xA000;
constexpr mode_t kExtractedPermissionMask = 01777; // never set-user-ID or set-group-ID from an archive
constexpr mode_t kExtractedFileMode = 0666;
constexpr std::size_t kMaximumLinkTarget = PATH_MAX;
constexpr uLong kEncryptedEntryFlag = 1;

// minizip cannot open an archive that is nothing but its end record (it never looks for the record
// at offset 0), yet that is a valid archive without entries.
bool isArchiveWithoutEntries(int fd, std::uint64_t size) {
    using namespace ZipRecords;
    if (size < kEndSize || size > kEndSize + kMaximumComment) return false;
    unsigned char record[kEndSize];
    if (!readAt(fd, record, kEndSize, 0)) return false;
    return read(record, 4) == kEndSignature && read(record + 8, 2) == 0 && read(record + 10, 2) == 0 &&
           read(record + 20, 2) == size - kEndSize;
}

ZipExtractionEntry describeCurrentEntry(unzFile zip, const unz_file_info64& info) {
    ZipExtractionEntry entry;
    entry.info = info;
    std::vector<char> nameBuffer(info.size_filename + 1, 0);
    unzGetCurrentFileInfo64(zip, nullptr, nameBuffer.data(), static_cast<uLong>(nameBuffer.size()), nullptr, 0, nullptr, 0);
    entry.name = nameBuffer.data();
    entry.isFolder = !entry.name.empty() && (entry.name.back() == '/' || entry.name.back() == '\\');
    entry.isSymbolicLink = ((info.external_fa >> 16) & kEntryFileTypeMask) == kEntrySymbolicLinkType;
    std::replace(entry.name.begin(), entry.name.end(), '\\', '/');
    entry.components = extractionComponentsOfName(entry.name);
    // Only the destination itself may be named by nothing, and only by a folder entry.
    if (entry.components && entry.components->empty() && !entry.isFolder) entry.components.reset();
    return entry;
}

} // namespace

void ZipArchiveFile::Closer::operator()(void* zip) const {
    if (zip) unzClose(zip);
}

std::optional<ZipArchiveFile> ZipArchiveFile::open(const std::string& devicePath, OpenFailure* failure) {
    auto fail = [failure](OpenFailure why) {
        if (failure) *failure = why;
        return std::nullopt;
    };
    NSRegularFile opened = NSOpenRegularFile(devicePath);
    if (!opened) return fail(OpenFailure::NotRegular);
    ZipArchiveFile archive;
    archive.file_ = ScopedDescriptor(opened.fd.release());
    archive.size_ = static_cast<std::uint64_t>(opened.st.st_size);
    // minizip reads the very file checked here, whatever is put at the path meanwhile.
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(archive.file_.get());
    archive.zip_.reset(unzOpen64(byDescriptor.c_str()));
    if (!archive.zip_) {
        return fail(isArchiveWithoutEntries(archive.file_.get(), archive.size_) ? OpenFailure::NoEntries : OpenFailure::Unreadable);
    }
    if (failure) *failure = OpenFailure::None;
    return archive;
}

bool ZipArchiveFile::close() {
    void* zip = zip_.release();
    file_ = ScopedDescriptor();
    return !zip || unzClose(zip) == UNZ_OK;
}

mode_t ZipExtractionEntry::permissions() const { return static_cast<mode_t>((info.external_fa >> 16) & kExtractedPermissionMask); }

std::optional<double> ZipExtractionEntry::modificationDate() const {
    if (info.dosDate == 0) return std::nullopt;
    std::tm date{};
    date.tm_sec = static_cast<int>(info.tmu_date.tm_sec);
    date.tm_min = static_cast<int>(info.tmu_date.tm_min);
    date.tm_hour = static_cast<int>(info.tmu_date.tm_hour);
    date.tm_mday = static_cast<int>(info.tmu_date.tm_mday);
    date.tm_mon = static_cast<int>(info.tmu_date.tm_mon);
    date.tm_year = static_cast<int>(info.tmu_date.tm_year) - 1900;
    date.tm_isdst = -1;
    return static_cast<double>(std::mktime(&date));
}

ZipExtraction::ZipExtraction(unzFile zip, ExtractionDestination destination, std::string destinationPath, ExtractionBudget budget,
                             Options options, Hooks hooks)
    : zip_(zip), destination_(std::move(destination)), destinationPath_(std::move(destinationPath)), budget_(budget),
      options_(std::move(options)), hooks_(std::move(hooks)), buffer_(kExtractionReadBufferSize, 0) {}

std::optional<ExtractionDestination> ZipExtraction::openDestination(const std::string& devicePath, int* errnum) {
    NSFileManager::defaultManager()->createDirectoryAtPath(devicePath, true, nullptr, nullptr);
    return ExtractionDestination::open(NSString::fileSystemRepresentation(devicePath), errnum);
}

bool ZipExtraction::openCurrentEntry(unz_file_info64* info) {
    std::memset(info, 0, sizeof *info);
    if (unzGetCurrentFileInfo64(zip_, info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
    const bool encrypted = (info->flag & kEncryptedEntryFlag) != 0;
    const int opened = options_.password.empty() || !encrypted ? unzOpenCurrentFile(zip_)
                                                                : unzOpenCurrentFilePassword(zip_, options_.password.c_str());
    return opened == UNZ_OK;
}

ZipExtraction::Result ZipExtraction::extractAll() {
    Result result = Result::Complete;
    std::int64_t index = 0;
    int next = unzGoToFirstFile(zip_);
    if (next != UNZ_OK) result = Result::Stopped;
    while (next == UNZ_OK) {
        unz_file_info64 info;
        if (!openCurrentEntry(&info)) {
            result = Result::Stopped;
            break;
        }
        const ZipExtractionEntry entry = describeCurrentEntry(zip_, info);
        if (hooks_.willExtract) hooks_.willExtract(index, info);
        const bool kept = !entry.isFolder && entry.components && hooks_.keepExisting && destination_.itemExists(*entry.components) &&
                          hooks_.keepExisting(entry, devicePath(*entry.components));
        if (!kept) {
            if (!extract(entry)) result = Result::EntryRefused;
        }
        unzCloseCurrentFile(zip_);
        next = unzGoToNextFile(zip_);
        if (kept) continue;
        if (hooks_.didExtract) hooks_.didExtract(index, info);
        ++index;
    }
    setFolderAttributes();
    return result;
}

bool ZipExtraction::extract(const ZipExtractionEntry& entry) {
    if (!entry.components) return refuse(entry, "it leads outside \"" + destinationPath_ + "\"");
    // Charged before anything is made; the writer holds each file to the size charged.
    if (!budget_.charge(entry.isFolder ? 0 : entry.info.uncompressed_size)) {
        return refuse(entry, "it would unpack past the limit of " + std::to_string(budget_.limit()) + " bytes");
    }
    if (entry.isFolder) return extractFolder(entry);
    return options_.symbolicLinks && entry.isSymbolicLink ? extractLink(entry) : extractFile(entry);
}

bool ZipExtraction::extractFolder(const ZipExtractionEntry& entry) {
    const auto& components = *entry.components;
    ExtractionRefusal refusal = ExtractionRefusal::None;
    int errnum = 0;
    if (!destination_.folder(components, components.size(), true, &refusal, &errnum).valid()) {
        if (refusal == ExtractionRefusal::SymbolicLink) return refuse(entry, "a symbolic link stands in its way");
        return fail(Problem::WriteFailed, "Failed to make the folder \"" + devicePath(components) + "\": " + std::strerror(errnum));
    }
    if (components.empty()) return true;
    Folder folder{components, entry.modificationDate(), std::nullopt};
    if (options_.permissions && entry.hasMode()) folder.permissions = entry.permissions();
    folders_.push_back(std::move(folder));
    return true;
}

bool ZipExtraction::extractFile(const ZipExtractionEntry& entry) {
    const auto& components = *entry.components;
    ExtractionRefusal refusal = ExtractionRefusal::None;
    int errnum = 0;
    // Written beside its place and presented whole: whatever stops the copy takes the piece
    // written with it, and what stood at the place stays.
    WholeFileWriter out;
    if (!destination_.beginFile(components, kExtractedFileMode, out, &refusal, &errnum)) {
        if (refusal == ExtractionRefusal::SymbolicLink) return refuse(entry, "a symbolic link stands in its way");
        return fail(Problem::WriteFailed, "Failed to write \"" + devicePath(components) + "\": " + NSWholeFileErrorText(errnum));
    }
    auto discard = [&] {
        out.discard();
        return false;
    };
    std::uint64_t written = 0;
    while (true) {
        const int readBytes = unzReadCurrentFile(zip_, buffer_.data(), kExtractionReadBufferSize);
        if (readBytes < 0) return discard() || fail(Problem::ReadFailed, "Failed to read \"" + entry.name + "\" from the archive");
        if (readBytes == 0) break;
        written += static_cast<std::uint64_t>(readBytes);
        if (written > entry.info.uncompressed_size) return discard() || refuse(entry, "it inflates past its declared size");
        if (int e = NSWriteAll(out.fd(), buffer_.data(), static_cast<std::size_t>(readBytes))) {
            return discard() || fail(Problem::WriteFailed, "Failed to write \"" + devicePath(components) + "\": " + std::strerror(e));
        }
    }
    // minizip stops at the declared size; data that goes on, or that is damaged (or read with a
    // wrong password), shows as a checksum error once all of it was read.
    if (unzCloseCurrentFile(zip_) == UNZ_CRCERROR) return discard() || refuse(entry, "its data does not match its checksum");
    if (auto date = entry.modificationDate()) {
        timespec times[2] = {timespecFromSeconds(*date), timespecFromSeconds(*date)};
        if (::futimens(out.fd(), times) != 0) fail(Problem::AttributeFailed, "Failed to set attributes - whilst setting modification date");
    }
    if (options_.permissions && entry.hasMode() && ::fchmod(out.fd(), entry.permissions()) != 0) {
        fail(Problem::AttributeFailed, "Failed to set attributes - whilst setting permissions");
    }
    if (int e = out.commit(WholeFileWriter::Sync::None)) {
        return fail(Problem::WriteFailed, "Failed to write \"" + devicePath(components) + "\": " + NSWholeFileErrorText(e));
    }
    return true;
}

std::optional<std::string> ZipExtraction::readLinkTarget() {
    std::string target;
    while (true) {
        const int readBytes = unzReadCurrentFile(zip_, buffer_.data(), kExtractionReadBufferSize);
        if (readBytes < 0) return std::nullopt;
        if (readBytes == 0) return target;
        target.append(buffer_.data(), static_cast<std::size_t>(readBytes));
        if (target.size() > kMaximumLinkTarget) return std::nullopt;
    }
}

bool ZipExtraction::extractLink(const ZipExtractionEntry& entry) {
    const auto& components = *entry.components;
    auto target = readLinkTarget();
    const bool damaged = unzCloseCurrentFile(zip_) == UNZ_CRCERROR;
    if (!target) return fail(Problem::ReadFailed, "Failed to read \"" + entry.name + "\" from the archive");
    if (damaged) return refuse(entry, "its data does not match its checksum");
    if (!extractionLinkTargetStaysInside(components, *target)) {
        return fail(Problem::Refused, "Refused link \"" + entry.name + "\" to \"" + *target + "\": it leads outside \"" + destinationPath_ + "\"");
    }
    ExtractionRefusal refusal = ExtractionRefusal::None;
    if (int e = destination_.createSymbolicLink(components, *target, &refusal)) {
        if (refusal == ExtractionRefusal::SymbolicLink) return refuse(entry, "a symbolic link stands in its way");
        return fail(Problem::WriteFailed, "Failed to create symbolic link at \"" + devicePath(components) + "\" to \"" + *target +
                                              "\": " + std::strerror(e));
    }
    return true;
}

void ZipExtraction::setFolderAttributes() const {
    // Dates first, then permissions, so that a read-only folder could still be filled and dated.
    for (const Folder& folder : folders_) {
        if (!folder.date) continue;
        if (int e = destination_.setFolderAttributes(folder.components, folder.date, std::nullopt)) {
            fail(Problem::AttributeFailed,
                 "Failed to set the modification date of the folder \"" + devicePath(folder.components) + "\": " + std::strerror(e));
        }
    }
    for (const Folder& folder : folders_) {
        if (folder.permissions && destination_.setFolderAttributes(folder.components, std::nullopt, folder.permissions) != 0) {
            fail(Problem::AttributeFailed, "Failed to set attributes - whilst setting permissions");
        }
    }
}

bool ZipExtraction::refuse(const ZipExtractionEntry& entry, const std::string& why) const {
    return fail(Problem::Refused, "Refused \"" + entry.name + "\": " + why);
}

bool ZipExtraction::fail(Problem problem, const std::string& line) const {
    if (hooks_.problem) hooks_.problem(problem, line);
    return false;
}

std::string ZipExtraction::devicePath(const std::vector<std::string>& components) const {
    return NSString::stringByAppendingPathComponent(destinationPath_, NSString::componentsJoinedByString(components, "/"));
}

// The unzip operation of TKZipArchive: every entry is written beneath a descriptor of the
// destination, never through a symbolic link, and an archive whose entries overlap is refused
// before anything is written.
#include "app/support/TKZipArchive.h"

#include "platform/foundation/ExtractionSafety.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/ZipEntryLayout.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr unsigned kUnzipReadBufferSize = 4096;
constexpr uLong kFileTypeMask = 0xF000;
constexpr uLong kSymbolicLinkType = 0xA000;
constexpr mode_t kExtractedPermissionMask = 01777; // never set-user-ID or set-group-ID from an archive
constexpr std::size_t kMaximumLinkTarget = PATH_MAX;
constexpr mode_t kNewFileMode = 0666;

struct UnzipCloser {
    void operator()(void* file) const {
        if (file) unzClose(file);
    }
};
using UnzipHandle = std::unique_ptr<void, UnzipCloser>;

NSErrorPtr zipError(long code, const char* description) {
    return NSError::errorWithDomain(TKZipArchiveErrorDomain, code, {{NSLocalizedDescriptionKey, std::string(description)}});
}

// minizip cannot open an archive that is nothing but its end record (it never looks for the record
// at offset 0), yet that is a valid archive without entries.
bool isArchiveWithoutEntries(int fd, std::uint64_t size) {
    constexpr std::size_t kEndRecordSize = 22;
    constexpr std::size_t kMaximumComment = 0xFFFF;
    if (size < kEndRecordSize || size > kEndRecordSize + kMaximumComment) return false;
    unsigned char record[kEndRecordSize];
    if (::pread(fd, record, kEndRecordSize, 0) != static_cast<ssize_t>(kEndRecordSize)) return false;
    auto le16 = [&](std::size_t at) { return static_cast<std::size_t>(record[at] | (record[at + 1] << 8)); };
    bool signature = record[0] == 'P' && record[1] == 'K' && record[2] == 5 && record[3] == 6;
    return signature && le16(8) == 0 && le16(10) == 0 && le16(20) == size - kEndRecordSize;
}

// The entry minizip stands on, as its central record describes it.
struct Entry {
    unz_file_info64 info{};
    std::string name; // "\" turned into "/"
    bool isDirectory = false;
    bool isSymbolicLink = false;
    std::optional<std::vector<std::string>> components; // nullopt when the name leads outside
    std::shared_ptr<NSDate> date;

    bool hasMode() const { return (info.external_fa >> 16) != 0; }
    mode_t permissions() const { return static_cast<mode_t>((info.external_fa >> 16) & kExtractedPermissionMask); }
};

Entry describeEntry(unzFile zip, const unz_file_info64& info) {
    Entry entry;
    entry.info = info;
    std::vector<char> nameBuffer(info.size_filename + 1, 0);
    unzGetCurrentFileInfo64(zip, &entry.info, nameBuffer.data(), static_cast<uLong>(nameBuffer.size()), nullptr, 0, nullptr, 0);
    entry.name = nameBuffer.data();
    entry.isDirectory = !entry.name.empty() && (entry.name.back() == '/' || entry.name.back() == '\\');
    entry.isSymbolicLink = ((info.external_fa >> 16) & kFileTypeMask) == kSymbolicLinkType;
    std::replace(entry.name.begin(), entry.name.end(), '\\', '/');
    entry.components = extractionComponentsOfName(entry.name);
    // Only the destination itself may be named by nothing, and only by a folder entry.
    if (entry.components && entry.components->empty() && !entry.isDirectory) entry.components.reset();
    entry.date = TKZipArchive::_dateWithMSDOSFormat(static_cast<std::uint32_t>(info.dosDate));
    return entry;
}

// One unzip operation's writing: the destination, and the folders whose dates and permissions
// are set once everything is in them.
class Extraction {
public:
    Extraction(unzFile zip, ExtractionDestination destination, std::string destinationPath)
        : zip_(zip), destination_(std::move(destination)), destinationPath_(std::move(destinationPath)), buffer_(kUnzipReadBufferSize, 0) {}

    bool itemExists(const Entry& entry) const { return entry.components && destination_.itemExists(*entry.components); }

    // Writes the entry; NO when it was refused or failed.
    bool extract(const Entry& entry) {
        if (!entry.components) return refuse(entry, "it leads outside \"" + destinationPath_ + "\"");
        if (entry.isDirectory) return extractFolder(entry);
        return entry.isSymbolicLink ? extractLink(entry) : extractFile(entry);
    }

    void setFolderAttributes() const;

private:
    struct Folder {
        std::vector<std::string> components;
        std::optional<double> date;
        std::optional<mode_t> permissions;
    };

    bool refuse(const Entry& entry, const std::string& why) const {
        NSLog("[TKZipArchive] Refused \"%@\": %@", entry.name, why);
        return false;
    }
    bool refuseForLink(const Entry& entry) const { return refuse(entry, "a symbolic link stands in its way"); }
    std::string devicePath(const std::vector<std::string>& components) const {
        return NSString::stringByAppendingPathComponent(destinationPath_, NSString::componentsJoinedByString(components, "/"));
    }

    bool extractFolder(const Entry& entry);
    bool extractFile(const Entry& entry);
    bool extractLink(const Entry& entry);
    bool copyData(const Entry& entry, int fd);
    std::optional<std::string> readLinkTarget();

    unzFile zip_;
    ExtractionDestination destination_;
    std::string destinationPath_;
    std::vector<char> buffer_;
    std::vector<Folder> folders_;
};

bool Extraction::extractFolder(const Entry& entry) {
    const auto& components = *entry.components;
    ExtractionRefusal refusal;
    int errnum = 0;
    if (!destination_.folder(components, components.size(), true, &refusal, &errnum).valid()) {
        if (refusal == ExtractionRefusal::SymbolicLink) return refuseForLink(entry);
        NSLog("[TKZipArchive] Error: %@", NSFileErrorWithErrno(errnum, devicePath(components), true)->localizedDescription());
        return false;
    }
    if (components.empty()) return true;
    Folder folder{components, std::nullopt, std::nullopt};
    if (entry.date) folder.date = entry.date->timeIntervalSince1970();
    if (entry.hasMode()) folder.permissions = entry.permissions();
    folders_.push_back(std::move(folder));
    return true;
}

bool Extraction::copyData(const Entry& entry, int fd) {
    std::uint64_t written = 0;
    while (true) {
        int readBytes = unzReadCurrentFile(zip_, buffer_.data(), kUnzipReadBufferSize);
        if (readBytes < 0) {
            NSLog("[TKZipArchive] Failed to read \"%@\" from the archive", entry.name);
            return false;
        }
        if (readBytes == 0) return true;
        written += static_cast<std::uint64_t>(readBytes);
        if (written > entry.info.uncompressed_size) return refuse(entry, "it inflates past its declared size");
        if (int e = NSWriteAll(fd, buffer_.data(), static_cast<std::size_t>(readBytes))) {
            NSLog("[TKZipArchive] Failed to write \"%@\": %s", devicePath(*entry.components), std::strerror(e));
            return false;
        }
    }
}

bool Extraction::extractFile(const Entry& entry) {
    ExtractionRefusal refusal;
    int errnum = 0;
    ScopedDescriptor out = destination_.createFile(*entry.components, kNewFileMode, &refusal, &errnum);
    if (!out.valid()) {
        if (refusal == ExtractionRefusal::SymbolicLink) return refuseForLink(entry);
        NSLog("[TKZipArchive] Failed to write \"%@\": %s", devicePath(*entry.components), std::strerror(errnum));
        return false;
    }
    bool copied = copyData(entry, out.get());
    if (entry.info.dosDate != 0 && entry.date) {
        timespec times[2] = {timespecFromSeconds(entry.date->timeIntervalSince1970()), timespecFromSeconds(entry.date->timeIntervalSince1970())};
        if (::futimens(out.get(), times) != 0) NSLog("[TKZipArchive] Failed to set attributes - whilst setting modification date");
    }
    if (entry.hasMode() && ::fchmod(out.get(), entry.permissions()) != 0) {
        NSLog("[TKZipArchive] Failed to set attributes - whilst setting permissions");
    }
    return copied;
}

std::optional<std::string> Extraction::readLinkTarget() {
    std::string target;
    while (true) {
        int readBytes = unzReadCurrentFile(zip_, buffer_.data(), kUnzipReadBufferSize);
        if (readBytes < 0) return std::nullopt;
        if (readBytes == 0) return target;
        target.append(buffer_.data(), static_cast<std::size_t>(readBytes));
        if (target.size() > kMaximumLinkTarget) return std::nullopt;
    }
}

bool Extraction::extractLink(const Entry& entry) {
    auto target = readLinkTarget();
    if (!target || !extractionLinkTargetStaysInside(*entry.components, *target)) {
        NSLog("[TKZipArchive] Refused link \"%@\" to \"%@\": it leads outside \"%@\"", entry.name, target.value_or(""), destinationPath_);
        return false;
    }
    ExtractionRefusal refusal;
    if (int e = destination_.createSymbolicLink(*entry.components, *target, &refusal)) {
        if (refusal == ExtractionRefusal::SymbolicLink) return refuseForLink(entry);
        NSLog("Failed to create symbolic link at \"%@\" to \"%@\". symlink() error code: %d", devicePath(*entry.components), *target, e);
    }
    return true;
}

void Extraction::setFolderAttributes() const {
    // Dates first, then permissions, so that a read-only folder could still be filled and dated.
    for (const Folder& folder : folders_) {
        if (!folder.date) continue;
        if (int e = destination_.setFolderAttributes(folder.components, folder.date, std::nullopt)) {
            NSLog("[TKZipArchive] Set attributes failed for directory: %@.", devicePath(folder.components));
            NSLog("[TKZipArchive] Error setting directory file modification date attribute: %@",
                  NSFileErrorWithErrno(e, devicePath(folder.components), true)->localizedDescription());
        }
    }
    for (const Folder& folder : folders_) {
        if (folder.permissions && destination_.setFolderAttributes(folder.components, std::nullopt, folder.permissions) != 0) {
            NSLog("[TKZipArchive] Failed to set attributes - whilst setting permissions");
        }
    }
}

// Opens the archive for reading and checks its layout; the error to give when it cannot be read.
struct OpenedArchive {
    ScopedDescriptor file;
    UnzipHandle zip;
    std::int64_t size = 0;
};

std::optional<OpenedArchive> openArchive(const std::string& path, NSErrorPtr* error) {
    OpenedArchive archive;
    archive.file = ScopedDescriptor(::open(NSString::fileSystemRepresentation(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st{};
    if (!archive.file.valid() || ::fstat(archive.file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        NSErrorSet(error, zipError(TKZipArchiveErrorOpenArchive, "failed to open zip file"));
        return std::nullopt;
    }
    archive.size = static_cast<std::int64_t>(st.st_size);
    // minizip reads the very file checked here, whatever is put at the path meanwhile.
    std::string byDescriptor = "/proc/self/fd/" + std::to_string(archive.file.get());
    archive.zip = UnzipHandle(unzOpen64(byDescriptor.c_str()));
    if (!archive.zip) {
        bool empty = isArchiveWithoutEntries(archive.file.get(), static_cast<std::uint64_t>(st.st_size));
        NSErrorSet(error, empty ? zipError(TKZipArchiveErrorFirstEntry, "failed to open first file in zip file")
                                : zipError(TKZipArchiveErrorOpenArchive, "failed to open zip file"));
        return std::nullopt;
    }
    ZipEntryLayout layout = zipEntryLayoutOfArchive(archive.file.get());
    if (layout != ZipEntryLayout::Separate) {
        NSLog("[TKZipArchive] Refused \"%@\": %s", path,
              layout == ZipEntryLayout::Overlapping ? "its entries overlap one another" : "its records cannot be read");
        NSErrorSet(error, zipError(TKZipArchiveErrorOpenArchive, "failed to open zip file"));
        return std::nullopt;
    }
    return archive;
}

// Opens the entry minizip stands on and reads its record; nullopt when either fails.
std::optional<unz_file_info64> openCurrentEntry(unzFile zip, const std::string& password) {
    int opened = password.empty() ? unzOpenCurrentFile(zip) : unzOpenCurrentFilePassword(zip, password.c_str());
    if (opened != UNZ_OK) return std::nullopt;
    unz_file_info64 fileInfo;
    std::memset(&fileInfo, 0, sizeof fileInfo);
    if (unzGetCurrentFileInfo64(zip, &fileInfo, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        unzCloseCurrentFile(zip);
        return std::nullopt;
    }
    return fileInfo;
}

std::optional<ExtractionDestination> openDestination(const std::string& destination) {
    NSErrorPtr folderError;
    if (!NSFileManager::defaultManager()->createDirectoryAtPath(destination, true, nullptr, &folderError) && folderError) {
        NSLog("[TKZipArchive] Error: %@", folderError->localizedDescription());
    }
    int errnum = 0;
    auto opened = ExtractionDestination::open(NSString::fileSystemRepresentation(destination), &errnum);
    if (!opened) NSLog("[TKZipArchive] Error: %@", NSFileErrorWithErrno(errnum, destination, true)->localizedDescription());
    return opened;
}

} // namespace

bool TKZipArchive::unzipFileAtPathToDestination(const std::string& path, const std::string& destination) {
    return unzipFileAtPathToDestinationDelegate(path, destination, nullptr);
}

bool TKZipArchive::unzipFileAtPathToDestinationDelegate(const std::string& path, const std::string& destination,
                                                        const std::shared_ptr<TKZipArchiveDelegate>& delegate) {
    return unzipFileAtPathToDestinationOverwritePasswordErrorDelegate(path, destination, true, "", nullptr, delegate);
}

bool TKZipArchive::unzipFileAtPathToDestinationOverwritePasswordError(const std::string& path, const std::string& destination, bool overwrite,
                                                                      const std::string& password, NSErrorPtr* error) {
    return unzipFileAtPathToDestinationOverwritePasswordErrorDelegate(path, destination, overwrite, password, error, nullptr);
}

bool TKZipArchive::unzipFileAtPathToDestinationOverwritePasswordErrorDelegate(const std::string& path, const std::string& destination,
                                                                              bool overwrite, const std::string& password, NSErrorPtr* error,
                                                                              const std::shared_ptr<TKZipArchiveDelegate>& delegate) {
    auto archive = openArchive(path, error);
    if (!archive) return false;
    unzFile zip = archive->zip.get();
    const std::int64_t fileSize = archive->size;
    unz_global_info64 globalInfo;
    std::memset(&globalInfo, 0, sizeof globalInfo);
    unzGetGlobalInfo64(zip, &globalInfo);
    if (unzGoToFirstFile(zip) != UNZ_OK) {
        NSErrorSet(error, zipError(TKZipArchiveErrorFirstEntry, "failed to open first file in zip file"));
        return false;
    }
    auto destinationFolder = openDestination(destination);
    if (!destinationFolder) return false;
    Extraction extraction(zip, std::move(*destinationFolder), destination);

    if (delegate) {
        delegate->zipArchiveWillUnzipArchiveAtPathZipInfo(path, globalInfo);
        delegate->zipArchiveProgressEventTotal(0, fileSize);
    }
    bool success = true;
    std::int64_t currentFileNumber = 0;
    std::int64_t currentPosition = 0;
    const auto totalFiles = static_cast<std::int64_t>(globalInfo.number_entry);
    int ret;
    do {
        auto opened = openCurrentEntry(zip, password);
        if (!opened) {
            success = false;
            break;
        }
        const unz_file_info64 fileInfo = *opened;
        currentPosition += static_cast<std::int64_t>(fileInfo.compressed_size);
        if (delegate) {
            delegate->zipArchiveWillUnzipFileAtIndexTotalFilesArchivePathFileInfo(currentFileNumber, totalFiles, path, fileInfo);
            delegate->zipArchiveProgressEventTotal(currentPosition, fileSize);
        }
        Entry entry = describeEntry(zip, fileInfo);
        // An item already there is kept when asked to: no did-unzip call, and the index stays.
        if (!entry.isDirectory && !overwrite && extraction.itemExists(entry)) {
            unzCloseCurrentFile(zip);
            ret = unzGoToNextFile(zip);
            continue;
        }
        bool written = extraction.extract(entry);
        if (unzCloseCurrentFile(zip) == UNZ_CRCERROR) {
            NSLog("[TKZipArchive] Failed to read \"%@\" from the archive: CRC error", entry.name);
            written = false;
        }
        if (!written) success = false;
        ret = unzGoToNextFile(zip);
        if (delegate) delegate->zipArchiveDidUnzipFileAtIndexTotalFilesArchivePathFileInfo(currentFileNumber, totalFiles, path, fileInfo);
        ++currentFileNumber;
    } while (ret == UNZ_OK);
    archive.reset();

    extraction.setFolderAttributes();
    if (success && delegate) delegate->zipArchiveDidUnzipArchiveAtPathZipInfoUnzippedPath(path, globalInfo, destination);
    if (delegate) delegate->zipArchiveProgressEventTotal(fileSize, fileSize);
    return success;
}

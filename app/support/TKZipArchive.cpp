#include "app/support/TKZipArchive.h"

#include "app/support/TKZipEndRecords.h"

#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <zlib.h>

const std::string TKZipArchiveErrorDomain = "TKZipArchiveErrorDomain";

namespace {

// Files are streamed through one buffer of this size; no file is held in memory whole. Larger
// buffers measured no faster: deflate, not reading, is what takes the time.
constexpr std::size_t kWriteBufferSize = 16384;
constexpr unsigned kReadBufferSize = 4096;
constexpr std::uint64_t kZip64Threshold = 0xFFFFFFFFull;
constexpr int kDeflateMemoryLevel = 8;      // zlib's default
// Made on Unix (upper byte 3), by the 3.0 format: other tools then read the upper half of the
// external attributes as the file's mode, and take the names' bytes as they stand.
constexpr uLong kVersionMadeBy = (3u << 8) | 30u;
constexpr uLong kUTF8NameFlag = 1u << 11;   // general purpose bit 11: the name is UTF-8
// The mode of entries written from memory: a regular file readable by all.
constexpr mode_t kDataEntryMode = S_IFREG | 0644;
constexpr uLong kFileTypeMask = 0xF000;
constexpr uLong kSymbolicLinkType = 0xA000;
constexpr mode_t kExtractedPermissionMask = 01777; // never set-user-ID or set-group-ID from an archive
constexpr unsigned kMaximumLinkTarget = PATH_MAX;
// The range of years a DOS date can hold.
constexpr long kFirstDOSYear = 1980;
constexpr long kLastDOSYear = 2107;

struct FileDescriptor {
    int fd;
    explicit FileDescriptor(int f) : fd(f) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

struct UnzipCloser {
    void operator()(void* file) const {
        if (file) unzClose(file);
    }
};
using UnzipHandle = std::unique_ptr<void, UnzipCloser>;

bool hasNonASCII(const std::string& s) {
    for (unsigned char c : s) {
        if (c >= 0x80) return true;
    }
    return false;
}

// Bit 11 promises UTF-8: a name that is not (a Latin-1 name on disk, say) is stored as its bytes
// without it, or readers that trust the flag cannot open the archive at all.
uLong nameFlags(const std::string& name) { return hasNonASCII(name) && NSString::isValidUTF8(name) ? kUTF8NameFlag : 0; }

// The external attributes of a Unix entry: the file's mode in the upper half.
uLong unixAttributes(mode_t mode) { return static_cast<uLong>(mode & 0xFFFF) << 16; }

// An item that vanished or that the user may not read is passed over, as a file manager would; a
// path the system refuses (too long, too many open files, an I/O error) fails the archive, or a
// file would be silently missing from an archive reported whole.
bool isSkippable(int errnum) { return errnum == ENOENT || errnum == ENOTDIR || errnum == EACCES || errnum == EPERM || errnum == ELOOP; }

std::string joined(const std::vector<std::string>& components, std::size_t count) {
    std::string path;
    for (std::size_t i = 0; i < count && i < components.size(); ++i) {
        if (i) path += '/';
        path += components[i];
    }
    return path;
}

// The components of an entry name inside the destination, or nullopt when the name leads out of
// it: an absolute name, or ".." climbing above the destination.
std::optional<std::vector<std::string>> componentsInsideDestination(const std::string& name) {
    if (!name.empty() && name.front() == '/') return std::nullopt;
    std::vector<std::string> components;
    for (const std::string& part : NSString::componentsSeparatedByString(name, "/")) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (components.empty()) return std::nullopt;
            components.pop_back();
            continue;
        }
        components.push_back(part);
    }
    return components;
}

// Whether one of the first `count` leading components names a link this archive created.
bool passesThroughArchiveLink(const std::vector<std::string>& components, std::size_t count, const std::set<std::string>& links) {
    for (std::size_t i = 1; i <= count && i <= components.size(); ++i) {
        if (links.count(joined(components, i))) return true;
    }
    return false;
}

// Whether a link at `components` pointing to `target` stays inside the destination. ".." may not
// climb out of the destination, nor out of a link the archive made (it would climb from wherever
// that link leads).
bool linkTargetStaysInside(const std::vector<std::string>& components, const std::string& target, const std::set<std::string>& links) {
    if (target.empty() || target.front() == '/') return false;
    std::vector<std::string> resolved(components.begin(), components.end() - 1);
    for (const std::string& part : NSString::componentsSeparatedByString(target, "/")) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (resolved.empty() || links.count(joined(resolved, resolved.size()))) return false;
            resolved.pop_back();
            continue;
        }
        resolved.push_back(part);
    }
    return true;
}

std::string pathInDestination(const std::string& destination, const std::vector<std::string>& components) {
    return components.empty() ? destination : NSString::stringByAppendingPathComponent(destination, joined(components, components.size()));
}

// minizip cannot open an archive that is nothing but its end record (it never looks for the record
// at offset 0), yet that is a valid archive without entries.
bool isArchiveWithoutEntries(const std::string& host) {
    constexpr std::size_t kEndRecordSize = 22;
    constexpr std::size_t kMaximumComment = 0xFFFF;
    FileDescriptor in(::open(host.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (in.fd < 0) return false;
    struct stat st{};
    if (::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    auto size = static_cast<std::size_t>(st.st_size);
    if (size < kEndRecordSize || size > kEndRecordSize + kMaximumComment) return false;
    unsigned char record[kEndRecordSize];
    if (::pread(in.fd, record, kEndRecordSize, 0) != static_cast<ssize_t>(kEndRecordSize)) return false;
    auto le16 = [&](std::size_t at) { return static_cast<std::size_t>(record[at] | (record[at + 1] << 8)); };
    bool signature = record[0] == 'P' && record[1] == 'K' && record[2] == 5 && record[3] == 6;
    return signature && le16(8) == 0 && le16(10) == 0 && le16(20) == size - kEndRecordSize;
}

timespec timespecOf(double seconds) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = 0;
    return ts;
}

} // namespace

TKZipArchive::TKZipArchive(std::string path) : path_(std::move(path)) {}

TKZipArchive::~TKZipArchive() {
    if (zip_) zipClose(zip_, nullptr);
}

bool TKZipArchive::needsZip64(std::uint64_t size) { return size >= kZip64Threshold; }

bool TKZipArchive::open() {
    if (zip_) close();
    std::string host = NSString::fileSystemRepresentation(path_);
    // The new archive replaces what stands at the path. A symbolic link there (in a shared folder
    // such as /tmp anyone can plant one) is replaced too, never written through.
    struct stat existing{};
    if (::lstat(host.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode)) ::unlink(host.c_str());
    zip_ = zipOpen64(host.c_str(), APPEND_STATUS_CREATE);
    if (!zip_) return false;
    entries_ = 0;
    struct stat st{};
    if (::stat(host.c_str(), &st) == 0) {
        archiveDevice_ = st.st_dev;
        archiveInode_ = st.st_ino;
    }
    return true;
}

bool TKZipArchive::close() {
    if (!zip_) return false;
    int result = zipClose(zip_, nullptr);
    zip_ = nullptr;
    if (result != ZIP_OK) return false;
    if (entries_ < TKZipClassicEntryLimit) return true;
    FileDescriptor archive(::open(NSString::fileSystemRepresentation(path_).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    struct stat st{};
    // Only the file this object wrote, never one put in its place since.
    if (archive.fd < 0 || ::fstat(archive.fd, &st) != 0 || static_cast<std::uint64_t>(st.st_dev) != archiveDevice_ ||
        static_cast<std::uint64_t>(st.st_ino) != archiveInode_) {
        return false;
    }
    return TKZipAddZip64EndRecords(archive.fd, entries_);
}

void TKZipArchive::zipInfoSetDate(zip_fileinfo* zipInfo, const NSDate& date) const {
    auto components = NSCalendar::currentCalendar()->componentsFromDate(
        NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay | NSCalendarUnitHour | NSCalendarUnitMinute | NSCalendarUnitSecond, date);
    long year = components->year();
    long month = components->month(), day = components->day();
    long hour = components->hour(), minute = components->minute(), second = components->second();
    // A DOS date holds 1980 to 2107 only; outside, minizip would pack garbage. Take the nearest end.
    if (year < kFirstDOSYear) {
        year = kFirstDOSYear, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    } else if (year > kLastDOSYear) {
        year = kLastDOSYear, month = 12, day = 31, hour = 23, minute = 59, second = 58;
    }
    zipInfo->tmz_date.tm_sec = static_cast<uInt>(second);
    zipInfo->tmz_date.tm_min = static_cast<uInt>(minute);
    zipInfo->tmz_date.tm_hour = static_cast<uInt>(hour);
    zipInfo->tmz_date.tm_mday = static_cast<uInt>(day);
    zipInfo->tmz_date.tm_mon = static_cast<uInt>(month - 1);
    zipInfo->tmz_date.tm_year = static_cast<uInt>(year);
}

namespace {
int openEntry(zipFile zip, const std::string& name, const zip_fileinfo& info, bool zip64) {
    return zipOpenNewFileInZip4_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0,
                                   -MAX_WBITS, kDeflateMemoryLevel, Z_DEFAULT_STRATEGY, nullptr, 0, kVersionMadeBy, nameFlags(name),
                                   zip64 ? 1 : 0);
}
} // namespace

TKZipArchive::WriteResult TKZipArchive::refusedSource(const std::string& path, int errnum) {
    if (isSkippable(errnum)) {
        NSLog("[TKZipArchive] Skipped \"%@\": %s", path, std::strerror(errnum));
        return WriteResult::Skipped;
    }
    NSLog("[TKZipArchive] Failed to add \"%@\": %s", path, std::strerror(errnum));
    return WriteResult::Failed;
}

TKZipArchive::WriteResult TKZipArchive::addFile(const std::string& path, const std::string& fileName, bool forceZip64) {
    if (!zip_) return WriteResult::Failed;
    std::string host = NSString::fileSystemRepresentation(path);
    // Only regular files: a FIFO, socket or device would block or never end. The type is checked
    // before opening, and opening does not wait, in case the item changes in between.
    struct stat st{};
    if (::stat(host.c_str(), &st) != 0) return refusedSource(path, errno);
    if (!S_ISREG(st.st_mode)) {
        NSLog("[TKZipArchive] Skipped \"%@\": not a regular file", path);
        return WriteResult::Skipped;
    }
    FileDescriptor source(::open(host.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (source.fd < 0) return refusedSource(path, errno);
    if (::fstat(source.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        NSLog("[TKZipArchive] Skipped \"%@\": not a regular file", path);
        return WriteResult::Skipped;
    }
    if (static_cast<std::uint64_t>(st.st_dev) == archiveDevice_ && static_cast<std::uint64_t>(st.st_ino) == archiveInode_) {
        NSLog("[TKZipArchive] Skipped \"%@\": the archive being written", path);
        return WriteResult::Skipped;
    }

    std::string name = fileName.empty() ? NSString::lastPathComponent(path) : fileName;
    zip_fileinfo info;
    std::memset(&info, 0, sizeof info);
    // The attributes of the file read, a link's target rather than the link.
    zipInfoSetDate(&info, NSDate(static_cast<double>(st.st_mtim.tv_sec)));
    info.external_fa = unixAttributes(st.st_mode);

    if (openEntry(zip_, name, info, forceZip64 || needsZip64(static_cast<std::uint64_t>(st.st_size))) != ZIP_OK) {
        NSLog("[TKZipArchive] Failed to add \"%@\" to the archive", path);
        return WriteResult::Failed;
    }
    ++entries_;
    if (buffer_.size() != kWriteBufferSize) buffer_.resize(kWriteBufferSize);
    WriteResult result = WriteResult::Added;
    while (true) {
        ssize_t n = ::read(source.fd, buffer_.data(), buffer_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            NSLog("[TKZipArchive] Failed to read \"%@\": %s", path, std::strerror(errno));
            result = WriteResult::Failed;
            break;
        }
        if (n == 0) break;
        if (zipWriteInFileInZip(zip_, buffer_.data(), static_cast<unsigned>(n)) != ZIP_OK) {
            NSLog("[TKZipArchive] Failed to write \"%@\" to the archive", path);
            result = WriteResult::Failed;
            break;
        }
    }
    if (zipCloseFileInZip(zip_) != ZIP_OK && result == WriteResult::Added) {
        NSLog("[TKZipArchive] Failed to write \"%@\" to the archive", path);
        result = WriteResult::Failed;
    }
    return result;
}

bool TKZipArchive::writeFileAtPathWithFileName(const std::string& path, const std::string& fileName) {
    return addFile(path, fileName, false) == WriteResult::Added;
}

bool TKZipArchive::writeFileAtPathWithFileNameZip64(const std::string& path, const std::string& fileName) {
    return addFile(path, fileName, true) == WriteResult::Added;
}

bool TKZipArchive::writeDataFilename(const NSData* data, const std::string& filename) {
    if (!zip_ || !data) return false;
    zip_fileinfo info;
    std::memset(&info, 0, sizeof info);
    zipInfoSetDate(&info, *NSDate::date());
    info.external_fa = unixAttributes(kDataEntryMode);
    if (openEntry(zip_, filename, info, needsZip64(data->length())) != ZIP_OK) return false;
    ++entries_;
    bool ok = true;
    const std::uint8_t* p = data->bytes();
    std::size_t left = data->length();
    while (ok && left) {
        auto chunk = static_cast<unsigned>(std::min<std::size_t>(left, UINT_MAX / 2));
        ok = zipWriteInFileInZip(zip_, p, chunk) == ZIP_OK;
        p += chunk;
        left -= chunk;
    }
    return zipCloseFileInZip(zip_) == ZIP_OK && ok;
}

bool TKZipArchive::createZipFileAtPathWithFilesAtPaths(const std::string& path, const std::vector<std::string>& paths) {
    auto archive = std::make_shared<TKZipArchive>(path);
    if (!archive->open()) return false;
    bool written = true;
    for (const std::string& file : paths) {
        if (archive->addFile(file, "", false) == WriteResult::Failed) {
            written = false;
            break;
        }
    }
    return archive->close() && written;
}

bool TKZipArchive::createZipFileAtPathWithContentsOfDirectory(const std::string& path, const std::string& directoryPath) {
    auto archive = std::make_shared<TKZipArchive>(path);
    if (!archive->open()) return false;
    auto fileManager = std::make_shared<NSFileManager>();
    auto enumerator = fileManager->enumeratorAtPath(directoryPath);
    if (!enumerator) {
        NSLog("[TKZipArchive] Cannot read the folder \"%@\"", directoryPath);
        archive->close();
        return false;
    }
    bool written = true;
    while (auto relative = enumerator->nextObject()) {
        std::string full = NSString::stringByAppendingPathComponent(directoryPath, *relative);
        bool isDirectory = false;
        if (fileManager->fileExistsAtPath(full, &isDirectory) && isDirectory) continue;
        if (archive->addFile(full, *relative, false) == WriteResult::Failed) {
            // The archive is broken from here on: stop, and let the caller discard it.
            written = false;
            break;
        }
    }
    return archive->close() && written;
}

std::shared_ptr<NSDate> TKZipArchive::_dateWithMSDOSFormat(std::uint32_t msdosDateTime) {
    static const std::shared_ptr<NSCalendar> gregorian = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    NSDateComponents components;
    components.setYear(static_cast<long>(msdosDateTime >> 25) + kFirstDOSYear);
    components.setMonth((msdosDateTime >> 21) & 0xF);
    components.setDay((msdosDateTime >> 16) & 0x1F);
    components.setHour((msdosDateTime >> 11) & 0x1F);
    components.setMinute((msdosDateTime >> 5) & 0x3F);
    components.setSecond((msdosDateTime << 1) & 0x3E);
    return gregorian->dateFromComponents(components);
}

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

namespace {
NSErrorPtr zipError(long code, const char* description) {
    return NSError::errorWithDomain(TKZipArchiveErrorDomain, code, {{NSLocalizedDescriptionKey, std::string(description)}});
}
} // namespace

bool TKZipArchive::unzipFileAtPathToDestinationOverwritePasswordErrorDelegate(const std::string& path, const std::string& destination,
                                                                              bool overwrite, const std::string& password, NSErrorPtr* error,
                                                                              const std::shared_ptr<TKZipArchiveDelegate>& delegate) {
    std::string archiveHost = NSString::fileSystemRepresentation(path);
    UnzipHandle zip(unzOpen64(archiveHost.c_str()));
    if (!zip) {
        if (isArchiveWithoutEntries(archiveHost)) {
            NSErrorSet(error, zipError(TKZipArchiveErrorFirstEntry, "failed to open first file in zip file"));
        } else {
            NSErrorSet(error, zipError(TKZipArchiveErrorOpenArchive, "failed to open zip file"));
        }
        return false;
    }
    auto fileManager = NSFileManager::defaultManager();
    auto archiveAttributes = fileManager->attributesOfItemAtPath(path, nullptr);
    auto fileSize = static_cast<std::int64_t>(archiveAttributes && archiveAttributes->fileSize ? *archiveAttributes->fileSize : 0);

    unz_global_info64 globalInfo;
    std::memset(&globalInfo, 0, sizeof globalInfo);
    unzGetGlobalInfo64(zip.get(), &globalInfo);
    if (unzGoToFirstFile(zip.get()) != UNZ_OK) {
        NSErrorSet(error, zipError(TKZipArchiveErrorFirstEntry, "failed to open first file in zip file"));
        return false;
    }

    std::vector<char> buffer(kReadBufferSize, 0);
    std::set<std::pair<std::string, double>> directoriesAndDates;
    std::vector<std::pair<std::string, mode_t>> directoryPermissions;
    // Links this archive made, as paths relative to the destination: nothing is written through them.
    std::set<std::string> archiveLinks;
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
        ret = password.empty() ? unzOpenCurrentFile(zip.get()) : unzOpenCurrentFilePassword(zip.get(), password.c_str());
        if (ret != UNZ_OK) {
            success = false;
            break;
        }
        unz_file_info64 fileInfo;
        std::memset(&fileInfo, 0, sizeof fileInfo);
        ret = unzGetCurrentFileInfo64(zip.get(), &fileInfo, nullptr, 0, nullptr, 0, nullptr, 0);
        if (ret != UNZ_OK) {
            unzCloseCurrentFile(zip.get());
            success = false;
            break;
        }
        currentPosition += static_cast<std::int64_t>(fileInfo.compressed_size);
        if (delegate) {
            delegate->zipArchiveWillUnzipFileAtIndexTotalFilesArchivePathFileInfo(currentFileNumber, totalFiles, path, fileInfo);
            delegate->zipArchiveProgressEventTotal(currentPosition, fileSize);
        }

        std::vector<char> nameBuffer(fileInfo.size_filename + 1, 0);
        unzGetCurrentFileInfo64(zip.get(), &fileInfo, nameBuffer.data(), static_cast<uLong>(nameBuffer.size()), nullptr, 0, nullptr, 0);
        std::string name(nameBuffer.data());
        bool isDirectory = !name.empty() && (name.back() == '/' || name.back() == '\\');
        bool isSymbolicLink = ((fileInfo.external_fa >> 16) & kFileTypeMask) == kSymbolicLinkType;
        std::replace(name.begin(), name.end(), '\\', '/');

        auto components = componentsInsideDestination(name);
        // Nothing is written at or below a link this archive made, whatever the link points to.
        bool refused = !components || (components->empty() && !isDirectory) ||
                       passesThroughArchiveLink(*components, components->size(), archiveLinks);
        if (refused) {
            NSLog("[TKZipArchive] Refused \"%@\": it leads outside \"%@\"", name, destination);
            success = false;
            unzCloseCurrentFile(zip.get());
            ret = unzGoToNextFile(zip.get());
            continue;
        }
        std::string fullPath = pathInDestination(destination, *components);
        std::string fullHost = NSString::fileSystemRepresentation(fullPath);

        auto fileDate = _dateWithMSDOSFormat(static_cast<std::uint32_t>(fileInfo.dosDate));
        NSFileAttributes directoryAttributes;
        directoryAttributes.creationDate = fileDate;
        directoryAttributes.modificationDate = fileDate;
        NSErrorPtr folderError;
        std::string folder = isDirectory ? fullPath : NSString::stringByDeletingLastPathComponent(fullPath);
        if (!fileManager->createDirectoryAtPath(folder, true, &directoryAttributes, &folderError) && folderError) {
            NSLog("[TKZipArchive] Error: %@", folderError->localizedDescription());
        }
        if (!isSymbolicLink && fileDate) directoriesAndDates.emplace(fullPath, fileDate->timeIntervalSince1970());

        struct stat existing{};
        if (!isDirectory && !overwrite && ::lstat(fullHost.c_str(), &existing) == 0) {
            unzCloseCurrentFile(zip.get());
            ret = unzGoToNextFile(zip.get());
            continue;
        }

        bool entryFailed = false;
        auto permissions = static_cast<mode_t>((fileInfo.external_fa >> 16) & kExtractedPermissionMask);
        if (isDirectory) {
            if ((fileInfo.external_fa >> 16) != 0) directoryPermissions.emplace_back(fullPath, permissions);
        } else if (!isSymbolicLink) {
            // Never through a link at the path itself: an archive must not write outside its folder.
            FileDescriptor out(::open(fullHost.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
            if (out.fd < 0) {
                NSLog("[TKZipArchive] Failed to write \"%@\": %s", fullPath, std::strerror(errno));
                entryFailed = true;
            } else {
                while (true) {
                    int readBytes = unzReadCurrentFile(zip.get(), buffer.data(), kReadBufferSize);
                    if (readBytes < 0) {
                        NSLog("[TKZipArchive] Failed to read \"%@\" from the archive", name);
                        entryFailed = true;
                        break;
                    }
                    if (readBytes == 0) break;
                    if (int e = NSWriteAll(out.fd, buffer.data(), static_cast<std::size_t>(readBytes))) {
                        NSLog("[TKZipArchive] Failed to write \"%@\": %s", fullPath, std::strerror(e));
                        entryFailed = true;
                        break;
                    }
                }
                if (fileInfo.dosDate != 0 && fileDate) {
                    timespec times[2] = {timespecOf(fileDate->timeIntervalSince1970()), timespecOf(fileDate->timeIntervalSince1970())};
                    if (::futimens(out.fd, times) != 0) NSLog("[TKZipArchive] Failed to set attributes - whilst setting modification date");
                }
                if ((fileInfo.external_fa >> 16) != 0 && ::fchmod(out.fd, permissions) != 0) {
                    NSLog("[TKZipArchive] Failed to set attributes - whilst setting permissions");
                }
            }
        } else {
            std::string target;
            while (true) {
                int readBytes = unzReadCurrentFile(zip.get(), buffer.data(), kReadBufferSize);
                if (readBytes < 0) {
                    entryFailed = true;
                    break;
                }
                if (readBytes == 0) break;
                target.append(buffer.data(), static_cast<std::size_t>(readBytes));
                if (target.size() > kMaximumLinkTarget) break;
            }
            if (entryFailed || target.size() > kMaximumLinkTarget || !linkTargetStaysInside(*components, target, archiveLinks)) {
                NSLog("[TKZipArchive] Refused link \"%@\" to \"%@\": it leads outside \"%@\"", name, target, destination);
                entryFailed = true;
            } else if (::symlink(target.c_str(), fullHost.c_str()) != 0) {
                NSLog("Failed to create symbolic link at \"%@\" to \"%@\". symlink() error code: %d", fullPath, target, errno);
            } else {
                archiveLinks.insert(joined(*components, components->size()));
            }
        }

        if (unzCloseCurrentFile(zip.get()) == UNZ_CRCERROR) {
            NSLog("[TKZipArchive] Failed to read \"%@\" from the archive: CRC error", name);
            entryFailed = true;
        }
        if (entryFailed) success = false;
        ret = unzGoToNextFile(zip.get());
        if (delegate) delegate->zipArchiveDidUnzipFileAtIndexTotalFilesArchivePathFileInfo(currentFileNumber, totalFiles, path, fileInfo);
        ++currentFileNumber;
    } while (ret == UNZ_OK);
    zip.reset();

    for (const auto& [itemPath, seconds] : directoriesAndDates) {
        NSFileAttributes attributes;
        attributes.modificationDate = NSDate::dateWithTimeIntervalSince1970(seconds);
        NSErrorPtr attributeError;
        if (!fileManager->setAttributesOfItemAtPath(attributes, itemPath, &attributeError)) {
            NSLog("[TKZipArchive] Set attributes failed for directory: %@.", itemPath);
            if (attributeError) NSLog("[TKZipArchive] Error setting directory file modification date attribute: %@", attributeError->localizedDescription());
        }
    }
    // Folder permissions last, so that a read-only folder could still be filled.
    for (const auto& [folderPath, permissions] : directoryPermissions) {
        NSFileAttributes attributes;
        attributes.posixPermissions = static_cast<std::uint16_t>(permissions);
        if (!fileManager->setAttributesOfItemAtPath(attributes, folderPath, nullptr)) {
            NSLog("[TKZipArchive] Failed to set attributes - whilst setting permissions");
        }
    }
    if (success && delegate) delegate->zipArchiveDidUnzipArchiveAtPathZipInfoUnzippedPath(path, globalInfo, destination);
    if (delegate) delegate->zipArchiveProgressEventTotal(fileSize, fileSize);
    return success;
}

#include "app/support/TKZipArchive.h"

#include "app/support/TKZipDeflater.h"
#include "app/support/TKZipEndRecords.h"

#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <zlib.h>

const std::string TKZipArchiveErrorDomain = "TKZipArchiveErrorDomain";

namespace {

// Files are read through one buffer of this size and deflated in pieces of a bounded number;
// no file is held in memory whole.
constexpr std::size_t kReadBufferSize = 65536;
constexpr std::uint64_t kZip64Threshold = 0xFFFFFFFFull;
// Made on Unix (upper byte 3), by the 3.0 format: other tools then read the upper half of the
// external attributes as the file's mode, and take the names' bytes as they stand.
constexpr uLong kVersionMadeBy = (3u << 8) | 30u;
constexpr uLong kUTF8NameFlag = 1u << 11;   // general purpose bit 11: the name is UTF-8
// The mode of entries written from memory: a regular file readable by all.
constexpr mode_t kDataEntryMode = S_IFREG | 0644;
// The range of years a DOS date can hold.
constexpr long kFirstDOSYear = 1980;
constexpr long kLastDOSYear = 2107;

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

} // namespace

TKZipArchive::TKZipArchive(std::string path) : path_(std::move(path)) {}

TKZipArchive::~TKZipArchive() {
    deflater_.reset();
    if (zip_) zipClose(zip_, nullptr);
}

TKZipDeflater& TKZipArchive::deflater() {
    if (!deflater_) deflater_ = std::make_unique<TKZipDeflater>(zip_);
    return *deflater_;
}

bool TKZipArchive::flushEntries() { return !deflater_ || deflater_->flush(); }

bool TKZipArchive::needsZip64(std::uint64_t size) { return size >= kZip64Threshold; }

bool TKZipArchive::open() {
    if (zip_) finish(false);
    // The rename that publishes the archive replaces a symbolic link at the path (in a shared folder
    // such as /tmp anyone can plant one) rather than writing through it.
    if (output_.begin(path_) != 0) return false;
    zip_ = zipOpen64(output_.temporaryHostPath().c_str(), APPEND_STATUS_CREATE);
    if (!zip_) {
        output_.discard();
        return false;
    }
    entries_ = 0;
    struct stat st{};
    if (::fstat(output_.fd(), &st) == 0) {
        archiveDevice_ = st.st_dev;
        archiveInode_ = st.st_ino;
    }
    return true;
}

bool TKZipArchive::close() { return finish(true); }

bool TKZipArchive::finish(bool publish) {
    if (!zip_) return false;
    bool flushed = flushEntries();
    deflater_.reset();
    int result = zipClose(zip_, nullptr);
    zip_ = nullptr;
    bool whole = publish && result == ZIP_OK && flushed &&
                 (entries_ < TKZipClassicEntryLimit || TKZipAddZip64EndRecords(output_.fd(), entries_));
    if (!whole) {
        output_.discard();
        return false;
    }
    return output_.commit(WholeFileWriter::Sync::None) == 0;
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
    // Only regular files: a FIFO, socket or device would block or never end.
    NSRegularFile source = NSOpenRegularFile(path);
    if (source.notRegular) {
        NSLog("[TKZipArchive] Skipped \"%@\": not a regular file", path);
        return WriteResult::Skipped;
    }
    if (!source) return refusedSource(path, source.errnum);
    const struct stat& st = source.st;
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

    // A write to the archive that failed for an earlier entry shows here at the latest.
    if (!deflater().ok()) {
        NSLog("[TKZipArchive] Failed to add \"%@\" to the archive", path);
        return WriteResult::Failed;
    }
    deflater().beginEntry({name, info, forceZip64 || needsZip64(static_cast<std::uint64_t>(st.st_size)), kVersionMadeBy, nameFlags(name)});
    ++entries_;
    if (buffer_.size() != kReadBufferSize) buffer_.resize(kReadBufferSize);
    WriteResult result = WriteResult::Added;
    while (true) {
        ssize_t n = ::read(source.fd.get(), buffer_.data(), buffer_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            NSLog("[TKZipArchive] Failed to read \"%@\": %s", path, std::strerror(errno));
            result = WriteResult::Failed;
            break;
        }
        if (n == 0) break;
        deflater().addBytes(buffer_.data(), static_cast<std::size_t>(n));
    }
    deflater().endEntry();
    return result;
}

// One file at a time: its entry is in the archive when the answer comes.
bool TKZipArchive::writeFileAtPathWithFileName(const std::string& path, const std::string& fileName) {
    return addFile(path, fileName, false) == WriteResult::Added && entryWritten(path);
}

bool TKZipArchive::writeFileAtPathWithFileNameZip64(const std::string& path, const std::string& fileName) {
    return addFile(path, fileName, true) == WriteResult::Added && entryWritten(path);
}

bool TKZipArchive::entryWritten(const std::string& path) {
    if (flushEntries()) return true;
    NSLog("[TKZipArchive] Failed to write \"%@\" to the archive", path);
    return false;
}

bool TKZipArchive::writeDataFilename(const NSData* data, const std::string& filename) {
    if (!zip_ || !data) return false;
    zip_fileinfo info;
    std::memset(&info, 0, sizeof info);
    zipInfoSetDate(&info, *NSDate::date());
    info.external_fa = unixAttributes(kDataEntryMode);
    if (!deflater().ok()) return false;
    deflater().beginEntry({filename, info, needsZip64(data->length()), kVersionMadeBy, nameFlags(filename)});
    ++entries_;
    deflater().addBytes(data->bytes(), data->length());
    deflater().endEntry();
    return flushEntries();
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
    return archive->finish(written);
}

bool TKZipArchive::createZipFileAtPathWithContentsOfDirectory(const std::string& path, const std::string& directoryPath) {
    auto archive = std::make_shared<TKZipArchive>(path);
    if (!archive->open()) return false;
    auto fileManager = std::make_shared<NSFileManager>();
    auto enumerator = fileManager->enumeratorAtPath(directoryPath);
    if (!enumerator) {
        NSLog("[TKZipArchive] Cannot read the folder \"%@\"", directoryPath);
        archive->finish(false);
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
    return archive->finish(written);
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

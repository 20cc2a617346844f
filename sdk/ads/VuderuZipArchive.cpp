#include "sdk/ads/VuderuZipArchive.h"

#include "platform/foundation/ExtractionSafety.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/ZipEntryLayout.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWindowBits = 15;
constexpr int kMemoryLevel = 8;
constexpr unsigned kReadBufferSize = 4096;
constexpr mode_t kNewFileMode = 0666;
constexpr int kFirstYear = 1980;
constexpr uLong kEncryptedFlag = 1;

// Whether the minizip at hand encrypts. Built without it, it marks an entry as encrypted and
// stores it in the clear: no reader opens such an archive, and the secret is in plain sight.
bool libraryEncrypts() {
    static const bool encrypts = [] {
        char path[] = "/tmp/vuderu-zip-probe-XXXXXX";
        int fd = ::mkstemp(path);
        if (fd < 0) return false;
        ::close(fd);
        bool readBack = false;
        if (void* zip = zipOpen64(path, APPEND_STATUS_CREATE)) {
            zip_fileinfo info;
            std::memset(&info, 0, sizeof info);
            const char data[] = "probe";
            uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data), sizeof data);
            bool written = zipOpenNewFileInZip3(zip, "p", &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0,
                                                kWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY, "probe", crc) == ZIP_OK &&
                           zipWriteInFileInZip(zip, data, sizeof data) == ZIP_OK && zipCloseFileInZip(zip) == ZIP_OK;
            written = zipClose(zip, nullptr) == ZIP_OK && written;
            if (void* unzip = written ? unzOpen64(path) : nullptr) {
                char buffer[sizeof data + 1];
                readBack = unzGoToFirstFile(unzip) == UNZ_OK && unzOpenCurrentFilePassword(unzip, "probe") == UNZ_OK &&
                           unzReadCurrentFile(unzip, buffer, sizeof buffer) == static_cast<int>(sizeof data) &&
                           unzCloseCurrentFile(unzip) == UNZ_OK;
                unzClose(unzip);
            }
        }
        ::unlink(path);
        return readBack;
    }();
    return encrypts;
}

struct ZipCloser {
    void operator()(void* zip) const {
        if (zip) zipClose(zip, nullptr);
    }
};
struct UnzipCloser {
    void operator()(void* zip) const {
        if (zip) unzClose(zip);
    }
};

} // namespace

struct VuderuZipArchive::Writer {
    std::unique_ptr<void, ZipCloser> zip;
};

struct VuderuZipArchive::Reader {
    ScopedDescriptor file;
    std::unique_ptr<void, UnzipCloser> zip;
};

VuderuZipArchive::VuderuZipArchive() = default;
VuderuZipArchive::~VuderuZipArchive() = default;

bool VuderuZipArchive::CreateZipFile2(const std::string& zipFile) {
    void* zip = zipOpen64(NSString::fileSystemRepresentation(zipFile).c_str(), APPEND_STATUS_CREATE);
    if (!zip) return false;
    writer_ = std::make_unique<Writer>();
    writer_->zip.reset(zip);
    return true;
}

bool VuderuZipArchive::CreateZipFile2Password(const std::string& zipFile, const std::string& password) {
    password_ = password;
    return CreateZipFile2(zipFile);
}

bool VuderuZipArchive::addFileToZipNewname(const std::string& file, const std::string& newname) {
    if (!writer_) return false;
    zip_fileinfo info;
    std::memset(&info, 0, sizeof info);
    struct stat st{};
    if (::stat(NSString::fileSystemRepresentation(file).c_str(), &st) == 0) {
        std::tm local{};
        std::time_t modified = st.st_mtime;
        localtime_r(&modified, &local);
        info.tmz_date = {static_cast<uInt>(local.tm_sec), static_cast<uInt>(local.tm_min), static_cast<uInt>(local.tm_hour),
                         static_cast<uInt>(local.tm_mday), static_cast<uInt>(local.tm_mon), static_cast<uInt>(local.tm_year + 1900)};
    }
    auto data = NSData::dataWithContentsOfFile(file);
    if (!data) return false;
    void* zip = writer_->zip.get();
    int opened;
    if (!password_.empty()) {
        if (!libraryEncrypts()) {
            NSLog("VuderuZipArchive: cannot encrypt \"%@\": the zip library was built without encryption", newname);
            return false;
        }
        uLong crc = crc32(crc32(0L, Z_NULL, 0), data->bytes(), static_cast<uInt>(data->length()));
        opened = zipOpenNewFileInZip3(zip, newname.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0,
                                      kWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY, password_.c_str(), crc);
    } else {
        opened = zipOpenNewFileInZip(zip, newname.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION);
    }
    if (opened != ZIP_OK) return false;
    bool written = zipWriteInFileInZip(zip, data->bytes(), static_cast<unsigned>(data->length())) == ZIP_OK;
    return zipCloseFileInZip(zip) == ZIP_OK && written;
}

bool VuderuZipArchive::CloseZipFile2() {
    password_.clear();
    if (!writer_) return false;
    void* zip = writer_->zip.release();
    writer_.reset();
    return zipClose(zip, nullptr) == ZIP_OK;
}

bool VuderuZipArchive::UnzipOpenFile(const std::string& zipFile) {
    UnzipCloseFile();
    auto reader = std::make_unique<Reader>();
    reader->file = ScopedDescriptor(::open(NSString::fileSystemRepresentation(zipFile).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st{};
    if (!reader->file.valid() || ::fstat(reader->file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // minizip reads the very file opened here, whatever is put at the path meanwhile.
    std::string byDescriptor = "/proc/self/fd/" + std::to_string(reader->file.get());
    reader->zip.reset(unzOpen64(byDescriptor.c_str()));
    if (!reader->zip) return false;
    unz_global_info64 global;
    std::memset(&global, 0, sizeof global);
    if (unzGetGlobalInfo64(reader->zip.get(), &global) == UNZ_OK) NSLog("%d entries in the zip file", static_cast<int>(global.number_entry));
    reader_ = std::move(reader);
    return true;
}

bool VuderuZipArchive::UnzipOpenFilePassword(const std::string& zipFile, const std::string& password) {
    password_ = password;
    return UnzipOpenFile(zipFile);
}

bool VuderuZipArchive::UnzipCloseFile() {
    password_.clear();
    if (!reader_) return true;
    void* zip = reader_->zip.release();
    reader_.reset();
    return unzClose(zip) == UNZ_OK;
}

void VuderuZipArchive::setExtractionLimits(std::uint64_t maximumBytes, std::uint64_t maximumRatio) {
    extractionLimits_ = std::make_pair(maximumBytes, maximumRatio);
}

void VuderuZipArchive::OutputErrorMessage(const std::string& message) const {
    if (delegate_) delegate_->ErrorMessage(message);
}

bool VuderuZipArchive::OverWrite(const std::string& path) const {
    if (!delegate_) return true;
    return delegate_->OverWriteOperation(path).value_or(true);
}

std::shared_ptr<NSDate> VuderuZipArchive::Date1980() {
    std::tm local{};
    local.tm_year = kFirstYear - 1900;
    local.tm_mday = 1;
    local.tm_isdst = -1;
    return NSDate::dateWithTimeIntervalSince1970(static_cast<double>(std::mktime(&local)));
}

// One extraction into a destination held by a descriptor: the entry minizip stands on is
// written beneath it, or refused and told to the delegate.
class VuderuZipArchive::Extraction {
public:
    Extraction(const VuderuZipArchive& archive, void* zip, ExtractionDestination destination, std::string path, ExtractionBudget budget)
        : archive_(archive), zip_(zip), destination_(std::move(destination)), path_(std::move(path)), budget_(budget),
          buffer_(kReadBufferSize) {}

    // NO when the entry was refused or could not be written completely.
    bool extractCurrentEntry(const unz_file_info64& info, bool overwrite);

private:
    bool refuse(const std::string& name, const std::string& why) const {
        archive_.OutputErrorMessage("Refused \"" + name + "\": " + why);
        return false;
    }
    std::string devicePath(const std::vector<std::string>& components) const {
        return NSString::stringByAppendingPathComponent(path_, NSString::componentsJoinedByString(components, "/"));
    }
    bool writeFile(const std::string& name, const std::vector<std::string>& components, const unz_file_info64& info);
    void removeFile(const std::vector<std::string>& components) const;

    const VuderuZipArchive& archive_;
    void* zip_;
    ExtractionDestination destination_;
    std::string path_;
    ExtractionBudget budget_;
    std::vector<char> buffer_;
};

bool VuderuZipArchive::Extraction::extractCurrentEntry(const unz_file_info64& info, bool overwrite) {
    std::vector<char> nameBuffer(info.size_filename + 1, 0);
    unzGetCurrentFileInfo64(zip_, nullptr, nameBuffer.data(), static_cast<uLong>(nameBuffer.size()), nullptr, 0, nullptr, 0);
    std::string name = nameBuffer.data();
    bool isFolder = !name.empty() && (name.back() == '/' || name.back() == '\\');
    std::replace(name.begin(), name.end(), '\\', '/');
    auto components = extractionComponentsOfName(name);
    // Only a folder entry may name the destination itself.
    if (!components || (components->empty() && !isFolder)) return refuse(name, "it leads outside \"" + path_ + "\"");
    // Charged before anything is made; the writer holds each file to the size charged.
    if (!budget_.charge(isFolder ? 0 : info.uncompressed_size))
        return refuse(name, "it would unpack past the limit of " + std::to_string(budget_.limit()) + " bytes");
    ExtractionRefusal refusal = ExtractionRefusal::None;
    int errnum = 0;
    if (isFolder) {
        if (destination_.folder(*components, components->size(), true, &refusal, &errnum).valid()) return true;
        return refuse(name, refusal == ExtractionRefusal::SymbolicLink ? "a symbolic link stands in its way" : std::strerror(errnum));
    }
    bool exists = destination_.itemExists(*components);
    if (exists && !overwrite && !archive_.OverWrite(devicePath(*components))) return true;
    return writeFile(name, *components, info);
}

bool VuderuZipArchive::Extraction::writeFile(const std::string& name, const std::vector<std::string>& components, const unz_file_info64& info) {
    ExtractionRefusal refusal = ExtractionRefusal::None;
    int errnum = 0;
    ScopedDescriptor out = destination_.createFile(components, kNewFileMode, &refusal, &errnum);
    if (!out.valid()) return refuse(name, refusal == ExtractionRefusal::SymbolicLink ? "a symbolic link stands in its way" : std::strerror(errnum));
    std::uint64_t written = 0;
    while (true) {
        int readBytes = unzReadCurrentFile(zip_, buffer_.data(), kReadBufferSize);
        if (readBytes < 0) {
            // What was written stays.
            archive_.OutputErrorMessage("Failed to reading zip file");
            return false;
        }
        if (readBytes == 0) break;
        written += static_cast<std::uint64_t>(readBytes);
        if (written > info.uncompressed_size) {
            out = ScopedDescriptor();
            removeFile(components);
            return refuse(name, "it inflates past its declared size");
        }
        if (int e = NSWriteAll(out.get(), buffer_.data(), static_cast<std::size_t>(readBytes))) return refuse(name, std::strerror(e));
    }
    // minizip stops at the declared size; data that goes on, or that is damaged (or read with a
    // wrong password), shows as a checksum error once all of it was read.
    if (unzCloseCurrentFile(zip_) == UNZ_CRCERROR) {
        out = ScopedDescriptor();
        removeFile(components);
        return refuse(name, "its data does not match its checksum");
    }
    std::tm date{};
    date.tm_sec = static_cast<int>(info.tmu_date.tm_sec);
    date.tm_min = static_cast<int>(info.tmu_date.tm_min);
    date.tm_hour = static_cast<int>(info.tmu_date.tm_hour);
    date.tm_mday = static_cast<int>(info.tmu_date.tm_mday);
    date.tm_mon = static_cast<int>(info.tmu_date.tm_mon);
    date.tm_year = static_cast<int>(info.tmu_date.tm_year) - 1900;
    date.tm_isdst = -1;
    const double modified = static_cast<double>(std::mktime(&date));
    timespec times[2] = {timespecFromSeconds(modified), timespecFromSeconds(modified)};
    if (::futimens(out.get(), times) != 0) NSLog("Failed to set attributes");
    return true;
}

void VuderuZipArchive::Extraction::removeFile(const std::vector<std::string>& components) const {
    ExtractionRefusal refusal = ExtractionRefusal::None;
    int errnum = 0;
    ScopedDescriptor parent = destination_.folder(components, components.size() - 1, false, &refusal, &errnum);
    if (parent.valid()) ::unlinkat(parent.get(), components.back().c_str(), 0);
}

bool VuderuZipArchive::UnzipFileToOverWrite(const std::string& path, bool overwrite) {
    void* zip = reader_ ? reader_->zip.get() : nullptr;
    if (!zip) {
        OutputErrorMessage("Failed");
        OutputErrorMessage("Error occurs");
        return false;
    }
    // Entries sharing bytes would inflate the same data again and again: nothing is written.
    ZipEntryLayout layout = zipEntryLayoutOfArchive(reader_->file.get());
    if (layout != ZipEntryLayout::Separate) {
        OutputErrorMessage(layout == ZipEntryLayout::Overlapping ? "Refused the archive: its entries overlap one another"
                                                                 : "Refused the archive: its records cannot be read");
        return false;
    }
    NSFileManager::defaultManager()->createDirectoryAtPath(path, true, nullptr, nullptr);
    int errnum = 0;
    auto destination = ExtractionDestination::open(NSString::fileSystemRepresentation(path), &errnum);
    if (!destination) {
        OutputErrorMessage("Failed to open \"" + path + "\": " + std::strerror(errnum));
        return false;
    }
    struct stat archive{};
    const std::uint64_t archiveBytes = ::fstat(reader_->file.get(), &archive) == 0 ? static_cast<std::uint64_t>(archive.st_size) : 0;
    ExtractionBudget budget = extractionLimits_ ? ExtractionBudget(archiveBytes, extractionLimits_->first, extractionLimits_->second)
                                                : ExtractionBudget(archiveBytes, UINT64_MAX, 0);
    Extraction extraction(*this, zip, std::move(*destination), path, budget);
    if (unzGoToFirstFile(zip) != UNZ_OK) OutputErrorMessage("Failed");
    bool success = true;
    int next = UNZ_OK;
    do {
        // The password serves encrypted entries only: a library built without encryption refuses
        // any password, also for entries stored in the clear.
        unz_file_info64 flags;
        std::memset(&flags, 0, sizeof flags);
        unzGetCurrentFileInfo64(zip, &flags, nullptr, 0, nullptr, 0, nullptr, 0);
        bool encrypted = (flags.flag & kEncryptedFlag) != 0;
        int opened = password_.empty() || !encrypted ? unzOpenCurrentFile(zip) : unzOpenCurrentFilePassword(zip, password_.c_str());
        if (opened != UNZ_OK) {
            OutputErrorMessage("Error occurs");
            return false;
        }
        unz_file_info64 info;
        std::memset(&info, 0, sizeof info);
        if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            OutputErrorMessage("Error occurs while getting file info");
            unzCloseCurrentFile(zip);
            return false;
        }
        if (!extraction.extractCurrentEntry(info, overwrite)) success = false;
        unzCloseCurrentFile(zip);
        next = unzGoToNextFile(zip);
    } while (next == UNZ_OK);
    return success;
}

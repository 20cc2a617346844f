#include "sdk/ads/VuderuZipArchive.h"

#include "platform/foundation/ExtractionSafety.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/ZipExtraction.h"

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
constexpr int kFirstYear = 1980;

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

} // namespace

struct VuderuZipArchive::Writer {
    std::unique_ptr<void, ZipCloser> zip;
};

struct VuderuZipArchive::Reader {
    ZipArchiveFile archive;
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
    auto archive = ZipArchiveFile::open(zipFile, nullptr);
    if (!archive) return false;
    unz_global_info64 global;
    std::memset(&global, 0, sizeof global);
    if (unzGetGlobalInfo64(archive->zip(), &global) == UNZ_OK) NSLog("%d entries in the zip file", static_cast<int>(global.number_entry));
    reader_ = std::make_unique<Reader>(Reader{std::move(*archive)});
    return true;
}

bool VuderuZipArchive::UnzipOpenFilePassword(const std::string& zipFile, const std::string& password) {
    password_ = password;
    return UnzipOpenFile(zipFile);
}

bool VuderuZipArchive::UnzipCloseFile() {
    password_.clear();
    if (!reader_) return true;
    bool closed = reader_->archive.close();
    reader_.reset();
    return closed;
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

bool VuderuZipArchive::UnzipFileToOverWrite(const std::string& path, bool overwrite) {
    if (!reader_) {
        OutputErrorMessage("Failed");
        OutputErrorMessage("Error occurs");
        return false;
    }
    const ZipArchiveFile& archive = reader_->archive;
    // Entries sharing bytes would inflate the same data again and again: nothing is written.
    ZipEntryLayout layout = archive.layout();
    if (layout != ZipEntryLayout::Separate) {
        OutputErrorMessage(layout == ZipEntryLayout::Overlapping ? "Refused the archive: its entries overlap one another"
                                                                 : "Refused the archive: its records cannot be read");
        return false;
    }
    int errnum = 0;
    auto destination = ZipExtraction::openDestination(path, &errnum);
    if (!destination) {
        OutputErrorMessage("Failed to open \"" + path + "\": " + std::strerror(errnum));
        return false;
    }
    ExtractionBudget budget = extractionLimits_ ? ExtractionBudget(archive.size(), extractionLimits_->first, extractionLimits_->second)
                                                : ExtractionBudget(archive.size(), UINT64_MAX, 0);
    ZipExtraction::Hooks hooks;
    // Without a delegate to tell, the entries refused are logged, so that a bundle missing files
    // says why.
    hooks.problem = [this](ZipExtraction::Problem problem, const std::string& line) {
        if (!delegate_) NSLog("VuderuZipArchive: %@", line);
        OutputErrorMessage(problem == ZipExtraction::Problem::ReadFailed ? "Failed to reading zip file" : line);
    };
    // Without overwriting, an existing file is replaced only as OverWrite allows (always, without
    // a delegate); a file kept is logged.
    hooks.keepExisting = [this, overwrite](const ZipExtractionEntry&, const std::string& devicePath) {
        if (overwrite || OverWrite(devicePath)) return false;
        NSLog("VuderuZipArchive: kept \"%@\": the delegate did not allow replacing it", devicePath);
        return true;
    };
    if (unzGoToFirstFile(archive.zip()) != UNZ_OK) OutputErrorMessage("Failed");
    ZipExtraction extraction(archive.zip(), std::move(*destination), path, budget, {.password = password_}, std::move(hooks));
    switch (extraction.extractAll()) {
    case ZipExtraction::Result::Complete: return true;
    case ZipExtraction::Result::EntryRefused: return false;
    case ZipExtraction::Result::Stopped: break;
    }
    OutputErrorMessage("Error occurs");
    return false;
}

#pragma once
// Zip archives over minizip: an incremental writer (open, add files or data, close), conveniences
// that pack a list of files or a whole folder, and a complete unzip with an optional delegate.
// Paths are device paths; minizip and open(2) get their host paths. Entries are written as made
// on Unix, with each file's mode, so that other tools restore names and permissions as they were.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/WholeFile.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern const std::string TKZipArchiveErrorDomain; // "TKZipArchiveErrorDomain"

enum : long {
    TKZipArchiveErrorOpenArchive = -1,    // "failed to open zip file"
    TKZipArchiveErrorFirstEntry = -2,     // "failed to open first file in zip file"
};

// What the unzip operation tells its delegate. Every method is optional: the default bodies do
// what a delegate that does not implement them would, nothing. The records are minizip's, copied.
class TKZipArchiveDelegate {
public:
    virtual ~TKZipArchiveDelegate() = default;
    virtual void zipArchiveWillUnzipArchiveAtPathZipInfo(const std::string& /*path*/, unz_global_info64 /*zipInfo*/) {}
    // (0, archive size) first, the running sum of compressed sizes as entries go, (size, size) last.
    virtual void zipArchiveProgressEventTotal(std::int64_t /*loaded*/, std::int64_t /*total*/) {}
    virtual void zipArchiveWillUnzipFileAtIndexTotalFilesArchivePathFileInfo(std::int64_t /*fileIndex*/, std::int64_t /*totalFiles*/,
                                                                             const std::string& /*archivePath*/, unz_file_info64 /*fileInfo*/) {}
    virtual void zipArchiveDidUnzipFileAtIndexTotalFilesArchivePathFileInfo(std::int64_t /*fileIndex*/, std::int64_t /*totalFiles*/,
                                                                            const std::string& /*archivePath*/, unz_file_info64 /*fileInfo*/) {}
    // Only when the whole operation succeeded.
    virtual void zipArchiveDidUnzipArchiveAtPathZipInfoUnzippedPath(const std::string& /*path*/, unz_global_info64 /*zipInfo*/,
                                                                    const std::string& /*unzippedPath*/) {}
};

class TKZipDeflater;

class TKZipArchive : public NSObject {
public:
    // Keeps the path; creates nothing on disk.
    explicit TKZipArchive(std::string path);
    // Drops an archive that was left open: minizip's handle is freed and the unfinished file goes.
    ~TKZipArchive() override;

    // Begins a new archive for the path. It is written under a temporary name beside the path
    // and replaces any file there only when close() finishes it whole.
    bool open();
    bool writeFile(const std::string& path) { return writeFileAtPathWithFileName(path, ""); }
    // Adds a regular file (a link to one is followed) as one entry named `fileName`, or after the
    // file when the name is empty. NO when the file is not a regular file or cannot be read, or
    // when minizip fails; files of 4 GiB and more are written as zip64 entries.
    bool writeFileAtPathWithFileName(const std::string& path, const std::string& fileName);
    // The same, in the zip64 format whatever the file's size.
    bool writeFileAtPathWithFileNameZip64(const std::string& path, const std::string& fileName);
    bool writeDataFilename(const NSData* data, const std::string& filename);
    // Finishes the archive and puts it at its path; NO, with nothing at the path changed, when
    // minizip reports a failure.
    bool close();
    // The six date fields of an entry's record, in the local time zone.
    void zipInfoSetDate(zip_fileinfo* zipInfo, const NSDate& date) const;

    // Whether an entry of that many bytes needs the zip64 format.
    static bool needsZip64(std::uint64_t size);

    static bool createZipFileAtPathWithFilesAtPaths(const std::string& path, const std::vector<std::string>& paths);
    // Every regular file below the folder, named by its relative path. NO when the archive could
    // not be made, the folder not read, a file's path was refused by the system (too long, say),
    // or any write to the archive failed: the path then holds what it held before. Items that
    // are not regular files, that vanished or that may not be read are skipped and logged.
    static bool createZipFileAtPathWithContentsOfDirectory(const std::string& path, const std::string& directoryPath);

    static bool unzipFileAtPathToDestination(const std::string& path, const std::string& destination);
    static bool unzipFileAtPathToDestinationDelegate(const std::string& path, const std::string& destination,
                                                     const std::shared_ptr<TKZipArchiveDelegate>& delegate);
    static bool unzipFileAtPathToDestinationOverwritePasswordError(const std::string& path, const std::string& destination, bool overwrite,
                                                                   const std::string& password, NSErrorPtr* error);
    // Every entry is written beneath the destination without following a symbolic link, whoever
    // made it: entries whose names or link targets lead outside, or whose path meets a link, are
    // refused (logged, and the result is NO). An archive whose entries overlap in the file is
    // refused before anything is written (code -1); an entry that inflates past its declared size
    // or fails its checksum is removed, and so is every entry that would take the unzip past its
    // limits (see setUnzipLimits).
    static bool unzipFileAtPathToDestinationOverwritePasswordErrorDelegate(const std::string& path, const std::string& destination,
                                                                           bool overwrite, const std::string& password, NSErrorPtr* error,
                                                                           const std::shared_ptr<TKZipArchiveDelegate>& delegate);

    // What one unzip may put on disk, in all: at most `maximumBytes`, and at most `maximumRatio`
    // times the archive's size (0: no ratio), counted as ExtractionBudget counts. The defaults stop
    // a zip bomb while any ordinary archive fits: real files rarely compress more than tenfold.
    static constexpr std::uint64_t kUnzipMaximumBytes = 8ull << 30;
    static constexpr std::uint64_t kUnzipMaximumRatio = 200;
    static void setUnzipLimits(std::uint64_t maximumBytes, std::uint64_t maximumRatio);

    // A DOS date word as a date in the local time zone.
    static std::shared_ptr<NSDate> _dateWithMSDOSFormat(std::uint32_t msdosDateTime);

private:
    enum class WriteResult { Added, Skipped, Failed };
    // Hands the file's bytes to the deflater; its entry may be written later (see flushEntries).
    WriteResult addFile(const std::string& path, const std::string& fileName, bool forceZip64);
    TKZipDeflater& deflater();
    // Writes every entry handed over so far; false when a write to the archive failed.
    bool flushEntries();
    // flushEntries for the one file just added, logging a failure.
    bool entryWritten(const std::string& path);
    static WriteResult refusedSource(const std::string& path, int errnum);
    // Closes the archive, and puts it at its path when `publish` and it is whole.
    bool finish(bool publish);

    std::string path_;
    WholeFileWriter output_;
    zipFile zip_ = nullptr;
    // Entries begun in the archive being written.
    std::uint64_t entries_ = 0;
    // The archive file itself, never to be added to itself.
    std::uint64_t archiveDevice_ = 0;
    std::uint64_t archiveInode_ = 0;
    // The one buffer files are read through.
    std::vector<std::uint8_t> buffer_;
    // Deflates the entries on every core and writes them in order.
    std::unique_ptr<TKZipDeflater> deflater_;
};

// The unzip operation of TKZipArchive, over the platform's zip extraction: every entry is written
// beneath a descriptor of the destination, never through a symbolic link, within the unzip's
// budget, and an archive whose entries overlap is refused before anything is written.
#include "app/support/TKZipArchive.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/ZipExtraction.h"

#include <atomic>
#include <cstring>
#include <optional>

namespace {

NSErrorPtr zipError(long code, const char* description) {
    return NSError::errorWithDomain(TKZipArchiveErrorDomain, code, {{NSLocalizedDescriptionKey, std::string(description)}});
}

// The bounds of every unzip; the tests lower them.
std::atomic<std::uint64_t> gUnzipMaximumBytes{TKZipArchive::kUnzipMaximumBytes};
std::atomic<std::uint64_t> gUnzipMaximumRatio{TKZipArchive::kUnzipMaximumRatio};

// Opens the archive for reading and checks its layout; the error to give when it cannot be read.
std::optional<ZipArchiveFile> openArchive(const std::string& path, NSErrorPtr* error) {
    ZipArchiveFile::OpenFailure failure = ZipArchiveFile::OpenFailure::None;
    auto archive = ZipArchiveFile::open(path, &failure);
    if (!archive) {
        NSErrorSet(error, failure == ZipArchiveFile::OpenFailure::NoEntries
                              ? zipError(TKZipArchiveErrorFirstEntry, "failed to open first file in zip file")
                              : zipError(TKZipArchiveErrorOpenArchive, "failed to open zip file"));
        return std::nullopt;
    }
    ZipEntryLayout layout = archive->layout();
    if (layout != ZipEntryLayout::Separate) {
        NSLog("[TKZipArchive] Refused \"%@\": %s", path,
              layout == ZipEntryLayout::Overlapping ? "its entries overlap one another" : "its records cannot be read");
        NSErrorSet(error, zipError(TKZipArchiveErrorOpenArchive, "failed to open zip file"));
        return std::nullopt;
    }
    return archive;
}

} // namespace

void TKZipArchive::setUnzipLimits(std::uint64_t maximumBytes, std::uint64_t maximumRatio) {
    gUnzipMaximumBytes = maximumBytes;
    gUnzipMaximumRatio = maximumRatio;
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

bool TKZipArchive::unzipFileAtPathToDestinationOverwritePasswordErrorDelegate(const std::string& path, const std::string& destination,
                                                                              bool overwrite, const std::string& password, NSErrorPtr* error,
                                                                              const std::shared_ptr<TKZipArchiveDelegate>& delegate) {
    auto archive = openArchive(path, error);
    if (!archive) return false;
    unzFile zip = archive->zip();
    const auto fileSize = static_cast<std::int64_t>(archive->size());
    unz_global_info64 globalInfo;
    std::memset(&globalInfo, 0, sizeof globalInfo);
    unzGetGlobalInfo64(zip, &globalInfo);
    if (unzGoToFirstFile(zip) != UNZ_OK) {
        NSErrorSet(error, zipError(TKZipArchiveErrorFirstEntry, "failed to open first file in zip file"));
        return false;
    }
    int errnum = 0;
    auto destinationFolder = ZipExtraction::openDestination(destination, &errnum);
    if (!destinationFolder) {
        NSLog("[TKZipArchive] Error: %@", NSFileErrorWithErrno(errnum, destination, true)->localizedDescription());
        return false;
    }

    if (delegate) {
        delegate->zipArchiveWillUnzipArchiveAtPathZipInfo(path, globalInfo);
        delegate->zipArchiveProgressEventTotal(0, fileSize);
    }
    const auto totalFiles = static_cast<std::int64_t>(globalInfo.number_entry);
    std::int64_t currentPosition = 0;
    ZipExtraction::Hooks hooks;
    hooks.problem = [](ZipExtraction::Problem, const std::string& line) { NSLog("[TKZipArchive] %@", line); };
    // An item already there is kept when asked to: no did-unzip call, and the index stays.
    hooks.keepExisting = [overwrite](const ZipExtractionEntry&, const std::string&) { return !overwrite; };
    if (delegate) {
        hooks.willExtract = [&](std::int64_t index, const unz_file_info64& info) {
            currentPosition += static_cast<std::int64_t>(info.compressed_size);
            delegate->zipArchiveWillUnzipFileAtIndexTotalFilesArchivePathFileInfo(index, totalFiles, path, info);
            delegate->zipArchiveProgressEventTotal(currentPosition, fileSize);
        };
        hooks.didExtract = [&](std::int64_t index, const unz_file_info64& info) {
            delegate->zipArchiveDidUnzipFileAtIndexTotalFilesArchivePathFileInfo(index, totalFiles, path, info);
        };
    }
    ZipExtraction extraction(zip, std::move(*destinationFolder), destination,
                             ExtractionBudget(archive->size(), gUnzipMaximumBytes, gUnzipMaximumRatio),
                             {.symbolicLinks = true, .permissions = true, .password = password}, std::move(hooks));
    const bool success = extraction.extractAll() == ZipExtraction::Result::Complete;
    archive->close();

    if (success && delegate) delegate->zipArchiveDidUnzipArchiveAtPathZipInfoUnzippedPath(path, globalInfo, destination);
    if (delegate) delegate->zipArchiveProgressEventTotal(fileSize, fileSize);
    return success;
}

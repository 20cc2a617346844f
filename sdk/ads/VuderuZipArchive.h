#pragma once
// One zip archive at a time over minizip: create one and add files to it (optionally with
// traditional zip encryption), or open one and extract every entry into a folder, each file
// dated as its entry. Extraction never writes outside the folder nor through a symbolic link,
// and an archive whose entries overlap is refused before anything is written.

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <string>

// Told of extraction failures and asked before an existing file is replaced; both optional.
class VuderuZipArchiveDelegate {
public:
    virtual ~VuderuZipArchiveDelegate() = default;
    virtual void ErrorMessage(const std::string& /*message*/) {}
    // nullopt: the delegate does not answer (the file may be replaced).
    virtual std::optional<bool> OverWriteOperation(const std::string& /*path*/) { return std::nullopt; }
};

class VuderuZipArchive : public NSObject {
public:
    VuderuZipArchive();
    ~VuderuZipArchive() override;

    const std::shared_ptr<VuderuZipArchiveDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<VuderuZipArchiveDelegate> delegate) { delegate_ = std::move(delegate); }

    // Writing. Paths are device paths.
    bool CreateZipFile2(const std::string& zipFile);
    bool CreateZipFile2Password(const std::string& zipFile, const std::string& password);
    // Adds the file as one deflated entry, dated as the file.
    bool addFileToZipNewname(const std::string& file, const std::string& newname);
    bool CloseZipFile2();

    // Reading.
    bool UnzipOpenFile(const std::string& zipFile);
    bool UnzipOpenFilePassword(const std::string& zipFile, const std::string& password);
    // Extracts every entry; YES when every entry was extracted and the end was reached.
    bool UnzipFileToOverWrite(const std::string& path, bool overwrite);
    // Bounds what the next extractions may write in all: at most `maximumBytes`, and at most
    // `maximumRatio` times the archive's size (0: no ratio). An entry past the bound is refused,
    // and so is every later one that does not fit. Unbounded until set.
    void setExtractionLimits(std::uint64_t maximumBytes, std::uint64_t maximumRatio);
    bool UnzipCloseFile();

    void OutputErrorMessage(const std::string& message) const;
    bool OverWrite(const std::string& path) const;
    // 1 January 1980, midnight, local time.
    static std::shared_ptr<NSDate> Date1980();

private:
    struct Reader;
    struct Writer;

    std::unique_ptr<Writer> writer_;
    std::unique_ptr<Reader> reader_;
    std::string password_;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> extractionLimits_;  // bytes, ratio
    std::shared_ptr<VuderuZipArchiveDelegate> delegate_;
};

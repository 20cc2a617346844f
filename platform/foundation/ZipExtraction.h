#pragma once
// Extracting a zip archive into a folder over minizip: the one loop every unzipper of the tree
// runs. The archive is an outside file: it is opened without blocking, checked to be a regular
// file, and handed to minizip by its descriptor, so minizip reads the very file checked. Before
// anything is written its entries must not share bytes (ZipEntryLayout.h). Each entry is then
// written beneath a descriptor of the folder, never through a symbolic link (ExtractionSafety.h),
// charged to the extraction's budget before it is made and held to its declared size while it
// inflates. A file refused midway, or whose data fails its checksum, is removed: what stays is
// whole.

#include "platform/foundation/ExtractionSafety.h"
#include "platform/foundation/ZipEntryLayout.h"

#include <minizip/unzip.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// An archive open for extraction: its descriptor and minizip's reader over it.
class ZipArchiveFile {
public:
    enum class OpenFailure {
        None,
        NotRegular, // missing, unreadable, or not a regular file (a FIFO is refused at once)
        NoEntries,  // a valid archive that is nothing but its end record, which minizip cannot open
        Unreadable, // minizip cannot read it as an archive
    };

    // Opens the archive at the device path; nullopt and why when it cannot be read.
    static std::optional<ZipArchiveFile> open(const std::string& devicePath, OpenFailure* failure);

    unzFile zip() const { return zip_.get(); }
    int fd() const { return file_.get(); }
    std::uint64_t size() const { return size_; }
    // Whether the entries' bytes lie apart; anything but Separate is refused before extraction.
    ZipEntryLayout layout() const { return zipEntryLayoutOfArchive(file_.get()); }
    // Closes minizip's reader; false when minizip reports an error.
    bool close();

private:
    struct Closer {
        void operator()(void* zip) const;
    };
    ScopedDescriptor file_;
    std::unique_ptr<void, Closer> zip_;
    std::uint64_t size_ = 0;
};

// The entry minizip stands on, as its central record describes it.
struct ZipExtractionEntry {
    unz_file_info64 info{};
    std::string name; // as stored, with "\" turned into "/"
    bool isFolder = false;
    bool isSymbolicLink = false; // a Unix entry of link type
    // The path beneath the folder; nullopt when the name leads outside (only a folder entry may
    // name the folder itself).
    std::optional<std::vector<std::string>> components;

    bool hasMode() const { return (info.external_fa >> 16) != 0; }
    // The entry's permissions, never set-user-ID or set-group-ID.
    mode_t permissions() const;
    // The entry's date, read as local time; nullopt when it has none.
    std::optional<double> modificationDate() const;
};

// One extraction: the archive, the folder it goes into, the budget, and how it is told.
class ZipExtraction {
public:
    // What went wrong with an entry, for the caller to tell in its own words; `line` is the
    // usual one ("Refused \"NAME\": WHY", "Failed to write \"PATH\": WHY", …).
    enum class Problem {
        Refused,       // the entry leads outside, a link stands in its way, it does not fit the budget,
                       // it inflates past its declared size or fails its checksum
        ReadFailed,    // minizip could not inflate it
        WriteFailed,   // the system refused a folder, a file or a write
        AttributeFailed, // a date or permissions could not be set; the entry itself is there
    };
    struct Options {
        // Links are made when their targets stay inside the folder; otherwise a link entry is
        // written as a file holding its target.
        bool symbolicLinks = false;
        // Files and folders get the permissions their entries carry.
        bool permissions = false;
        // Serves encrypted entries only: a library built without encryption refuses any
        // password, also for entries stored in the clear.
        std::string password;
    };
    struct Hooks {
        std::function<void(Problem problem, const std::string& line)> problem;
        // Asked for an entry (not a folder) whose item already stands in the folder: true keeps
        // the item, and the entry is passed over.
        std::function<bool(const ZipExtractionEntry& entry, const std::string& devicePath)> keepExisting;
        // Around each entry written (not around those passed over), counted from 0.
        std::function<void(std::int64_t index, const unz_file_info64& info)> willExtract;
        std::function<void(std::int64_t index, const unz_file_info64& info)> didExtract;
    };
    enum class Result {
        Complete,     // every entry was written
        EntryRefused, // every entry was tried; some were refused or failed
        Stopped,      // an entry could not be opened: the ones after it were not tried
    };

    // `destinationPath` is the folder's device path, for the lines told.
    ZipExtraction(unzFile zip, ExtractionDestination destination, std::string destinationPath, ExtractionBudget budget,
                  Options options, Hooks hooks);

    // Opens the folder at the device path, made where missing; nullopt and the errno when it
    // cannot be opened as a folder.
    static std::optional<ExtractionDestination> openDestination(const std::string& devicePath, int* errnum);

    // Every entry from the first, in order; then the dates (and permissions) of the folders made.
    Result extractAll();

private:
    struct Folder {
        std::vector<std::string> components;
        std::optional<double> date;
        std::optional<mode_t> permissions;
    };

    bool extract(const ZipExtractionEntry& entry);
    bool extractFolder(const ZipExtractionEntry& entry);
    bool extractFile(const ZipExtractionEntry& entry);
    bool extractLink(const ZipExtractionEntry& entry);
    std::optional<std::string> readLinkTarget();
    void setFolderAttributes() const;
    bool refuse(const ZipExtractionEntry& entry, const std::string& why) const;
    bool fail(Problem problem, const std::string& line) const;
    std::string devicePath(const std::vector<std::string>& components) const;
    bool openCurrentEntry(unz_file_info64* info);

    unzFile zip_;
    ExtractionDestination destination_;
    std::string destinationPath_;
    ExtractionBudget budget_;
    Options options_;
    Hooks hooks_;
    std::vector<char> buffer_;
    std::vector<Folder> folders_;
};

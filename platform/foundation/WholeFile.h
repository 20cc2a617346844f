#pragma once
// Files that appear whole or not at all. A writer makes its file under a temporary name beside the
// final one, writes it, syncs it as the caller asks and renames it onto the final name in one step:
// a reader, a crash or a kill at any moment sees the old file (or none) or the complete new one,
// never a piece. Every failure, and a writer that goes without committing, removes the temporary.
//
// Temporary names are hidden and say whose they are: ".tdpart-PID.START-N-NAME", the process's id
// and start time, a sequence number and (cut to fit) the final name. Each temporary also carries a
// mark, an extended attribute naming it, since a user's file can have any name. A process killed
// mid-write leaves its temporary behind; NSSweepTemporaryFiles removes those whose process no
// longer runs, and each store or folder that receives such files sweeps itself when it is opened.
//
// A writer replaces only a regular file: a folder (EISDIR), a symbolic link, a FIFO, a socket or a
// device (EINVAL) at the final name is left as it stands, and the write fails.
//
// A process that ends cleanly (exit, quick_exit: the app's quit) while writers are still open
// removes their temporaries as it goes, whichever thread was writing them; a writer that commits
// after that fails with ECANCELED and presents nothing.

#include "platform/foundation/DeviceRoot.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

class WholeFileWriter {
public:
    // How far the file must reach the disk before it is presented. None is enough against kills
    // (the kernel keeps what was written); Durable also survives a power loss: the data is synced
    // before the rename and the folder after it.
    enum class Sync { None, Durable };
    // Whether a file already at the final name is replaced, or kept with EEXIST from commit().
    enum class Existing { Replace, Keep };

    WholeFileWriter() = default;
    WholeFileWriter(WholeFileWriter&& other) noexcept;
    WholeFileWriter& operator=(WholeFileWriter&& other) noexcept;
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;
    ~WholeFileWriter();

    // Starts a file that is to appear as `name` in the open folder `folder` (a host folder
    // descriptor, or AT_FDCWD with a host path as the name). Returns 0 or errno.
    int beginAt(int folder, const std::string& name, mode_t mode = 0644);
    // The same for a device path, its folder resolved inside the device.
    int begin(const std::string& devicePath, mode_t mode = 0644);
    // For a library that makes its file itself, by name, and refuses a name that is taken (an
    // export session): reserves a temporary name beside `devicePath` and creates nothing. The
    // library writes its file at the temporary name (its folder's device path joined with
    // temporaryName()); commit() then presents that file as a writer presents its own, and a
    // discard, a failure or the process's clean end removes whatever stands at the temporary name.
    // A file a writer of this process commits at the reserved name stays marked as a temporary, so
    // a kill before the presenting commit leaves nothing the sweeps miss. Returns 0 or errno.
    int reserve(const std::string& devicePath);

    bool isOpen() const { return bool(file_); }
    // The temporary file, open for reading and writing.
    int fd() const { return file_.get(); }
    const std::string& temporaryName() const { return temporary_; }
    // A host path reaching the temporary file, for libraries that open files by name.
    std::string temporaryHostPath() const;

    // The name the file is to appear under, in the same folder, when another is wanted than the
    // one begun with (the next free one of a numbered series, say).
    void setFinalName(const std::string& name) { name_ = name; }
    // Closes the file, syncs it as asked and renames it onto the final name, which must be free or a
    // regular file (EISDIR, EINVAL: see above). Returns 0 or errno;
    // on failure the temporary is gone and the final name untouched, except for EEXIST with
    // Existing::Keep: the file is then kept for a commit under another name (or the destructor).
    int commit(Sync sync, Existing existing = Existing::Replace);
    // Removes the temporary; the final name is untouched.
    void discard();

private:
    int start(DeviceRoot::Descriptor folder, const std::string& finalName, mode_t mode, bool create);

    DeviceRoot::Descriptor folder_;
    DeviceRoot::Descriptor file_;
    std::string name_;
    std::string temporary_;
    // The temporary's entry among the process's unfinished files (0: none).
    std::uint64_t ticket_ = 0;
};

// Writes bytes as a whole file at `name` in an open folder. Returns 0 or errno.
int NSWriteWholeFileAt(int folder, const std::string& name, const void* bytes, std::size_t length, WholeFileWriter::Sync sync);

// Which folder a sweep is in, and so which names it may take. A name alone proves nothing where
// anyone can put a file: everywhere, a temporary goes when its writer marked it as its own.
// - Writers: a folder anyone fills (the app folder, the inbox, "/tmp"): only marked temporaries.
//   The earlier video download's ".clipvane-PID-N.download" is a temporary's name only here, and
//   only with a mark.
// - WritersAndEarlierStores: a folder the program made for itself alone (the SDK's folders), where
//   every name is the program's: also the writers' temporaries without a mark (a file system may
//   keep none) and the earlier atomic writer's "NAME.tmp-PID-N" of any name. Never a shared folder
//   such as Library, Preferences or Keychains: a store there sweeps with NSSweepStoreTemporaryFiles.
enum class NSTemporaryNames { Writers, WritersAndEarlierStores };

// Whether a name has the shape of a temporary of a whole-file writer (or of the writers that came
// before it) in such a folder.
bool NSIsTemporaryFileName(const std::string& name, NSTemporaryNames names);
// Removes, in a device folder, the temporaries of processes no longer running; those of running
// processes are being written and stay. Returns how many were removed.
std::size_t NSSweepTemporaryFiles(const std::string& deviceFolder, NSTemporaryNames names);
std::size_t NSSweepTemporaryFilesAt(int folder, NSTemporaryNames names);
// The same for a folder and the folders beneath it, never through a symbolic link, at most
// `depth` levels down and `folders` folders in all. The folder itself is swept with `names`;
// beneath it lie files named from outside (downloads, unpacked archives), so only the temporaries
// writers marked go there. Returns how many were removed.
std::size_t NSSweepTemporaryFilesBeneath(const std::string& deviceFolder, NSTemporaryNames names, unsigned depth, std::size_t folders);
// Removes, beside a store file in a shared folder (the defaults in Library/Preferences, the
// keychain, the vendor identifiers in Library), what processes no longer running left of that
// store's own writes: the writers' temporaries of its exact name, marked or not, and the earlier
// atomic writer's "NAME.tmp-PID-N" of its exact name; and, as every sweep, the temporaries writers
// marked. Every other file of the folder is someone's and stays, whatever its name. Returns how
// many were removed.
std::size_t NSSweepStoreTemporaryFiles(const std::string& deviceStorePath);

// The reason a write failed, for a message: the refusal of a target that is not a regular file
// says so, any other error is NSFileErrorText's.
std::string NSWholeFileErrorText(int errnum);
// The reason a file operation on a device path failed, for a message: ENODEV while no device is
// set says so and how to set one (a library's caller may never have); any other error is
// strerror's text.
std::string NSFileErrorText(int errnum);

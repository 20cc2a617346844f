#pragma once
// Writing files through the page cache at the disk's speed.
//
// Writes go to the kernel in pieces of at most kNSFileWritePiece bytes: the page cache takes a
// write into pages (folios) as large as the write, and folios beyond 128 KB are far slower to fill
// on ext4 here (a 1 GB file in writes of 512 KB costs the kernel about ten times the time it does
// in writes of 128 KB; measured with perf, the time is all in copy_folio_from_iter_atomic).
//
// A store that names files in an index syncs each file as soon as it is complete (on workers of
// its own, while it goes on making the next files), then, once for the files an index write will
// name, the folders holding their folders, and writes that index last: a power loss never leaves
// the index naming a file that is not whole, and the index write waits only for the last syncs.

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

inline constexpr std::size_t kNSFileWritePiece = 128 * 1024;

// write(2) of all `length` bytes in pieces of at most kNSFileWritePiece, retried on EINTR.
// Answers the bytes written: all of them, or fewer with errno set (by the write that failed).
std::size_t NSWriteInPieces(int fd, const void* bytes, std::size_t length);

// Starts writing an open file's pages back to the disk without waiting for them: a file that is
// complete goes on its way while others are still being written, and its sync later waits less.
void NSStartWriteBack(int fd);

// Syncs the file at the device path, then the folder that names it. Whether both reached the
// disk; a file removed meanwhile answers true (it names nothing), and anything but a regular file
// in its place (a FIFO, a folder, a link) answers false. The open never waits for a FIFO's writer.
bool NSSyncFile(const std::string& devicePath);
// The next `count` calls of NSSyncFile answer false as if the disk had refused them, so that a test
// can watch a store leave a file it could not sync out of what it names.
void NSFailNextFileSyncsForTesting(int count);

// Syncs, once each, the folders holding the folders of the files at the device paths: a folder
// made for a file is named in its own parent. Run after the files' own syncs (NSSyncFile).
void NSSyncParentFolders(const std::vector<std::string>& devicePaths);

#pragma once
// Writing files through the page cache at the disk's speed.
//
// Writes go to the kernel in pieces of at most kNSFileWritePiece bytes: the page cache takes a
// write into pages (folios) as large as the write, and folios beyond 128 KB are far slower to fill
// on ext4 here (a 1 GB file in writes of 512 KB costs the kernel about ten times the time it does
// in writes of 128 KB; measured with perf, the time is all in copy_folio_from_iter_atomic).
//
// Several files written without a sync of their own, brought to the disk together: the kernel
// starts writing every one of them back before the first is waited for, so a group costs about
// one journal commit instead of one per file. A store that names files in an index syncs the
// group first and writes the index that names them after, so that a power loss never leaves the
// index naming a file that is not whole.

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

inline constexpr std::size_t kNSFileWritePiece = 128 * 1024;

// write(2) of all `length` bytes in pieces of at most kNSFileWritePiece, retried on EINTR.
// Answers the bytes written: all of them, or fewer with errno set (by the write that failed).
std::size_t NSWriteInPieces(int fd, const void* bytes, std::size_t length);

// Starts writing an open file's pages back to the disk without waiting for them: a file that is
// complete goes on its way while others are still being written, and the sync of its group later
// waits less.
void NSStartWriteBack(int fd);

// Syncs the files at the device paths, then the folders holding them (once each). Answers the
// paths that could not be synced (a file removed meanwhile is not among them: it names nothing).
std::vector<std::string> NSSyncFilesTogether(const std::vector<std::string>& devicePaths);

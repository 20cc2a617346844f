#pragma once
// Copying a file's contents between two descriptors the way the kernel does it best: the source's
// holes stay holes (SEEK_DATA/SEEK_HOLE find its data), each stretch of data goes by
// copy_file_range, which shares or copies blocks without passing them through the program, and
// read/write is left for the file systems and descriptors where neither works.

#include <functional>
#include <string>
#include <sys/types.h>

// Copies the whole of `from` (a regular file, read from its start) into `to` (an empty regular
// file, left at the source's size). A source that changes size while it is copied (truncated or
// grown by another writer) fails the copy with ESTALE, since what `to` holds is then no state the
// source ever had. A source whose size reads 0 (the kernel's generated files, such as those of
// /proc) is copied as read, to its end. `copied`, when given, is told after each stretch of data
// how far the copy has come. Returns 0 or errno.
int NSCopyFileContents(int from, int to, const std::function<void(off_t copied)>& copied = {});
// The reason a copy failed, for a message: a source that changed size says so, any other error
// is strerror's text.
std::string NSCopyFileErrorText(int errnum);

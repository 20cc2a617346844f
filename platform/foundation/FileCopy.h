#pragma once
// Copying a file's contents between two descriptors the way the kernel does it best: the source's
// holes stay holes (SEEK_DATA/SEEK_HOLE find its data), each stretch of data goes by
// copy_file_range, which shares or copies blocks without passing them through the program, and
// read/write is left for the file systems and descriptors where neither works.

// Copies the whole of `from` (a regular file, read from its start) into `to` (an empty regular
// file, left at the source's size). Returns 0 or errno.
int NSCopyFileContents(int from, int to);

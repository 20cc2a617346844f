#pragma once
// Where the entries of a zip archive lie in its file, read from the central directory and each
// entry's local header, so that an archive whose entries share bytes is refused before anything
// is extracted: overlapping entries let a few kilobytes expand into gigabytes, each entry
// inflating the same compressed data again. Prefixed archives (self-extracting ones) are read as
// zip readers read them, with every offset moved by the prefix.

#include <cstdint>

enum class ZipEntryLayout {
    Separate,    // every entry has bytes of its own, before the central directory
    Overlapping, // two entries share bytes, or an entry runs into the central directory
    Damaged,     // the records could not be read
};

// Reads the layout of the archive open for reading at `fd`.
ZipEntryLayout zipEntryLayoutOfArchive(int fd);

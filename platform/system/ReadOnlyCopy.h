#pragma once
// Registration-time tables that crash-time code reads (symbol indexes, unwind samples) live in
// read-only pages of their own, so that a stray write of a failing process cannot change them.

#include <cstddef>

// Not async-signal-safe: a read-only copy of `length` bytes (at least 1) in fresh pages, whose
// size goes to *mappingSize for munmap; null when no memory is to be had. The pages are made
// read-only from the start: taking write access away afterwards would make every core running a
// thread of the process drop its cached translations, once per table.
void* vdelf_nasync_read_only_copy(const void* bytes, size_t length, size_t* mappingSize);

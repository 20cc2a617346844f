#pragma once
// Zip archives for the unzipping tests, made by Python's zipfile so that our own writer is not
// what reads them: plain ones of given entries, and hostile ones whose records lie about where
// an entry's bytes are or how far they inflate.

#include <string>
#include <vector>

namespace zip_archives {

// Lowercase hexadecimal digits of the bytes, two a byte.
std::string hex(const std::string& bytes);

// Writes the Python script to `scriptHostPath` and runs it with the (already quoted) arguments.
int runPython(const std::string& scriptHostPath, const std::string& script, const std::string& arguments,
              std::string* output = nullptr);

// One entry of an archive: a file, or a link whose target is `data`, with the mode when not 0.
struct ArchiveEntry {
    std::string name;
    std::string data;
    bool link = false;
    unsigned mode = 0;
};

// The entries, deflated and dated 2014-03-05 10:19:50, in an archive at `archiveHostPath`. The
// script that writes it goes to `scriptHostPath`. False when Python fails.
bool makeArchive(const std::string& archiveHostPath, const std::vector<ArchiveEntry>& entries, const std::string& scriptHostPath);

// A hostile archive at `archiveHostPath`, by `how`:
//   "same header twice"      a third entry "c" whose central record points at "a"'s local header
//   "reaches into the next"  stored "a" claims 40 bytes more than it holds, up into "b"'s header
//   "inflates"               deflated "a" declares 1000 bytes and inflates to 100000
// The entries "a" and "b" each hold 5000 bytes where nothing else is said.
bool craftHostileArchive(const std::string& archiveHostPath, const std::string& how, const std::string& scriptHostPath);

} // namespace zip_archives

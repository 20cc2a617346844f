#pragma once
// Zip archives for the unzipping tests, made by Python's zipfile so that our own writer is not
// what reads them: plain ones of given entries, and hostile ones whose records lie about where
// an entry's bytes are or how far they inflate.

#include <cstddef>
#include <cstdint>
#include <functional>
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

// A small zip bomb at `archiveHostPath`: "a" 100 KB and "b" 2 MB of zeros, "c" a word, then 300
// empty files "e/0" to "e/299", about 40 KB in all.
bool makeZipBomb(const std::string& archiveHostPath, const std::string& scriptHostPath);

// What an extraction of the bomb leaves under an ExtractionBudget of those limits, entries charged
// in order and each at least a block ("a" 25, "b" 489, "c" 1, each empty file 1): "a" and "c"
// always fit; whether "b" does, and how many of the empty files.
struct ZipBombOutcome {
    bool b;
    std::size_t emptyFiles;
    bool whole() const { return b && emptyFiles == 300; }
};
ZipBombOutcome zipBombOutcome(std::uint64_t archiveBytes, std::uint64_t maximumBytes, std::uint64_t maximumRatio);

// Limits to extract the bomb under, with whether its 2 MB entry fits: a byte limit below the bomb,
// a ratio below it, and limits above it all.
struct ZipBombLimits {
    const char* what;
    std::uint64_t bytes, ratio;
    bool b;
};
std::vector<ZipBombLimits> zipBombLimitCases();

// Expects in the host folder what the outcome says: "a", "c", "b" as it says, and that many of the
// empty files.
void expectZipBombExtracted(const std::string& folderHostPath, const ZipBombOutcome& outcome);

// Runs `extract` in a child killed (SIGKILL) by the write that takes a file past `bytes`: an
// extraction stopped half-way through a larger entry. True when the child died so.
bool extractKilledHalfWay(const std::function<void()>& extract, std::size_t bytes);
// The writers' temporaries (hidden ".tdpart-" names) in a host folder, sorted.
std::vector<std::string> temporariesIn(const std::string& folderHostPath);
// A writer's temporary name for `finalName` of a process that no longer runs, for a user's file of
// that shape (no writer marked it).
std::string deadWritersTemporaryName(const std::string& finalName);

} // namespace zip_archives

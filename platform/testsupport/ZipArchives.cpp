#include "platform/testsupport/ZipArchives.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/ShellCommand.h"

#include "platform/foundation/ExtractionSafety.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace zip_archives {
namespace {

const char* kHostileScript = R"(import struct, sys, zipfile
path, how = sys.argv[1], sys.argv[2]
z = zipfile.ZipFile(path, 'w')
if how == 'inflates':
    z.writestr(zipfile.ZipInfo('a'), b'\0' * 100000, compress_type=zipfile.ZIP_DEFLATED)
else:
    z.writestr(zipfile.ZipInfo('a'), b'A' * 5000, compress_type=zipfile.ZIP_STORED)
    z.writestr(zipfile.ZipInfo('b'), b'B' * 5000, compress_type=zipfile.ZIP_STORED)
z.close()
raw = bytearray(open(path, 'rb').read())
end = raw.rfind(b'PK\5\6')
count, cd_size, cd_offset = struct.unpack('<HII', raw[end + 10:end + 20])
cd = raw[cd_offset:cd_offset + cd_size]
if how == 'same header twice':
    record = bytearray(cd[:46 + 1]); record[46:47] = b'c'
    cd += record
    count += 1
elif how == 'reaches into the next':
    for at in (18, 22):
        struct.pack_into('<I', raw, at, 5040)
        struct.pack_into('<I', cd, 20 if at == 18 else 24, 5040)
elif how == 'inflates':
    struct.pack_into('<I', raw, 22, 1000)
    struct.pack_into('<I', cd, 24, 1000)
else:
    sys.exit('unknown: ' + how)
out = raw[:cd_offset] + cd + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, count, count, len(cd), cd_offset, 0)
open(path, 'wb').write(out)
)";

std::string quoted(const std::string& text) { return "'" + text + "'"; }

} // namespace

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

int runPython(const std::string& scriptHostPath, const std::string& script, const std::string& arguments, std::string* output) {
    std::ofstream(scriptHostPath) << script;
    return runShellCommand("PYTHONIOENCODING=utf-8 python3 " + quoted(scriptHostPath) + " " + arguments, output);
}

bool makeArchive(const std::string& archiveHostPath, const std::vector<ArchiveEntry>& entries, const std::string& scriptHostPath) {
    std::string script = "import zipfile, sys\nz = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
                         "def add(name, data, link, mode):\n"
                         "    zi = zipfile.ZipInfo(name, (2014, 3, 5, 10, 19, 50))\n"
                         "    zi.create_system = 3\n"
                         "    zi.compress_type = zipfile.ZIP_DEFLATED\n"
                         "    if link: zi.external_attr = 0o120777 << 16\n"
                         "    elif mode: zi.external_attr = mode << 16\n"
                         "    z.writestr(zi, data)\n";
    for (const ArchiveEntry& e : entries) {
        script += "add(bytes.fromhex('" + hex(e.name) + "').decode(), bytes.fromhex('" + hex(e.data) + "'), " +
                  (e.link ? "True" : "False") + ", " + std::to_string(e.mode) + ")\n";
    }
    script += "z.close()\n";
    return runPython(scriptHostPath, script, quoted(archiveHostPath)) == 0;
}

bool craftHostileArchive(const std::string& archiveHostPath, const std::string& how, const std::string& scriptHostPath) {
    return runPython(scriptHostPath, kHostileScript, quoted(archiveHostPath) + " " + quoted(how)) == 0;
}

bool makeZipBomb(const std::string& archiveHostPath, const std::string& scriptHostPath) {
    const char* script = "import zipfile, sys\nz = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
                         "z.writestr('a', b'\\0' * 100000)\nz.writestr('b', b'\\0' * 2000000)\nz.writestr('c', b'word')\n"
                         "for i in range(300): z.writestr('e/%d' % i, b'')\nz.close()\n";
    return runPython(scriptHostPath, script, quoted(archiveHostPath)) == 0;
}

ZipBombOutcome zipBombOutcome(std::uint64_t archiveBytes, std::uint64_t maximumBytes, std::uint64_t maximumRatio) {
    constexpr std::uint64_t kBlocksOfA = 25, kBlocksOfB = 489, kBlocksOfC = 1;
    const std::uint64_t limit =
        maximumRatio ? std::min(maximumBytes, std::max(archiveBytes * maximumRatio, ExtractionBudget::kRatioFloorBytes)) : maximumBytes;
    const std::uint64_t blocks = limit / ExtractionBudget::kBlockBytes;
    const bool b = blocks >= kBlocksOfA + kBlocksOfB + kBlocksOfC;
    const std::uint64_t left = blocks - kBlocksOfA - kBlocksOfC - (b ? kBlocksOfB : 0);
    return {b, static_cast<std::size_t>(std::min<std::uint64_t>(300, left))};
}

std::vector<ZipBombLimits> zipBombLimitCases() {
    return {
        {"a byte limit below the bomb", 1 << 20, 0, false},
        {"a ratio below the bomb", 64 << 20, 50, false},
        {"limits above it all", 64 << 20, 1000, true},
    };
}

void expectZipBombExtracted(const std::string& folderHostPath, const ZipBombOutcome& outcome) {
    auto exists = [&](const std::string& name) {
        struct stat st{};
        return ::lstat((folderHostPath + "/" + name).c_str(), &st) == 0;
    };
    EXPECT_TRUE(exists("a"));
    EXPECT_EQ(exists("b"), outcome.b);
    EXPECT_TRUE(exists("c"));
    std::size_t empty = 0;
    for (int i = 0; i < 300; ++i) empty += exists("e/" + std::to_string(i)) ? 1 : 0;
    EXPECT_EQ(empty, outcome.emptyFiles);
}

bool extractKilledHalfWay(const std::function<void()>& extract, std::size_t bytes) {
    const int status = runInChildProcessForWaitStatus([&] {
        if (!killWhenAFileGrowsPast(bytes)) return 1;
        extract();
        return 0;
    });
    return status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

std::vector<std::string> temporariesIn(const std::string& folderHostPath) {
    std::vector<std::string> found;
    DIR* dir = ::opendir(folderHostPath.c_str());
    while (dirent* entry = dir ? ::readdir(dir) : nullptr) {
        if (std::string(entry->d_name).rfind(".tdpart-", 0) == 0) found.emplace_back(entry->d_name);
    }
    if (dir) ::closedir(dir);
    std::sort(found.begin(), found.end());
    return found;
}

std::string deadWritersTemporaryName(const std::string& finalName) {
    const pid_t reaped = startChildProcess([] { return 0; });
    waitForChildProcess(reaped);
    return ".tdpart-" + std::to_string(reaped) + ".0-1-" + finalName;
}

} // namespace zip_archives

#pragma once
// The archiver tests' fixture: a fresh device, shell and Python helpers, and archives made by
// Python's zipfile (hostile ones included) to read back.

#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/ShellCommand.h"
#include "platform/testsupport/ZipArchives.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace tkzip_test {

using zip_archives::ArchiveEntry;
using zip_archives::hex;

inline std::string randomBytes(std::size_t length, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(length, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

class TKZipArchiveTest : public DeviceTest {
protected:
    // Runs a shell command; its exit status, and its standard output in `output`.
    int run(const std::string& command, std::string* output = nullptr) const { return runShellCommand(command, output); }
    int python(const std::string& script, const std::string& arguments, std::string* output = nullptr) const {
        return zip_archives::runPython(host("/tmp/script.py"), script, arguments, output);
    }
    void makeArchive(const std::string& devicePath, const std::vector<ArchiveEntry>& entries) const {
        ASSERT_TRUE(zip_archives::makeArchive(host(devicePath), entries, host("/tmp/script.py")));
    }

    bool hostExists(const std::string& hostPath) const {
        struct stat st{};
        return ::lstat(hostPath.c_str(), &st) == 0;
    }
};

} // namespace tkzip_test

#pragma once
// The archiver tests' fixture: a fresh device, shell and Python helpers, and archives made by
// Python's zipfile (hostile ones included) to read back.

#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace tkzip_test {

inline std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

inline std::string randomBytes(std::size_t length, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(length, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

// One entry of an archive made by Python's zipfile, hostile ones included.
struct ArchiveEntry {
    std::string name;
    std::string data;
    bool link = false;
    unsigned mode = 0;
};

class TKZipArchiveTest : public DeviceTest {
protected:
    // Runs a shell command; its exit status, and its standard output in `output`.
    int run(const std::string& command, std::string* output = nullptr) const {
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe) return -1;
        std::string text;
        char chunk[4096];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) text.append(chunk, n);
        int status = ::pclose(pipe);
        if (output) *output = text;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int python(const std::string& script, const std::string& arguments, std::string* output = nullptr) const {
        std::string scriptPath = host("/tmp/script.py");
        std::ofstream(scriptPath) << script;
        return run("PYTHONIOENCODING=utf-8 python3 '" + scriptPath + "' " + arguments, output);
    }

    void makeArchive(const std::string& devicePath, const std::vector<ArchiveEntry>& entries) const {
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
        ASSERT_EQ(python(script, "'" + host(devicePath) + "'"), 0);
    }

    bool hostExists(const std::string& hostPath) const {
        struct stat st{};
        return ::lstat(hostPath.c_str(), &st) == 0;
    }
};

} // namespace tkzip_test

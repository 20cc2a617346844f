#include "platform/testsupport/ZipArchives.h"
#include "platform/testsupport/ShellCommand.h"

#include <fstream>

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

} // namespace zip_archives

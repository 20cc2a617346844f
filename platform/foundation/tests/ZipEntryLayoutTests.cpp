#include "platform/foundation/ZipEntryLayout.h"

#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// One stored entry of a hand-made archive; the overrides make its central record lie.
struct FixtureEntry {
    FixtureEntry(std::string n, std::string d, std::optional<std::uint32_t> offset = std::nullopt,
                 std::optional<std::uint32_t> size = std::nullopt)
        : name(std::move(n)), data(std::move(d)), localOffset(offset), compressedSize(size) {}
    std::string name;
    std::string data;
    std::optional<std::uint32_t> localOffset;
    std::optional<std::uint32_t> compressedSize;
};

void put(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i, v >>= 8) out += static_cast<char>(v & 0xFF);
}

// The local header of a stored entry, its name included.
std::string localHeader(const std::string& name, std::size_t size) {
    std::string out;
    put(out, 0x04034b50, 4);
    put(out, 20, 2), put(out, 0, 2), put(out, 0, 2), put(out, 0, 4), put(out, 0, 4);
    put(out, size, 4), put(out, size, 4);
    put(out, name.size(), 2), put(out, 0, 2);
    return out + name;
}

// An archive of stored entries after `prefix`, its offsets counted from the end of the prefix as
// a self-extracting archive's are; with `zip64`, the central records and the end records give
// sizes and offsets in the zip64 forms.
std::string buildArchive(const std::vector<FixtureEntry>& entries, const std::string& prefix = "", bool zip64 = false) {
    std::string body, directory;
    for (const FixtureEntry& e : entries) {
        std::uint64_t offset = e.localOffset.value_or(static_cast<std::uint32_t>(body.size()));
        std::uint64_t size = e.compressedSize.value_or(static_cast<std::uint32_t>(e.data.size()));
        body += localHeader(e.name, e.data.size()) + e.data;

        put(directory, 0x02014b50, 4);
        put(directory, 0x031E, 2), put(directory, 20, 2), put(directory, 0, 2), put(directory, 0, 2), put(directory, 0, 4), put(directory, 0, 4);
        put(directory, zip64 ? 0xFFFFFFFF : size, 4), put(directory, zip64 ? 0xFFFFFFFF : e.data.size(), 4);
        put(directory, e.name.size(), 2), put(directory, zip64 ? 28 : 0, 2), put(directory, 0, 2);
        put(directory, 0, 2), put(directory, 0, 2), put(directory, 0, 4);
        put(directory, zip64 ? 0xFFFFFFFF : offset, 4);
        directory += e.name;
        if (zip64) {
            put(directory, 1, 2), put(directory, 24, 2);
            put(directory, e.data.size(), 8), put(directory, size, 8), put(directory, offset, 8);
        }
    }
    std::string archive = body + directory;
    if (zip64) {
        std::uint64_t recordAt = archive.size();
        put(archive, 0x06064b50, 4), put(archive, 44, 8), put(archive, 45, 2), put(archive, 45, 2), put(archive, 0, 4), put(archive, 0, 4);
        put(archive, entries.size(), 8), put(archive, entries.size(), 8), put(archive, directory.size(), 8), put(archive, body.size(), 8);
        put(archive, 0x07064b50, 4), put(archive, 0, 4), put(archive, recordAt, 8), put(archive, 1, 4);
    }
    put(archive, 0x06054b50, 4), put(archive, 0, 2), put(archive, 0, 2);
    put(archive, zip64 ? 0xFFFF : entries.size(), 2), put(archive, zip64 ? 0xFFFF : entries.size(), 2);
    put(archive, zip64 ? 0xFFFFFFFF : directory.size(), 4), put(archive, zip64 ? 0xFFFFFFFF : body.size(), 4), put(archive, 0, 2);
    return prefix + archive;
}

ZipEntryLayout layoutOf(const std::string& bytes) {
    TemporaryFolder folder;
    std::string path = folder.path() + "/a.zip";
    std::ofstream(path, std::ios::binary) << bytes;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    ZipEntryLayout layout = zipEntryLayoutOfArchive(fd);
    ::close(fd);
    return layout;
}

TEST(ZipEntryLayout, EntriesThatShareBytesAreFound) {
    const std::string data(100, 'x');
    // "a" carries a whole entry "c" inside its data, 10 bytes in, as overlapping bombs do.
    const std::string carrier = std::string(10, 'x') + localHeader("c", 5) + "ccccc";
    const std::uint32_t inner = 30 + 1 + 10;
    struct Case {
        const char* what;
        std::string archive;
        ZipEntryLayout layout;
    };
    const Case cases[] = {
        {"separate", buildArchive({{"a", data}, {"b", data}, {"c", ""}}), ZipEntryLayout::Separate},
        {"no entries", buildArchive({}), ZipEntryLayout::Separate},
        {"after a prefix", buildArchive({{"a", data}, {"b", data}}, std::string(1000, 'P')), ZipEntryLayout::Separate},
        {"zip64 records", buildArchive({{"a", data}, {"b", data}}, "", true), ZipEntryLayout::Separate},
        {"zip64 after a prefix", buildArchive({{"a", data}, {"b", data}}, "#!/bin/sh\n", true), ZipEntryLayout::Separate},
        {"same header twice", buildArchive({{"a", data}, {"b", data, 0}}), ZipEntryLayout::Overlapping},
        {"header inside another's data", buildArchive({{"a", carrier}, {"b", data}, {"c", "ccccc", inner}}), ZipEntryLayout::Overlapping},
        {"data reaching into the next", buildArchive({{"a", data, std::nullopt, 101}, {"b", data}}), ZipEntryLayout::Overlapping},
        {"data reaching into the directory", buildArchive({{"a", data}, {"b", data, std::nullopt, 101}}), ZipEntryLayout::Overlapping},
        {"zip64 overlap", buildArchive({{"a", data}, {"b", data, 0}}, "", true), ZipEntryLayout::Overlapping},
        {"no local header there", buildArchive({{"a", data}, {"b", data, 5}}), ZipEntryLayout::Damaged},
        {"not an archive", std::string(500, 'z'), ZipEntryLayout::Damaged},
        {"cut short", buildArchive({{"a", data}}).substr(0, 150), ZipEntryLayout::Damaged},
    };
    for (const Case& c : cases) EXPECT_EQ(layoutOf(c.archive), c.layout) << c.what;
}

} // namespace

// Entries deflated on many cores make the same archive as on one, and read back whole: pieces
// that cross an entry's middle (primed with what came before them), an empty entry, and many
// small entries written in their order.
#include "app/support/TKZipDeflater.h"

#include "TKZipArchiveTestSupport.h"

#include <minizip/unzip.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdlib.h>

namespace {

struct Entry {
    std::string name;
    std::string data;
};

std::vector<Entry> entries() {
    // A block repeated across several pieces: every piece after the first finds its matches in
    // the window it was primed with.
    std::string block = tkzip_test::randomBytes(1000, 5);
    std::string repeated;
    while (repeated.size() < 3 * TKZipDeflater::kPieceBytes + 123) repeated += block;
    std::vector<Entry> list{{"repeated.bin", repeated}, {"empty", ""}, {"random.bin", tkzip_test::randomBytes(TKZipDeflater::kPieceBytes + 1, 6)}};
    for (int i = 0; i < 200; ++i) list.push_back({"small/" + std::to_string(i), std::string(static_cast<std::size_t>(i), char('a' + i % 26))});
    return list;
}

std::string writeArchive(const std::string& path, unsigned workers) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    EXPECT_NE(zip, nullptr);
    {
        TKZipDeflater deflater(zip, workers);
        for (const Entry& entry : entries()) {
            TKZipDeflater::EntryHeader header;
            header.name = entry.name;
            std::memset(&header.info, 0, sizeof header.info);
            header.info.tmz_date = {0, 0, 12, 1, 0, 2020};
            header.versionMadeBy = (3u << 8) | 30u;
            deflater.beginEntry(header);
            // Handed over in uneven chunks, as reads come.
            for (std::size_t at = 0; at < entry.data.size(); at += 70001)
                deflater.addBytes(reinterpret_cast<const std::uint8_t*>(entry.data.data()) + at, std::min<std::size_t>(70001, entry.data.size() - at));
            deflater.endEntry();
        }
        EXPECT_TRUE(deflater.flush());
    }
    EXPECT_EQ(zipClose(zip, nullptr), ZIP_OK);
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(TKZipDeflater, ManyCoresMakeTheSameArchiveAsOneAndItReadsBackWhole) {
    char folder[] = "/tmp/tkzip-deflater-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string one = std::string(folder) + "/one.zip", many = std::string(folder) + "/many.zip";
    const std::string single = writeArchive(one, 1);
    const std::string parallel = writeArchive(many, 4);
    EXPECT_EQ(single.size(), parallel.size());
    EXPECT_TRUE(single == parallel);

    // Read back through minizip, which checks every entry's CRC at its end.
    unzFile unzip = unzOpen64(many.c_str());
    ASSERT_NE(unzip, nullptr);
    std::size_t read = 0;
    for (const Entry& entry : entries()) {
        ASSERT_EQ(read == 0 ? unzGoToFirstFile(unzip) : unzGoToNextFile(unzip), UNZ_OK);
        char name[256];
        unz_file_info64 info;
        ASSERT_EQ(unzGetCurrentFileInfo64(unzip, &info, name, sizeof name, nullptr, 0, nullptr, 0), UNZ_OK);
        EXPECT_EQ(name, entry.name);
        EXPECT_EQ(info.compression_method, static_cast<uLong>(Z_DEFLATED));
        ASSERT_EQ(unzOpenCurrentFile(unzip), UNZ_OK);
        std::string data(entry.data.size() + 1, '\0');
        int got = unzReadCurrentFile(unzip, data.data(), static_cast<unsigned>(data.size()));
        data.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        EXPECT_TRUE(data == entry.data) << entry.name;
        EXPECT_EQ(unzCloseCurrentFile(unzip), UNZ_OK) << entry.name;  // UNZ_CRCERROR on a wrong CRC
        ++read;
    }
    EXPECT_EQ(unzGoToNextFile(unzip), UNZ_END_OF_LIST_OF_FILE);
    unzClose(unzip);
    std::filesystem::remove_all(folder);
}

#include "platform/device/HandOver.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UIApplication.h"

#include <filesystem>
#include <fstream>

namespace {
namespace fs = std::filesystem;

class HandOverCopyTest : public DeviceTest {
protected:
    std::string hostFile(const std::string& name, const std::string& contents) {
        std::string path = outside_.path() + "/" + name;
        std::ofstream(path) << contents;
        return path;
    }
    TemporaryFolder outside_;
};

TEST_F(HandOverCopyTest, CopiesTakeTheNextFreeNameAndLeaveTheFileAsItWas) {
    struct Case {
        const char* name;
        std::vector<std::string> expected; // the inbox paths of three hand-overs in a row
    };
    const Case cases[] = {
        {"photo.jpg", {"photo.jpg", "photo-2.jpg", "photo-3.jpg"}},
        {"README", {"README", "README-2", "README-3"}},
        {"archive.tar.gz", {"archive.tar.gz", "archive.tar-2.gz", "archive.tar-3.gz"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = hostFile(c.name, "contents");
        for (const auto& expected : c.expected) {
            std::string error;
            auto copy = HandOver::copyIntoInbox(file, error);
            ASSERT_TRUE(copy) << error;
            EXPECT_EQ(*copy, std::string(HandOver::kInboxPath) + "/" + expected);
            EXPECT_EQ(readFile(*copy), "contents");
        }
        std::ifstream in(file);
        std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(kept, "contents");
    }
}

TEST_F(HandOverCopyTest, MissingFilesAndFoldersAreRefusedAndNothingReachesTheInbox) {
    fs::create_directory(outside_.path() + "/folder");
    struct Case {
        std::string path;
        std::string error;
    };
    const Case cases[] = {
        {outside_.path() + "/missing.txt", "cannot read " + outside_.path() + "/missing.txt: No such file or directory"},
        {outside_.path() + "/folder", outside_.path() + "/folder is not a file (only files can be handed over)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string error;
        EXPECT_FALSE(HandOver::copyIntoInbox(c.path, error));
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(HandOver::handOverFile(c.path, HandOver::kAirDropSource, error));
    }
    EXPECT_FALSE(fs::exists(host(HandOver::kInboxPath)) && !fs::is_empty(host(HandOver::kInboxPath)));
}
} // namespace

// The pictures the driver writes to files of this machine (`screenshot FILE`) replace a regular
// file or make a new one, and never write into or over what is not one: a FIFO, a device, a link
// or a folder at FILE is refused and left exactly as it was.

#include "platform/device/tests/DriverWindowTest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {
class DriverPictureFileTest : public DriverWindowTest {
protected:
    void SetUp() override {
        DriverWindowTest::SetUp();
        makeDirectory("/scratch");
        scratch_ = host("/scratch");
    }
    static std::string contents(const std::string& hostPath) {
        std::ifstream in(hostPath, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

    std::string scratch_;
};

TEST_F(DriverPictureFileTest, APictureNeverReplacesOrWritesThroughWhatIsNotARegularFile) {
    const std::string fifo = scratch_ + "/fifo.png", link = scratch_ + "/link.png", target = scratch_ + "/target.txt",
                      folder = scratch_ + "/folder.png", regular = scratch_ + "/old.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::ofstream(target) << "the link's target";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    std::ofstream(regular) << "an older picture";
    // A character device of the scratch folder's own where this process may make one (as root);
    // otherwise the host's null device, which a process that cannot make devices cannot replace.
    std::string device = scratch_ + "/null.png";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) device = "/dev/null";

    struct Case {
        std::string path;
        mode_t type;
    };
    const Case refused[] = {{fifo, S_IFIFO}, {device, S_IFCHR}, {link, S_IFLNK}, {folder, S_IFDIR}};
    for (const auto& c : refused) {
        SCOPED_TRACE(c.path);
        struct stat before{};
        ASSERT_EQ(::lstat(c.path.c_str(), &before), 0);
        const std::string answer = driver_.execute("screenshot " + c.path);
        EXPECT_EQ(answer, "error: cannot write " + c.path + ": it is not a regular file (only a regular file is replaced)\n");
        struct stat after{};
        ASSERT_EQ(::lstat(c.path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & S_IFMT, c.type);
        EXPECT_EQ(after.st_ino, before.st_ino) << "the same node stands at the name";
        EXPECT_EQ(after.st_rdev, before.st_rdev);
    }
    EXPECT_EQ(contents(target), "the link's target") << "the link is not followed";

    // A regular file is replaced by the picture.
    EXPECT_EQ(driver_.execute("screenshot " + regular), "screenshot " + regular + ": 640 by 1136 pixels\n");
    EXPECT_EQ(contents(regular).substr(1, 3), "PNG");
}
} // namespace

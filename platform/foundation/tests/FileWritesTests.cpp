// Syncing a file before an index names it: what stands at the path decides the answer, and no
// kind of item there makes the sync wait.

#include "platform/foundation/FileWrites.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileSyncTest : public DeviceTest {
protected:
    const std::string kFolder = "/var/mobile/Store/resource";
    const std::string kPath = kFolder + "/asset.mp4";

    void SetUp() override {
        DeviceTest::SetUp();
        makeDirectory(kFolder);
    }
};

// A FIFO is opened without waiting for a writer (the test would hang otherwise); a link is not
// followed, even to a regular file.
TEST_F(FileSyncTest, WhatStandsAtThePathDecidesTheAnswer) {
    struct Case {
        const char* name;
        std::function<void(const std::string& host)> place;
        bool synced;
    };
    const Case cases[] = {
        {"a regular file", [this](const std::string&) { writeFile(kPath, "body"); }, true},
        {"nothing (removed meanwhile)", [](const std::string&) {}, true},
        {"a FIFO", [](const std::string& host) { ASSERT_EQ(::mkfifo(host.c_str(), 0644), 0); }, false},
        {"a folder", [](const std::string& host) { ASSERT_EQ(::mkdir(host.c_str(), 0755), 0); }, false},
        {"a link to a regular file",
         [this](const std::string& host) {
             writeFile(kFolder + "/other.mp4", "body");
             ASSERT_EQ(::symlink("other.mp4", host.c_str()), 0);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string host = this->host(kPath);
        removeHostTree(host);
        c.place(host);
        EXPECT_EQ(NSSyncFile(kPath), c.synced);
    }
}

TEST_F(FileSyncTest, AFailureAskedForByATestAnswersFalseOnceEach) {
    writeFile(kPath, "body");
    NSFailNextFileSyncsForTesting(2);
    EXPECT_FALSE(NSSyncFile(kPath));
    EXPECT_FALSE(NSSyncFile(kPath));
    EXPECT_TRUE(NSSyncFile(kPath));
}

} // namespace

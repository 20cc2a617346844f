#include "platform/foundation/NSFileManager.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/analytics/VuderuFileCache.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

class VuderuFileCacheTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        VuderuUtil::setLogLevel(2);
    }
    void TearDown() override {
        VuderuFileCache::cleanup();
        DeviceTest::TearDown();
    }
};

TEST_F(VuderuFileCacheTest, BeforeStartUpThereIsNoInstance) {
    EXPECT_EQ(VuderuFileCache::instance(), nullptr);
    auto made = VuderuFileCache::createInstanceWithApiKeyAgentVersion("KEY", "137");
    EXPECT_EQ(VuderuFileCache::instance(), made);
    EXPECT_EQ(VuderuFileCache::createInstanceWithApiKeyAgentVersion("OTHER", "1"), made);
    EXPECT_EQ(made->apiKey(), "KEY");
    VuderuFileCache::cleanup();
    EXPECT_EQ(VuderuFileCache::instance(), nullptr);
}

TEST_F(VuderuFileCacheTest, SaveGetAndRemoveByPrefix) {
    auto cache = VuderuFileCache::createInstanceWithApiKeyAgentVersion("KEY", "137");
    const Value logs(Value::Array{Value("one"), Value(2)});
    const Value caps(Value::Dictionary{{"cap", Value(3)}});
    auto path = cache->save(logs, "adLogManager");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, VuderuUtil::filePathDirectory() + "/vuderuCache_adLogManager_KEY_137.archive");
    ASSERT_TRUE(cache->save(caps, "freqCapManager"));
    EXPECT_EQ(cache->get("adLogManager"), logs);
    EXPECT_EQ(cache->get("freqCapManager"), caps);
    EXPECT_EQ(*cache->createFilePath("x", false), VuderuUtil::filePathDirectory() + "/vuderuCache_x_KEY_.archive");
    EXPECT_TRUE(cache->remove("adLogManager"));
    EXPECT_TRUE(cache->get("adLogManager").isNull());
    EXPECT_FALSE(cache->remove("adLogManager"));
    EXPECT_EQ(cache->get("freqCapManager"), caps);
}

TEST_F(VuderuFileCacheTest, AnotherKeyOrAgentVersionFindsNothing) {
    VuderuFileCache("KEY", "137").save(Value("stored"), "adLogManager");
    EXPECT_EQ(VuderuFileCache("KEY", "137").get("adLogManager"), Value("stored"));
    EXPECT_TRUE(VuderuFileCache("KEY2", "137").get("adLogManager").isNull());
    EXPECT_TRUE(VuderuFileCache("KEY", "138").get("adLogManager").isNull());
    EXPECT_TRUE(VuderuFileCache("KEY", "137").get("adLogManager", false).isNull());
}

TEST_F(VuderuFileCacheTest, AFailedSaveReturnsNilAndLeavesTheEarlierFile) {
    VuderuFileCache cache("KEY", "137");
    ASSERT_TRUE(cache.save(Value("earlier"), "p"));
    // An object that cannot be archived.
    EXPECT_EQ(cache.save(Value(std::make_shared<NSObject>()), "p"), std::nullopt);
    EXPECT_TRUE(log_->contains("VuderuFileCache: object["));
    EXPECT_TRUE(log_->contains("] cannot be saved to disk"));
    EXPECT_EQ(cache.get("p"), Value("earlier"));
    // A directory that cannot be written.
    int status = runInChildProcess(
        [&] {
            ::chmod(host(VuderuUtil::filePathDirectory()).c_str(), 0555);
            bool failed = !cache.save(Value("later"), "p");
            return failed && cache.get("p") == Value("earlier") ? 0 : 1;
        },
        true);
    EXPECT_EQ(status, 0);
}

// A name that would leave the data directory is no name: nothing is written anywhere.
TEST_F(VuderuFileCacheTest, KeysThatWouldLeaveTheDataDirectoryFailLikeAFailedSave) {
    struct Row {
        const char* key;
        const char* prefix;
    };
    const Row rows[] = {{"KEY", "../../escape"}, {"KEY", "a/b"}, {"../KEY", "p"}, {"K/../../..", "p"}, {"KEY", "/abs"}};
    const std::string directory = VuderuUtil::filePathDirectory();
    auto before = NSFileManager::defaultManager()->contentsOfDirectoryAtPath(directory, nullptr);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.key) + " " + row.prefix);
        VuderuFileCache cache(row.key, "137");
        log_->clear();
        EXPECT_EQ(cache.createFilePath(row.prefix, true), std::nullopt);
        EXPECT_EQ(cache.save(Value("x"), row.prefix), std::nullopt);
        EXPECT_TRUE(log_->contains("cannot be saved to disk"));
        EXPECT_TRUE(cache.get(row.prefix).isNull());
        EXPECT_FALSE(cache.remove(row.prefix));
    }
    EXPECT_EQ(NSFileManager::defaultManager()->contentsOfDirectoryAtPath(directory, nullptr), before);
    EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath(directory + "/../escape_KEY_137.archive"));
}

} // namespace

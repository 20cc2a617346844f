#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuSharedData.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class VuderuGlobalVariableStorageTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        VuderuGlobalVariableStorage::cleanup();
    }
    void TearDown() override {
        VuderuGlobalVariableStorage::cleanup();
        VuderuUtil::setLogLevel(1);
        DeviceTest::TearDown();
    }
    // A new process on the same device: the singletons are made again.
    std::shared_ptr<VuderuGlobalVariableStorage> relaunch(const std::string& key) {
        VuderuGlobalVariableStorage::cleanup();
        NSUserDefaults::resetStandardUserDefaults();
        auto storage = VuderuGlobalVariableStorage::sharedInstance();
        storage->setApiKey(key);
        return storage;
    }
    std::string propertiesFile(const std::string& key) const {
        auto keyHash = static_cast<std::int32_t>(static_cast<std::uint32_t>(NSString::hash(key)));
        return NSString::stringWithFormat("/var/mobile/Library/Application Support/VuderuFiles/.vuderuPropertiesData%d_137.archive",
                                          keyHash);
    }
};

TEST_F(VuderuGlobalVariableStorageTest, AFreshStoreHoldsTheDefaults) {
    auto s = VuderuGlobalVariableStorage::sharedInstance();
    EXPECT_EQ(s->pauseSecondsBeforeStartingNewSession(), 10);
    EXPECT_TRUE(s->sessionReportsOnCloseEnabled());
    EXPECT_TRUE(s->sessionReportsOnPauseEnabled());
    EXPECT_FALSE(s->backgroundSessionEnabled());
    EXPECT_FALSE(s->crashReportingEnabled());
    EXPECT_TRUE(s->eventLoggingEnabled());
    EXPECT_TRUE(s->udidEnabled());
    EXPECT_TRUE(s->macAddressEnabled());
    EXPECT_FALSE(s->optOutSessionPending());
    EXPECT_FALSE(s->startSessionCalled());
    EXPECT_EQ(s->age(), -1);
    EXPECT_EQ(s->appVersion(), NSBundle::mainBundle()->objectForInfoDictionaryKey("CFBundleVersion").stringValue());
    EXPECT_FALSE(s->appVersion().empty());
    EXPECT_EQ(s->gender(), std::nullopt);
    EXPECT_EQ(s->userID(), std::nullopt);
    EXPECT_EQ(s->apiKey(), "");
    EXPECT_TRUE(s->launchOptions().empty());
    EXPECT_TRUE(s->originSets().empty());
    EXPECT_EQ(s->persistentGlobalsMap(), nullptr);
    EXPECT_EQ(s->persistentCookiesMap(), nullptr);
    s->setAge(30);
    VuderuGlobalVariableStorage::cleanup();
    EXPECT_EQ(VuderuGlobalVariableStorage::sharedInstance()->age(), -1);
}

TEST_F(VuderuGlobalVariableStorageTest, KeysLoseTheirBlanksOnly) {
    auto s = VuderuGlobalVariableStorage::sharedInstance();
    s->setApiKey("  AB CD\tEF  ");
    EXPECT_EQ(s->apiKey(), "ABCD\tEF");
    ASSERT_NE(s->persistentGlobalsMap(), nullptr);
    ASSERT_NE(s->persistentCookiesMap(), nullptr);
}

TEST_F(VuderuGlobalVariableStorageTest, OriginSetsHoldAtMostNineParametersAndOneSetPerName) {
    NSLogCapture capture;
    VuderuUtil::setLogLevel(2);
    auto s = VuderuGlobalVariableStorage::sharedInstance();
    Value::Dictionary nine, ten;
    for (int i = 0; i < 9; ++i) nine["p" + std::to_string(i)] = Value(i);
    ten = nine;
    ten["p9"] = Value(9);
    s->recordOriginOriginVersionWithParameters("first", "1.0", Value(nine));
    s->recordOriginOriginVersionWithParameters("refused", "1.0", Value(ten));
    EXPECT_TRUE(capture.contains("VuderuGlobalVariableStorage: Attempting to record more than 10 parameters for orgin set with name: refused"));
    s->recordOriginOriginVersionWithParameters("", "1.0", Value());
    s->recordOriginOriginVersionWithParameters("second", "2.0", Value(Value::Dictionary{{"vuderuOriginVersion", "mine"}}));
    s->recordOriginOriginVersionWithParameters("first", "1.1", Value());
    Value::Array sets = s->originSets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0]["originName"], Value("second"));
    EXPECT_EQ(sets[0]["parameters"]["vuderuOriginVersion"], Value("mine"));
    EXPECT_EQ(sets[1]["originName"], Value("first"));
    EXPECT_EQ(sets[1]["parameters"], Value(Value::Dictionary{{"vuderuOriginVersion", "1.1"}}));
}

TEST_F(VuderuGlobalVariableStorageTest, TheFirstPathRequestMakesAFileHoldingAnEmptyDictionary) {
    auto s = VuderuGlobalVariableStorage::sharedInstance();
    s->setApiKey("KEY");
    std::string path = propertiesFile("KEY");
    EXPECT_EQ(s->persistentGlobalsFilePath(), path);
    ASSERT_TRUE(NSFileManager::defaultManager()->fileExistsAtPath(path));
    EXPECT_EQ(NSKeyedUnarchiver::unarchiveObjectWithFile(path), Value(Value::Dictionary()));
}

TEST_F(VuderuGlobalVariableStorageTest, TrackedPropertiesAndCookiesSurviveARelaunch) {
    auto s = relaunch("KEY");
    (*s->persistentGlobalsMap())["device.locale"] = Value("de_CH");
    EXPECT_TRUE(VuderuUtil::updateIfChangedCookieValueForCookieKey(NSData::dataWithString("v1"), NSData::dataWithString("c1")));
    s->savePersistentGlobalsToDisk();

    s = relaunch("KEY");
    EXPECT_EQ((*s->persistentGlobalsMap())["device.locale"], Value("de_CH"));
    EXPECT_FALSE(VuderuUtil::updateIfChangedCookieValueForCookieKey(NSData::dataWithString("v1"), NSData::dataWithString("c1")));
    // Another key reads other files.
    s = relaunch("OTHER");
    EXPECT_TRUE(s->persistentGlobalsMap()->empty());
    EXPECT_TRUE(s->persistentCookiesMap()->empty());
}

TEST_F(VuderuGlobalVariableStorageTest, ADamagedMapFileIsDeletedAndReadsEmpty) {
    auto s = relaunch("KEY");
    writeFile(propertiesFile("KEY"), "not an archive");
    s = relaunch("KEY");
    EXPECT_TRUE(s->persistentGlobalsMap()->empty());
    EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath(propertiesFile("KEY")));
    // Made again, empty, by the next path request.
    EXPECT_EQ(s->persistentGlobalsFilePath(), propertiesFile("KEY"));
    EXPECT_EQ(NSKeyedUnarchiver::unarchiveObjectWithFile(propertiesFile("KEY")), Value(Value::Dictionary()));
}

TEST_F(VuderuGlobalVariableStorageTest, AMapThatCannotBeWrittenIsLoggedAndTheFileKept) {
    NSLogCapture capture;
    VuderuUtil::setLogLevel(2);
    auto s = relaunch("KEY");
    (*s->persistentGlobalsMap())["a"] = Value(1);
    s->savePersistentGlobalsToDisk();
    // A file standing where a folder should be: nothing can be written below it.
    writeFile("/tmp/blocker", "file");
    EXPECT_FALSE(s->writeDictionaryToFile(*s->persistentGlobalsMap(), std::string("/tmp/blocker/map.archive")));
    EXPECT_TRUE(capture.contains(
        "-[VuderuGlobalVariableStorage writeDictionary:toFile:]: map not saved to disk at path[/tmp/blocker/map.archive]"));
    // The atomic write never leaves a partial file: the saved map is intact.
    EXPECT_EQ(NSKeyedUnarchiver::unarchiveObjectWithFile(propertiesFile("KEY"))["a"], Value(1));
}

TEST_F(VuderuGlobalVariableStorageTest, CookiesAreKeptUpToAThousand) {
    auto s = relaunch("KEY");
    auto data = [](const std::string& s) { return NSData::dataWithString(s); };
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(VuderuUtil::updateIfChangedCookieValueForCookieKey(data("v"), data("k" + std::to_string(i))));
    }
    EXPECT_FALSE(VuderuUtil::updateIfChangedCookieValueForCookieKey(data("v"), data("k1000")));
    EXPECT_EQ(s->persistentCookiesMap()->size(), 1000u);
    EXPECT_FALSE(VuderuUtil::updateIfChangedCookieValueForCookieKey(data("v"), data("k5")));
    EXPECT_TRUE(VuderuUtil::updateIfChangedCookieValueForCookieKey(data("w"), data("k5")));
    EXPECT_EQ((*s->persistentCookiesMap())["k5"], Value(Value::Data{'w'}));
    EXPECT_TRUE(VuderuUtil::updateIfChangedCookieValueForCookieKey(NSData::data(), data("k5")));
    EXPECT_TRUE(VuderuUtil::updateIfChangedCookieValueForCookieKey(nullptr, data("absent")));
    EXPECT_EQ(s->persistentCookiesMap()->size(), 999u);
    EXPECT_TRUE(VuderuUtil::updateIfChangedCookieValueForCookieKey(data("v"), data("k1000")));
}

TEST_F(VuderuGlobalVariableStorageTest, TheAppCloudUserIdLivesInTheUserDefaults) {
    auto shared = VuderuSharedData::instance();
    EXPECT_TRUE(shared->storedAppCloudUserID().isNull());
    shared->storeAppCloudUserID("user-7");
    NSUserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(shared->storedAppCloudUserID(), Value("user-7"));
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->objectForKey("com.vuderu.appclouduser"), Value("user-7"));
    shared->storeAppCloudUserID("");
    EXPECT_TRUE(shared->storedAppCloudUserID().isNull());
}

} // namespace

#include "platform/foundation/NSUserDefaults.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuInitialTimestamp.h"
#include "sdk/analytics/VuderuKeychainWrapper.h"
#include "sdk/analytics/VuderuSharedData.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

class VuderuRelaunchTest : public DeviceTest {
protected:
    void TearDown() override {
        VuderuGlobalVariableStorage::cleanup();
        DeviceTest::TearDown();
    }
};

// One launch writes in its own process; the next one, this process, finds it all on the device.
TEST_F(VuderuRelaunchTest, WhatTheSDKKeepsSurvivesANewProcess) {
    int status = runInChildProcess([] {
        auto storage = VuderuGlobalVariableStorage::sharedInstance();
        storage->setApiKey("APP KEY");
        (*storage->persistentGlobalsMap())["default.timezone"] = Value("Europe/Zurich");
        VuderuUtil::updateIfChangedCookieValueForCookieKey(NSData::dataWithString("cookie"), NSData::dataWithString("session"));
        storage->savePersistentGlobalsToDisk();
        VuderuUtil::setVuderuOptOut(true);
        VuderuSharedData::instance()->storeAppCloudUserID("cloud-user");
        NSUserDefaults::standardUserDefaults()->synchronize();
        VuderuInitialTimestamp::initialTimestamp("APPKEY", NSDate::dateWithTimeIntervalSince1970(1234.5));
        VuderuKeychainWrapper::keychainWrapperWithIdentifier(VuderuAnalyticsKeychainIdentifier)->setStringForKey("v", "item");
        return 0;
    });
    ASSERT_EQ(status, 0);

    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    storage->setApiKey("APPKEY");
    EXPECT_EQ((*storage->persistentGlobalsMap())["default.timezone"], Value("Europe/Zurich"));
    EXPECT_EQ((*storage->persistentCookiesMap())["session"], Value(Value::Data{'c', 'o', 'o', 'k', 'i', 'e'}));
    EXPECT_TRUE(VuderuUtil::hasUserOptedOut());
    NSUserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(VuderuSharedData::instance()->storedAppCloudUserID(), Value("cloud-user"));
    EXPECT_EQ(VuderuInitialTimestamp::initialTimestamp("APPKEY", NSDate::date())->timeIntervalSince1970(), 1234.5);
    EXPECT_EQ(VuderuKeychainWrapper::keychainWrapperWithIdentifier(VuderuAnalyticsKeychainIdentifier)->stringForKey("item"), "v");
}

} // namespace

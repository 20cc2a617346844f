#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/analytics/VuderuInitialTimestamp.h"
#include "sdk/analytics/VuderuKeychainWrapper.h"
#include "sdk/analytics/VuderuSessionMeasurements.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

class VuderuMeasurementsTest : public DeviceTest {
protected:
    void TearDown() override {
        DeviceProfile::reset();
        DeviceTest::TearDown();
    }
};

TEST_F(VuderuMeasurementsTest, EachPhaseWritesItsFigures) {
    DeviceProfile::update([](DeviceProfile& p) {
        p.batteryLevel = 0.25f;
        p.batteryState = UIDeviceBatteryStateCharging;
    });
    std::map<std::string, std::string> params;
    VuderuSessionMeasurements::getSessionParametersAtPhase(VuderuSessionMeasurements::kPhaseStart, params);
    for (const char* key : {"memory.total", "boot.time", "disk.size.total", "disk.size.used", "memory.used.wired.start",
                            "memory.used.active.start", "memory.used.inactive.start", "cpu.load.start", "battery.remaining.start",
                            "battery.charging.start"}) {
        EXPECT_EQ(params.count(key), 1u) << key;
    }
    EXPECT_EQ(params.size(), 10u);
    EXPECT_EQ(params["battery.remaining.start"], "25.000000");
    EXPECT_EQ(params["battery.charging.start"], "1");
    EXPECT_EQ(params["boot.time"], std::to_string(VuderuUtil::lastBootTime()));
    unsigned long long total = std::stoull(params["disk.size.total"]);
    unsigned long long used = std::stoull(params["disk.size.used"]);
    EXPECT_LE(used, total);
    EXPECT_GT(std::stoull(params["memory.total"]), std::stoull(params["memory.used.active.start"]));
    double load = std::stod(params["cpu.load.start"]);
    EXPECT_GE(load, 0.0);

    // A full battery is not charging; the end figures join the start ones.
    DeviceProfile::update([](DeviceProfile& p) { p.batteryState = UIDeviceBatteryStateFull; });
    VuderuSessionMeasurements::getSessionParametersAtPhase(VuderuSessionMeasurements::kPhaseEnd, params);
    EXPECT_EQ(params.size(), 16u);
    EXPECT_EQ(params["battery.charging.end"], "0");
    EXPECT_EQ(params["battery.charging.start"], "1");

    std::map<std::string, std::string> other;
    VuderuSessionMeasurements::getSessionParametersAtPhase(7, other);
    EXPECT_EQ(other.size(), 4u);
}

class VuderuInitialTimestampTest : public DeviceTest {
protected:
    std::shared_ptr<NSDate> at(double seconds) { return NSDate::dateWithTimeIntervalSince1970(seconds); }
    double firstUse(const std::string& key, double start) {
        return VuderuInitialTimestamp::initialTimestamp(key, at(start))->timeIntervalSince1970();
    }
    void writeLegacy(const std::string& path, double seconds) {
        NSKeyedArchiver::archiveRootObjectToFile(Value(Value::Date{seconds}), path);
    }
};

TEST_F(VuderuInitialTimestampTest, TheFirstSessionStartIsKeptPerKey) {
    EXPECT_EQ(firstUse("KEY", 100), 100);
    EXPECT_EQ(firstUse("KEY", 200), 100);
    // A new key starts again, even with a legacy file for it.
    writeLegacy(VuderuInitialTimestamp::initialTimestampFilePath("OTHER"), 50);
    EXPECT_EQ(firstUse("OTHER", 300), 300);
    EXPECT_EQ(firstUse("OTHER", 400), 300);
    auto keychain = VuderuKeychainWrapper::keychainWrapperWithIdentifier("com.vuderu.analytics");
    EXPECT_EQ(keychain->stringForKey("VuderuAPIKey"), "OTHER");
}

TEST_F(VuderuInitialTimestampTest, ALegacyFileMovesIntoTheKeychain) {
    writeLegacy(VuderuInitialTimestamp::initialTimestampFilePath("KEY"), 42.5);
    EXPECT_EQ(firstUse("KEY", 1000), 42.5);
    auto keychain = VuderuKeychainWrapper::keychainWrapperWithIdentifier("com.vuderu.analytics");
    EXPECT_EQ(NSDate::fromValue(keychain->objectForKey("VuderuSessionTimestampKey"))->timeIntervalSince1970(), 42.5);
    EXPECT_EQ(firstUse("KEY", 2000), 42.5);
}

TEST_F(VuderuInitialTimestampTest, AFileOfTheOldDirectoryIsMovedAndADamagedOneIgnored) {
    std::string oldPath = VuderuInitialTimestamp::oldInitialTimestampFilePathUptilAgentVersion109("KEY");
    EXPECT_TRUE(NSString::hasPrefix(oldPath, "/var/mobile/Library/VuderuFiles/.initialTimestamp"));
    writeLegacy(oldPath, 7);
    std::string path = VuderuInitialTimestamp::initialTimestampFilePath("KEY");
    EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath(oldPath));
    EXPECT_TRUE(NSFileManager::defaultManager()->fileExistsAtPath(path));
    EXPECT_EQ(firstUse("KEY", 1000), 7);

    writeFile(VuderuInitialTimestamp::initialTimestampFilePath("BROKEN"), "garbage");
    EXPECT_EQ(firstUse("BROKEN", 900), 900);
}

TEST_F(VuderuInitialTimestampTest, WithoutAStartTheDateIsNow) {
    PlatformClock::setManual(5000);
    EXPECT_EQ(VuderuInitialTimestamp::initialTimestamp("KEY", nullptr)->timeIntervalSince1970(), 5000);
}

} // namespace

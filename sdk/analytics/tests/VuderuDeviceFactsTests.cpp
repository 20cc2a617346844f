#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIDevice.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <cstring>
#include <cstdlib>
#include <ctime>

namespace {

class DeviceFactsTest : public ::testing::Test {
protected:
    void TearDown() override {
        DeviceProfile::reset();
        UIDevice::currentDevice()->setBatteryMonitoringEnabled(false);
        NSUnregisterClass(VuderuUtil::advertisingClassName());
    }
};

TEST_F(DeviceFactsTest, OrientationNamesAndTheCanvas) {
    const std::pair<long, std::optional<std::string>> names[] = {
        {0, std::nullopt}, {1, "portrait"}, {2, "portraitUpsideDown"}, {3, "landscapeRight"}, {4, "landscapeLeft"}, {5, std::nullopt},
    };
    for (const auto& [number, name] : names) EXPECT_EQ(VuderuUtil::getOrientationStrFromInterfaceOrientation(number), name) << number;

    struct Case {
        UIDeviceOrientation device;
        std::string canvas;
        bool landscape;
    };
    const Case cases[] = {
        {UIDeviceOrientationPortrait, "portrait", false},
        {UIDeviceOrientationPortraitUpsideDown, "portraitUpsideDown", false},
        {UIDeviceOrientationLandscapeLeft, "landscapeRight", true},
        {UIDeviceOrientationLandscapeRight, "landscapeLeft", true},
        {UIDeviceOrientationFaceUp, "portrait", false},
    };
    for (const Case& c : cases) {
        DeviceProfile::update([&](DeviceProfile& p) {
            p.orientation = c.device;
            p.screenWidth = 320;
            p.screenHeight = 480;
        });
        EXPECT_EQ(VuderuUtil::getCanvasOrientation(), c.canvas);
        EXPECT_EQ(VuderuUtil::canvasInLandscape(), c.landscape);
        EXPECT_EQ(VuderuUtil::canvasInLandscape(std::nullopt), c.landscape);
        EXPECT_EQ(VuderuUtil::screenBounds(), c.landscape ? CGRectMake(0, 0, 480.1, 320) : CGRectMake(0, 0, 320, 480.1));
    }
    EXPECT_TRUE(VuderuUtil::canvasInLandscapeRight(std::optional<std::string>("LANDSCAPERIGHT")));
    EXPECT_FALSE(VuderuUtil::canvasInLandscapeLeft(std::optional<std::string>("landscapeRight")));
    EXPECT_TRUE(VuderuUtil::canvasInLandscape(std::optional<std::string>("landscapeleft")));
    EXPECT_FALSE(VuderuUtil::canvasInLandscape(std::optional<std::string>("portrait")));
    EXPECT_EQ(VuderuUtil::screenBounds(std::optional<std::string>("portrait")), CGRectMake(0, 0, 320, 480.1));
    EXPECT_EQ(VuderuUtil::screenBounds(std::optional<std::string>("landscapeLeft")), CGRectMake(0, 0, 480.1, 320));
}

TEST_F(DeviceFactsTest, DeviceFactsComeFromTheDevice) {
    DeviceProfile::update([](DeviceProfile& p) {
        p.model = "iPad";
        p.screenScale = 1;
        p.batteryLevel = 0.5f;
        p.batteryState = UIDeviceBatteryStateCharging;
    });
    EXPECT_TRUE(VuderuUtil::isIPad());
    EXPECT_FALSE(VuderuUtil::isRetina());
    EXPECT_EQ(VuderuUtil::getBatteryLevel(), 50.0f);
    EXPECT_EQ(VuderuUtil::getBatteryState(), UIDeviceBatteryStateCharging);
    DeviceProfile::reset();
    DeviceProfile::update([](DeviceProfile& p) { p.model = "iPad mini"; });
    EXPECT_TRUE(VuderuUtil::isIPad());
    DeviceProfile::reset();
    DeviceProfile::update([](DeviceProfile& p) { p.batteryLevel = -1; });
    EXPECT_FALSE(VuderuUtil::isIPad());
    EXPECT_TRUE(VuderuUtil::isRetina());
    // The platform string is the machine's own identifier, whatever the device profile says.
    struct utsname host{};
    ASSERT_EQ(uname(&host), 0);
    EXPECT_EQ(VuderuUtil::devicePlatform(), host.machine);
    EXPECT_EQ(VuderuUtil::getBatteryLevel(), -100.0f);
    EXPECT_EQ(VuderuUtil::deviceIsJailbroken(), -1);
    long boot = VuderuUtil::lastBootTime();
    EXPECT_GT(boot, 1000000000);
    EXPECT_LE(boot, static_cast<long>(std::time(nullptr)));
}

TEST_F(DeviceFactsTest, BatteryMonitoringIsOnOnlyForTheReading) {
    auto device = UIDevice::currentDevice();
    DeviceProfile::update([](DeviceProfile& p) {
        p.batteryLevel = 0.75f;
        p.batteryState = UIDeviceBatteryStateUnplugged;
    });
    for (bool monitoring : {false, true}) {
        device->setBatteryMonitoringEnabled(monitoring);
        EXPECT_EQ(VuderuUtil::getBatteryLevel(), 75.0f) << monitoring;
        EXPECT_EQ(device->isBatteryMonitoringEnabled(), monitoring);
        EXPECT_EQ(VuderuUtil::getBatteryState(), UIDeviceBatteryStateUnplugged) << monitoring;
        EXPECT_EQ(device->isBatteryMonitoringEnabled(), monitoring);
    }
}

TEST_F(DeviceFactsTest, MacAddressesAreSixBytesWrittenWithinTheBuffer) {
    const std::uint8_t mac[8] = {0x02, 0xFC, 0x0a, 0x00, 0x00, 0x01, 0x77, 0x88};
    char buffer[18] = "";
    EXPECT_TRUE(VuderuUtil::formatMacAddress(mac, 6, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "02:FC:0A:00:00:01");
    char untouched[18] = "";
    EXPECT_FALSE(VuderuUtil::formatMacAddress(mac, 8, untouched, sizeof untouched));
    EXPECT_FALSE(VuderuUtil::formatMacAddress(mac, 5, untouched, sizeof untouched));
    EXPECT_STREQ(untouched, "");
    char small[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    char guard[4] = {'g', 'g', 'g', 0};
    EXPECT_TRUE(VuderuUtil::formatMacAddress(mac, 6, small, sizeof small));
    EXPECT_STREQ(small, "02:FC:0");
    EXPECT_STREQ(guard, "ggg");
    // Whatever the host has, the primary interface's address is empty or a complete one.
    char host[18] = "";
    VuderuUtil::vuderuGetMacAddress(host, sizeof host, "en0");
    EXPECT_TRUE(std::strlen(host) == 0 || std::strlen(host) == 17) << host;
    char none[18] = "";
    VuderuUtil::vuderuGetMacAddress(none, sizeof none, "no-such-interface");
    EXPECT_STREQ(none, "");
}

// The platform's advertising-identifier facility, as a test installs it.
class FakeIdentifier : public NSObject, public NSDynamicMessaging {
public:
    bool respondsToSelector(std::string_view s) const override { return s == VuderuUtil::advertisingStringSelector(); }
    Value performSelector(std::string_view) override { return Value("1E2D3C4B-0000-4000-8000-000000000001"); }
};
class FakeManager : public NSObject, public NSDynamicMessaging {
public:
    explicit FakeManager(bool tracking, bool answersIdentifier) : tracking_(tracking), answersIdentifier_(answersIdentifier) {}
    bool respondsToSelector(std::string_view s) const override {
        return (answersIdentifier_ && s == VuderuUtil::advertisingIdentifierSelector()) || s == VuderuUtil::advertisingTrackingSelector();
    }
    Value performSelector(std::string_view s) override {
        if (s == VuderuUtil::advertisingTrackingSelector()) return Value(tracking_);
        return Value(std::make_shared<FakeIdentifier>());
    }
    bool tracking_;
    bool answersIdentifier_;
};
class FakeManagerClass : public NSObject, public NSDynamicMessaging {
public:
    explicit FakeManagerClass(std::shared_ptr<FakeManager> shared) : shared_(std::move(shared)) {}
    bool respondsToSelector(std::string_view s) const override { return s == VuderuUtil::advertisingManagerSelector(); }
    Value performSelector(std::string_view) override { return Value(shared_); }
    std::shared_ptr<FakeManager> shared_;
};

TEST_F(DeviceFactsTest, AdvertisingIdentifierIsLookedUpByName) {
    EXPECT_EQ(VuderuUtil::advertisingClassName(), "ASIdentifierManager");
    EXPECT_EQ(VuderuUtil::getVuderuId(), std::nullopt);
    EXPECT_TRUE(VuderuUtil::isAdTrackingEnabled());

    NSRegisterClass(VuderuUtil::advertisingClassName(), std::make_shared<FakeManagerClass>(std::make_shared<FakeManager>(false, true)));
    EXPECT_EQ(VuderuUtil::getVuderuId(), "1E2D3C4B-0000-4000-8000-000000000001");
    EXPECT_FALSE(VuderuUtil::isAdTrackingEnabled());

    NSRegisterClass(VuderuUtil::advertisingClassName(), std::make_shared<FakeManagerClass>(std::make_shared<FakeManager>(true, false)));
    EXPECT_EQ(VuderuUtil::getVuderuId(), std::nullopt);
    EXPECT_TRUE(VuderuUtil::isAdTrackingEnabled());
}

TEST_F(DeviceFactsTest, PreferredLanguageFallsBackToTheBundleThenEnglish) {
    setenv("LANGUAGE", "", 1);
    setenv("LC_ALL", "", 1);
    unsetenv("LC_MESSAGES");
    setenv("LANG", "de_CH.UTF-8", 1);
    EXPECT_EQ(VuderuUtil::preferredLanguage(), "de-CH");
    setenv("LANG", "C", 1);
    // The bundle's development region.
    EXPECT_EQ(VuderuUtil::preferredLanguage(), "en");
}

TEST_F(DeviceFactsTest, TheSaltIsFixed) {
    auto salt = VuderuUtil::getFixedSalt();
    EXPECT_EQ(salt->length(), 15u);
    EXPECT_EQ(salt->vector(), VuderuUtil::getFixedSalt()->vector());
}

} // namespace

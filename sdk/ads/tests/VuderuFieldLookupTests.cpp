#include "platform/testsupport/DeviceTest.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/ScopedTimeZone.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdProperties.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuFieldLookup.h"
#include "sdk/ads/tests/DynamicFakes.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/tests/VuderuSenderFixture.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using Lookup = VuderuFieldLookup;

class FrameAd : public IVuderuAd {
public:
    explicit FrameAd(const std::string& guid) : unit_(std::make_shared<VuderuAdUnit>()) {
        auto frame = std::make_shared<VuderuAdFrame>();
        frame->setAdLogGUID(guid);
        unit_->addAdFrame(frame);
    }
    VuderuAdUnitPtr activeAdUnit() const override { return unit_; }
    bool isGuidActive(const std::string&) const override { return true; }
    bool readyForDisplay() const override { return true; }
    std::string adSpaceName() const override { return "space"; }

private:
    VuderuAdUnitPtr unit_;
};

class FieldLookupTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        VuderuGlobalVariableStorage::sharedInstance()->setMacAddressEnabled(false);
    }
    void TearDown() override {
        NSUnregisterClass("UIDevice");
        NSUnregisterClass(VuderuUtil::advertisingClassName());
        VuderuAdProperties::clearUserCookies();
        VuderuUtil::setLogLevel(1);
        DeviceTest::TearDown();
    }
};

} // namespace

TEST_F(FieldLookupTest, KeysAndNumbers) {
    struct Case {
        std::optional<std::string> key;
        std::int32_t field;
    } cases[] = {{"fids", 0}, {"hid", 10}, {"uc", 23}, {"unknown", 24}, {"UC", 24}, {std::nullopt, 24}, {"", 24}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key.value_or("nil"));
        EXPECT_EQ(Lookup::adFieldStringToEnum(c.key), c.field);
    }
    EXPECT_EQ(Lookup::adFieldEnumToString(17), "tz");
}

TEST_F(FieldLookupTest, FieldsWithoutValueAreNoneAndLogged) {
    VuderuUtil::setLogLevel(2);
    for (bool encode : {false, true}) {
        EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("hid", encode), std::nullopt);
        EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("guid", encode), std::nullopt);
        EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("lid", encode), std::nullopt);
        EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("eso", encode), std::nullopt);
        EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl(std::nullopt, encode), std::nullopt);
        EXPECT_EQ(Lookup::getStringValueForFieldTypeEncodeForUrl(99, encode), std::nullopt);
    }
    auto lines = log_->lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "VuderuFieldLookup: Unknown kAdField [10]"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "VuderuFieldLookup: Unknown kAdField [99]"), lines.end());
    EXPECT_TRUE(Lookup::getDataValuesForFieldType(3).empty());
}

TEST_F(FieldLookupTest, UserCookiesEncodeEachKeyAndValue) {
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("uc", true), "");
    VuderuAdProperties::setUserCookies(VuderuAdProperties::Dictionary{{"a", "1"}, {"b", "x y"}});
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("uc", true), "c_a=1&c_b=x%20y");
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("uc", false), "c_a=1&c_b=x y");
}

TEST_F(FieldLookupTest, DeviceIdentifiersInTheirOrder) {
    // The device has a vendor identifier of its own from the first use on.
    auto own = VuderuUtil::getIdentifierForVendor();
    ASSERT_TRUE(own);
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("fids", false), "6:" + *own);
    registerVendorIdentifier("VENDOR-1");
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("fids", false), "6:VENDOR-1");
    auto raw = Lookup::getDataValuesForFieldType(Lookup::kFids);
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_EQ(raw[0]->stringView(), "6:VENDOR-1");
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("fids", true), "6%3AVENDOR-1");
}

TEST_F(FieldLookupTest, AdLogFieldsComeFromTheCurrentFrame) {
    auto log = std::make_shared<VuderuAdLog>(1000000, "a!*'();:@&=+$,/?%#[] z");
    AdLogManager::instance()->storeAdLog(log);
    FrameAd ad(*log->GUID());
    PlatformClock::setManual(1500.25);
    EXPECT_EQ(Lookup::getStringValueForFieldForAdAdEventEncodeForUrl("guid", &ad, nullptr, false), log->GUID());
    EXPECT_EQ(Lookup::getStringValueForFieldForAdAdEventEncodeForUrl("guid", &ad, nullptr, true),
              "a%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D%20z");
    EXPECT_EQ(Lookup::getStringValueForFieldForAdAdEventEncodeForUrl("lid", &ad, nullptr, false), std::to_string(log->adLogId()));
    EXPECT_EQ(Lookup::getStringValueForFieldForAdAdEventEncodeForUrl("arsid", &ad, nullptr, false), "1000000");
    // Now minus the requested session's start in whole seconds (1000 s).
    EXPECT_EQ(Lookup::getStringValueForFieldForAdAdEventEncodeForUrl("arso", &ad, nullptr, false), "500250");
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("ats", false), "1500250");
    VuderuAdEvent event(3, std::nullopt, nullptr, 4321);
    EXPECT_EQ(Lookup::getStringValueForFieldForAdAdEventEncodeForUrl("eso", nullptr, &event, false), "4321");
    FrameAd other("no log");
    EXPECT_EQ(Lookup::getStringValueForFieldForAdAdEventEncodeForUrl("guid", &other, nullptr, false), std::nullopt);
}

TEST_F(FieldLookupTest, PlainFacts) {
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("av", false), "137");
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("osv", false), "8.0");
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("tdv", false), "0");
    VuderuAds::enableTestAds(true);
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("tdv", false), "1");
    VuderuAds::enableTestAds(false);
    std::set<std::string> randoms;
    for (int i = 0; i < 4; ++i) randoms.insert(*Lookup::getStringValueForFieldEncodeForUrl("rand", false));
    EXPECT_GT(randoms.size(), 1u);
}

TEST_F(FieldLookupTest, SessionFactsComeFromTheSessionOwner) {
    ScopedTimeZone zone("Europe/Paris");
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("tz", false), "Europe/Paris");
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("tz", true), "Europe%2FParis");

    PlatformClock::setManual(1767225600.0);
    auto owner = VuderuImpl::instance();
    owner->setupForApiKey("FIELDKEY");
    // The owner's location is zero until it is told one, and it has no age setting.
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("lat", false), "0.000000");
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("a", false), std::nullopt);
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("sid", false), "1767225600000");
    PlatformClock::advance(2.5);
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("so", false), "2500");
    owner->setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(1.5, -2.25, 5, 10);
    EXPECT_NE(owner->latitude(), 0.0);
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("lat", false), NSString::stringWithFormat("%f", owner->latitude()));
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("lon", false), NSString::stringWithFormat("%f", owner->longitude()));
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("acc", false), NSString::stringWithFormat("%f", owner->accuracy()));
    EXPECT_EQ(Lookup::getStringValueForFieldEncodeForUrl("g", false), NSString::stringWithFormat("%d", owner->gender()));

    sender_fixture::endLaunch();
    PlatformClock::setAutomatic();
}

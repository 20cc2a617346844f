#include "platform/foundation/NSData.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/ads/tests/DynamicFakes.h"

#include <gtest/gtest.h>

namespace {

class AdUtilTest : public DeviceTest {
protected:
    void TearDown() override {
        DeviceProfile::reset();
        NSUnregisterClass("SKStoreProductViewController");
        VuderuAdManager::instance()->setSdkAssetDictionary(std::nullopt);
        DeviceTest::TearDown();
    }
};

} // namespace

TEST_F(AdUtilTest, ScreenOrientationVocabulary) {
    struct Case {
        std::optional<std::string> name;
        std::int32_t value;
    } cases[] = {{"PORTRAIT", 0}, {"LANDSCAPE", 1}, {"UNKNOWN", 2}, {"SO_UNKNOWN", 2}, {"", 2}, {std::nullopt, 2}, {"landscape", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.value_or("nil"));
        EXPECT_EQ(VuderuAdUtil::screenOrientationStringToEnum(c.name), c.value);
    }
    EXPECT_EQ(VuderuAdUtil::screenOrientationEnumToString(1), "LANDSCAPE");
    EXPECT_EQ(VuderuAdUtil::getScreenOrientation(), 0);
    DeviceProfile::update([](DeviceProfile& p) { p.orientation = UIDeviceOrientationLandscapeLeft; });
    EXPECT_EQ(VuderuAdUtil::getScreenOrientation(), 1);
}

TEST_F(AdUtilTest, RetinaOnlyAtScaleTwo) {
    for (double scale : {1.0, 2.0, 3.0}) {
        DeviceProfile::update([&](DeviceProfile& p) { p.screenScale = scale; });
        EXPECT_EQ(VuderuAdUtil::isRetinaDisplay(), scale == 2.0) << scale;
    }
}

TEST_F(AdUtilTest, StorePageNeedsTheClassAndSystemSix) {
    EXPECT_FALSE(VuderuAdUtil::canDoSKAppStore());
    NSRegisterClass("SKStoreProductViewController", std::make_shared<FakeDynamicObject>());
    EXPECT_TRUE(VuderuAdUtil::canDoSKAppStore());
}

TEST_F(AdUtilTest, BuiltInImagesAtTheirSizes) {
    DeviceProfile::update([](DeviceProfile& p) { p.screenScale = 1; });
    struct Case {
        const char* name;
        CGSize size;
    } cases[] = {{"play_button", {101, 102}}, {"pause_button", {101, 102}}, {"more_info", {117, 35}}, {"closeX", {25, 25}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = VuderuAdUtil::getDefaultImage(c.name);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->size(), c.size);
        EXPECT_EQ(VuderuAdUtil::getCorrectImageAsset(c.name)->size(), c.size);
    }
    EXPECT_EQ(VuderuAdUtil::getDefaultImage("play"), nullptr);
    EXPECT_EQ(VuderuAdUtil::getCorrectImageAsset("play"), nullptr);
}

TEST_F(AdUtilTest, BundleImagesComeFirstByScreenKind) {
    // The bundle's "play_button" is the close image, so that its size tells where it came from.
    auto png = UIImagePNGRepresentation(VuderuAdUtil::getDefaultImage("closeX"));
    makeDirectory("/bundle");
    ASSERT_TRUE(png->writeToFile("/bundle/play_button_retina.png", true));
    VuderuAdManager::instance()->setSdkAssetDictionary(std::map<std::string, std::string>{{"play_button_retina.png", "/bundle/play_button_retina.png"},
                                                                                          {"pause_button_retina.png", "/bundle/missing.png"}});
    EXPECT_EQ(VuderuAdUtil::getCorrectImageAsset("play_button")->size(), CGSizeMake(25, 25));
    // A bundle entry whose file cannot be read falls back to the built-in image.
    EXPECT_EQ(VuderuAdUtil::getCorrectImageAsset("pause_button")->size(), CGSizeMake(101, 102));
    DeviceProfile::update([](DeviceProfile& p) { p.screenScale = 1; });
    EXPECT_EQ(VuderuAdUtil::getCorrectImageAsset("play_button")->size(), CGSizeMake(101, 102));
}

TEST_F(AdUtilTest, UserAgentFromTheDevice) {
    EXPECT_EQ(VuderuAdUtil::getUserAgent(), "");
    DeviceProfile::update([](DeviceProfile& p) { p.systemVersion = "8.1.2"; });
    VuderuAdUtil::initUserAgent();
    EXPECT_NE(VuderuAdUtil::getUserAgent().find("(iPhone; CPU iPhone OS 8_1_2 like Mac OS X)"), std::string::npos);
    EXPECT_NE(VuderuAdUtil::cachePathDirectory().find("/Library/Caches/VuderuFiles"), std::string::npos);
}

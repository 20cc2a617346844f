#include "platform/testsupport/DeviceTest.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdProtocolSchemas.h"
#include "sdk/ads/VuderuAdResponse.h"
#include "sdk/ads/VuderuAvro.h"
#include "sdk/ads/tests/AdResponseBytes.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

using namespace adresponse;

class AdResponseTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        VuderuUtil::setLogLevel(2);
        auto manager = VuderuAdManager::instance();
        manager->setSdkAssetUrl("");
        manager->setSdkAssetUrlUpdated(false);
        manager->setCacheSize(VuderuAdManager::kDefaultCacheSize);
        manager->setMaxAssetSize(VuderuAdManager::kDefaultMaxAssetSize);
    }
    void TearDown() override {
        VuderuUtil::setLogLevel(1);
        DeviceTest::TearDown();
    }
    std::optional<std::vector<VuderuAdUnitPtr>> parse(const std::string& bytes) {
        return VuderuAdResponse().parseAdResponse(NSData(bytes.data(), bytes.size()));
    }
    bool logged(const std::string& line) const {
        auto lines = log_->lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    bool loggedPrefix(const std::string& prefix) const {
        for (const auto& line : log_->lines()) {
            if (line.rfind(prefix, 0) == 0) return true;
        }
        return false;
    }
};

} // namespace

TEST(AvroBytesTest, ZigZagVarintsAsWritten) {
    struct Case {
        std::int64_t value;
        std::string bytes;
    } cases[] = {{0, std::string(1, '\0')}, {-1, "\x01"}, {1, "\x02"}, {63, "\x7e"}, {-64, "\x7f"}, {64, "\x80\x01"}, {-65, "\x81\x01"},
                 {10000, "\xa0\x9c\x01"}, {std::int64_t{1} << 60, "\x80\x80\x80\x80\x80\x80\x80\x80\x20"}};
    for (const auto& c : cases) EXPECT_EQ(AvroBytes().l(c.value).str(), c.bytes) << c.value;
    EXPECT_EQ(AvroBytes().s("ab").str(), "\x04" "ab");
}

TEST_F(AdResponseTest, DecodesUnitsFramesAndCallbacks) {
    FrameShape shape;
    shape.duplicateCallback = true;
    auto units = parse(response(2, false, 0, 0, shape, 1));
    ASSERT_TRUE(units);
    ASSERT_EQ(units->size(), 2u);
    const auto& u = *units->at(0);
    EXPECT_EQ(u.adSpace(), "space");
    EXPECT_EQ(u.expiration(), 1700000000000);
    EXPECT_EQ(u.adType(), VuderuAdUnit::kAdTypeUnknown);
    EXPECT_EQ(u.combinable(), 1);
    EXPECT_EQ(u.groupId(), "group");
    EXPECT_EQ(u.idHash(), "hash");
    EXPECT_EQ(u.serveTime(), 1600000000000);
    EXPECT_EQ(u.newCap(), 3);
    EXPECT_EQ(u.prevCap(), -1);
    EXPECT_EQ(u.prevCapType(), 0);
    EXPECT_EQ(u.expirationTime(), 1800000000000);
    EXPECT_EQ(u.closableTime(), 5000);
    EXPECT_TRUE(u.rewardable());
    EXPECT_EQ(u.preRenderTimeoutMillis(), 10000);
    EXPECT_EQ(u.preCacheAdSkippableTimeLimit(), 20000);
    EXPECT_FALSE(u.videoAutoPlay());
    EXPECT_TRUE(u.supportMRAID());
    EXPECT_TRUE(u.preRender());
    EXPECT_FALSE(u.renderTime());
    EXPECT_EQ(u.screenOrientation(), 1);
    EXPECT_EQ(u.clientSideRtbPayload(), (std::map<std::string, std::string>{{"k1", "v1"}, {"k2", "v2"}}));
    EXPECT_EQ(units->at(1)->clientSideRtbPayload(), std::nullopt);
    ASSERT_EQ(u.adFrames().size(), 1u);
    const auto& f = *u.adFrames()[0];
    EXPECT_EQ(f.binding(), 2);
    EXPECT_EQ(f.adLogGUID(), "guid-1");
    EXPECT_EQ(f.display(), "<html/>");
    EXPECT_EQ(f.content(), "content");
    EXPECT_EQ(f.cachingEnum(), 1);
    EXPECT_EQ(f.assetExpiration(), 1);
    EXPECT_EQ(f.adSpaceLayout()->adWidth(), 320);
    EXPECT_EQ(f.adSpaceLayout()->alignment(), "b-c");
    EXPECT_EQ(*f.cacheWhitelistedAssets(), (std::vector<std::string>{"w1", "w2"}));
    EXPECT_EQ(*f.cacheBlacklistedAssets(), std::vector<std::string>{"b1"});
    // The later callback for the same event replaces the earlier one.
    EXPECT_EQ(f.adCallbacks()->at("clicked")->actions(), std::vector<std::string>{"second"});
    EXPECT_EQ(f.adCallbacks()->at("rendered")->actions(), std::vector<std::string>{"track"});
    EXPECT_TRUE(logged("Error in AdRequest: [first error]"));
    EXPECT_FALSE(VuderuAdManager::instance()->sdkAssetUrlUpdated());
}

TEST_F(AdResponseTest, EmptyReplyIsAnEmptyListNotNone) {
    auto units = parse(response(0, false));
    ASSERT_TRUE(units);
    EXPECT_TRUE(units->empty());
}

TEST_F(AdResponseTest, EnumIndexesOutsideTheSymbolsReadAsUnknown) {
    for (std::int64_t index : {0, 1, 2, 3, 100, -1, -1000}) {
        SCOPED_TRACE(index);
        auto units = parse(response(1, false, 0, 0, {}, index));
        ASSERT_TRUE(units);
        EXPECT_EQ(units->at(0)->screenOrientation(), index == 0 || index == 1 ? index : 2);
    }
}

TEST_F(AdResponseTest, ConfigurationLimitsAndBundleAddress) {
    auto manager = VuderuAdManager::instance();
    struct Case {
        std::int64_t cacheSizeMb, maxAssetSizeKb;
        std::int32_t cacheSize, maxAssetSize;
    } cases[] = {
        {20, 2024, 20971520, 2072576},
        {-1, -5, 20971520, 2072576},             // negative: the previous limits stay
        {2048, 2097152, 2147483647, 2147483647}, // 2^31 overflowed 32 bits
        {0, 1, 0, 1024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cacheSizeMb);
        ASSERT_TRUE(parse(response(0, true, c.cacheSizeMb, c.maxAssetSizeKb)));
        EXPECT_EQ(manager->cacheSize(), c.cacheSize);
        EXPECT_EQ(manager->maxAssetSize(), c.maxAssetSize);
    }
    EXPECT_EQ(manager->sdkAssetUrl(), "https://assets.example/sdk/ios.zip");
    EXPECT_TRUE(manager->sdkAssetUrlUpdated());
    manager->setSdkAssetUrlUpdated(false);
    ASSERT_TRUE(parse(response(0, true)));
    EXPECT_FALSE(manager->sdkAssetUrlUpdated());
}

TEST_F(AdResponseTest, HostileRepliesDecodeToNoneWithinTheBody) {
    const std::string valid = response(1, true);
    struct Case {
        std::string what;
        std::string bytes;
    };
    std::vector<Case> cases = {
        {"another schema's bytes", AvroBytes().s("success").strings({"x", "y"}).str()},
        {"string length past the body", AvroBytes().l(1).s("space").raw(AvroBytes().l(std::int64_t{1} << 40).str()).raw("abc").str()},
        {"string of a mebibyte in a short body", AvroBytes().l(1).l(1 << 20).raw("abc").str()},
        {"negative string length", AvroBytes().l(1).l(-7).raw("abcdefgh").str()},
        {"array count of 2^60", AvroBytes().l(std::int64_t{1} << 60).s("space").str()},
        {"negative block with a huge byte size", AvroBytes().l(-3).l(std::int64_t{1} << 50).str()},
        {"union branch 2", AvroBytes().end().strings({}).l(2).s("url").l(1).l(1).str()},
        {"empty body", ""},
    };
    for (std::size_t n = 0; n < valid.size(); ++n) cases.push_back({"truncated to " + std::to_string(n), valid.substr(0, n)});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(parse(c.bytes), std::nullopt);
        EXPECT_TRUE(loggedPrefix("AdResponse: the reply of " + std::to_string(c.bytes.size()) + " bytes does not decode: "));
        EXPECT_LE(avroLargestAllocationOfLastRead(), avroAllocationLimitForBody(c.bytes.size()));
    }
    ASSERT_TRUE(parse(valid));
}

TEST_F(AdResponseTest, RecordsAreCountedWithoutDecoding) {
    VuderuAdResponse decoder;
    ASSERT_TRUE(decoder.initSchema());
    AvroSchema schema = avroSchemaFromJson(VuderuAdProtocolSchemas::adResponse());
    const std::string bytes = response(2, false);
    AvroItemCounts counts;
    ASSERT_TRUE(avroCountItems(schema.get(), reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &counts));
    EXPECT_EQ(counts["AdUnit"], 2u);
    EXPECT_EQ(counts["AdFrame"], 2u);
    EXPECT_EQ(counts["Callback"], 4u);
    EXPECT_FALSE(avroCountItems(schema.get(), reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size() - 1, &counts));
}

TEST_F(AdResponseTest, ABlockCountWithoutAPositiveCounterpartIsRefused) {
    AvroSchema schema = avroSchemaFromJson(R"({"type": "array", "items": "int"})");
    // The zigzag varint of the most negative 64-bit count, then a block size and one item.
    const std::uint8_t bytes[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x02, 0x00};
    AvroItemCounts counts;
    EXPECT_FALSE(avroCountItems(schema.get(), bytes, sizeof bytes, &counts));
}

TEST_F(AdResponseTest, RepliesThatWouldCostMoreThanTheyMayAreRefusedBeforeDecoding) {
    FrameShape large;
    large.display = "<html>" + std::string(4000, 'x') + "</html>";
    struct Case {
        const char* what;
        int units;
        FrameShape shape;
        bool accepted;
    };
    const Case cases[] = {
        {"a real reply", 20, FrameShape{}, true},
        {"hundreds of small units", 400, FrameShape{}, true},
        {"the most units, each with a page", 1000, large, true},
        {"one unit more", 1001, large, false},
        {"thousands of small units", 3000, FrameShape{}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        log_->clear();
        const std::string bytes = response(c.units, false, 20, 2024, c.shape);
        auto units = parse(bytes);
        EXPECT_EQ(units.has_value(), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(units->size(), static_cast<std::size_t>(c.units));
        } else {
            EXPECT_TRUE(loggedPrefix("AdResponse: a reply of " + std::to_string(bytes.size()) + " bytes with " + std::to_string(c.units) + " units"));
            EXPECT_FALSE(loggedPrefix("AdResponse: the reply of"));
        }
    }
}

// Actions are counted as what they may start: a request each. A reply past the bound on actions
// is refused whole, and so is one with anything after its value.
TEST_F(AdResponseTest, ActionsCountAndTheReplyMustBeOneWholeValue) {
    struct Case {
        const char* what;
        int units;
        std::size_t trackers;
        std::string trailing;
        bool accepted;
        const char* logged;
    };
    const Case cases[] = {
        {"a few trackers", 20, 5, "", true, ""},
        {"the most actions", 1, VuderuAdResponse::kMaximumActions - 3, "", true, ""},
        {"one action more", 1, VuderuAdResponse::kMaximumActions - 2, "", false, "actions"},
        {"twenty thousand trackers", 1, 20000, "", false, "actions"},
        {"a byte after the reply", 1, 0, std::string(1, '\0'), false, "holds more than one whole value"},
        {"a mebibyte of noise after it", 1, 0, std::string(1 << 20, '\x7f'), false, "holds more than one whole value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        log_->clear();
        FrameShape shape;
        shape.renderedTrackers = c.trackers;
        const std::string bytes = response(c.units, false, 20, 2024, shape) + c.trailing;
        auto units = parse(bytes);
        EXPECT_EQ(units.has_value(), c.accepted);
        if (c.accepted) continue;
        bool found = false;
        for (const auto& line : log_->lines()) found = found || (line.rfind("AdResponse:", 0) == 0 && line.find(c.logged) != std::string::npos);
        EXPECT_TRUE(found);
    }
}

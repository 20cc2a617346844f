#include "sdk/ads/VuderuAdAlignment.h"
#include "sdk/ads/VuderuAdUnit.h"

#include <gtest/gtest.h>

namespace {

VuderuAdUnitPtr unitWithFrames(int count) {
    auto unit = std::make_shared<VuderuAdUnit>();
    for (int i = 0; i < count; ++i) {
        auto frame = std::make_shared<VuderuAdFrame>();
        frame->setAdLogGUID("g" + std::to_string(i));
        unit->addAdFrame(frame);
    }
    return unit;
}

VuderuAdCallbackPtr callback(const std::string& event, std::vector<std::string> actions) {
    auto c = std::make_shared<VuderuAdCallback>();
    c->setEvent(event);
    c->setActions(std::move(actions));
    return c;
}

} // namespace

TEST(VuderuAdUnit, ExpiryBounds) {
    struct Case {
        std::int64_t expiration, now;
        bool expired;
    } cases[] = {{0, 1000, false}, {-5, 1000, false}, {1000, 1000, false}, {1000, 1001, true}, {1, 2, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expiration);
        VuderuAdUnit unit;
        unit.setExpiration(c.expiration);
        EXPECT_EQ(unit.isExpiredForGMTEpochMilliseconds(c.now), c.expired);
    }
}

TEST(VuderuAdUnit, CursorStopsAtBothEnds) {
    auto one = unitWithFrames(1);
    EXPECT_EQ(one->nextAdFrame(), nullptr);
    EXPECT_EQ(one->curAdFrameIndex(), 0);
    EXPECT_EQ(one->prevAdFrame(), nullptr);
    EXPECT_EQ(one->gotoAdFrame(1), nullptr);
    EXPECT_EQ(one->gotoAdFrame(-1), nullptr);

    auto three = unitWithFrames(3);
    EXPECT_EQ(three->nextAdFrame()->adLogGUID(), "g1");
    EXPECT_EQ(three->gotoAdFrame(2)->adLogGUID(), "g2");
    EXPECT_EQ(three->nextAdFrame(), nullptr);
    EXPECT_EQ(three->prevAdFrame()->adLogGUID(), "g1");
    EXPECT_EQ(three->gotoAdFrame(3), nullptr);
    EXPECT_EQ(three->curAdFrameIndex(), 1);

    VuderuAdUnit empty;
    EXPECT_EQ(empty.curAdFrame(), nullptr);
    EXPECT_EQ(empty.nextAdFrame(), nullptr);
    empty.addAdFrame(nullptr);
    EXPECT_TRUE(empty.adFrames().empty());
}

TEST(VuderuAdUnit, VocabularyConversions) {
    EXPECT_EQ(VuderuAdUnit::getAdTypeFromValue(nullptr), 2);
    EXPECT_EQ(VuderuAdUnit::getAdTypeFromValue(""), 2);
    EXPECT_EQ(VuderuAdUnit::getAdTypeFromValue("VIDEO"), 2);
    EXPECT_EQ(VuderuAdUnit::getAdTypeFromValue("non_video"), 1);
    EXPECT_EQ(VuderuAdUnit::getSourceFromValue("rtb"), 4);
    EXPECT_EQ(VuderuAdUnit::getSourceFromValue("RTB"), 5);
    EXPECT_EQ(VuderuAdUnit::adSourceEnumToString(0), "daz_azorur");
    EXPECT_EQ(VuderuAdUnit::adTypeEnumToString(0), "video");
}

TEST(VuderuAdUnit, MergeTakesValuesAndFirstFrameOnly) {
    auto other = unitWithFrames(2);
    other->setAdSpace("space");
    other->setIdHash("h");
    other->setExpiration(99);
    other->setExpirationTime(7);
    other->setCurAdFrameIndex(1);
    other->setPreRender(true);
    other->setClientSideRtbPayload(std::map<std::string, std::string>{{"k", "v"}});
    other->setScreenOrientation(1);

    auto unit = unitWithFrames(3);
    unit->setExpirationTime(5);
    unit->setVastParsed(true);
    unit->mergeAndReplaceFramesFrom(*other);
    EXPECT_EQ(unit->adSpace(), "space");
    EXPECT_EQ(unit->idHash(), "h");
    EXPECT_EQ(unit->expiration(), 99);
    EXPECT_EQ(unit->expirationTime(), 5);
    EXPECT_TRUE(unit->vastParsed());
    EXPECT_EQ(unit->curAdFrameIndex(), 1);
    EXPECT_TRUE(unit->preRender());
    EXPECT_EQ(unit->screenOrientation(), 1);
    ASSERT_EQ(unit->adFrames().size(), 1u);
    EXPECT_EQ(unit->adFrames()[0], other->adFrames()[0]);
    EXPECT_EQ(unit->adFrames()[0]->cachingEnum(), 2);
    EXPECT_EQ(unit->clientSideRtbPayload()->at("k"), "v");
}

TEST(VuderuAdUnit, MergeFromItselfKeepsItsFirstFrame) {
    auto unit = unitWithFrames(2);
    unit->mergeAndReplaceFramesFrom(*unit);
    ASSERT_EQ(unit->adFrames().size(), 1u);
    EXPECT_EQ(unit->adFrames()[0]->adLogGUID(), "g0");
}

TEST(VuderuAdFrame, MergeCallbacksAddsMissingActionsOnce) {
    VuderuAdFrame frame;
    auto table = std::make_shared<VuderuAdCallbackTable>();
    (*table)["clicked"] = callback("clicked", {"a", "b"});
    frame.setAdCallbacks(table);

    VuderuAdCallbackTable given{{"clicked", callback("clicked", {"c", "a"})}, {"rendered", callback("rendered", {"x", "y"})}};
    frame.mergeAdCallbacks(given);
    frame.mergeAdCallbacks(given);
    EXPECT_EQ(frame.adCallbacks()->at("clicked")->actions(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(frame.adCallbacks()->at("rendered")->actions(), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(frame.adCallbacks()->at("rendered")->event(), "rendered");
    // The table the frame started with did not gain the new event.
    EXPECT_EQ(table->count("rendered"), 0u);
}

TEST(VuderuAdFrame, CopyKeepsEverythingButTheClick) {
    VuderuAdFrame frame;
    frame.setAdLogGUID("g");
    frame.setBinding(2);
    frame.setFrameClicked(true);
    frame.setFrameClosed(true);
    frame.setAssetExpiration(12);
    frame.setCacheWhitelistedAssets(std::make_shared<const std::vector<std::string>>(std::vector<std::string>{"w"}));
    frame.setCacheBlacklistedAssets(std::make_shared<const std::vector<std::string>>(std::vector<std::string>{"b1", "b2"}));
    auto copy = frame.copy();
    EXPECT_FALSE(copy->frameClicked());
    EXPECT_TRUE(copy->frameClosed());
    EXPECT_EQ(copy->adLogGUID(), "g");
    EXPECT_EQ(copy->binding(), 2);
    EXPECT_EQ(copy->assetExpiration(), 12);
    EXPECT_EQ(*copy->cacheWhitelistedAssets(), std::vector<std::string>{"w"});
    EXPECT_EQ(*copy->cacheBlacklistedAssets(), (std::vector<std::string>{"b1", "b2"}));
}

TEST(VuderuAdAlignment, Placement) {
    struct Case {
        const char* vertical;
        const char* horizontal;
        CGPoint origin;
    } cases[] = {
        {"b", "r", {0, 430}}, {"t", "l", {0, 0}}, {"m", "c", {0, 215}}, {"b-c", "", {0, 215}}, {nullptr, nullptr, {0, 215}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vertical ? c.vertical : "nil");
        auto opt = [](const char* s) { return s ? std::optional<std::string>(s) : std::nullopt; };
        CGRect r = VuderuAdAlignment::getBoundsForAdVerticalHorizontalAdFrameViewContainerFrame(
            opt(c.vertical), opt(c.horizontal), CGRectMake(5, 5, 320, 50), CGRectMake(9, 9, 320, 480));
        EXPECT_EQ(r, CGRectMake(c.origin.x, c.origin.y, 320, 50));
    }
    CGRect big = VuderuAdAlignment::getBoundsForAdTypeVerticalHorizontalAdFrameViewContainerFrame(
        VuderuAdAlignment::kUnknown, VuderuAdAlignment::kRight, CGRectMake(0, 0, 400, 100), CGRectMake(0, 0, 320, 50));
    EXPECT_EQ(big, CGRectMake(-80, -25, 400, 100));
    EXPECT_EQ(VuderuAdAlignment::adAlignmentEnumToString(4), "c");
}

TEST(VuderuAdLayout, TakeoverAndDescription) {
    VuderuAdSpaceLayout layout;
    EXPECT_FALSE(layout.isTakeover());
    layout.setFormat("takeover");
    EXPECT_TRUE(layout.isTakeover());
    layout.setFormat("Takeover");
    EXPECT_FALSE(layout.isTakeover());
}

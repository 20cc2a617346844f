#include "sdk/ads/VuderuVASTBuilders.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Urls = std::vector<std::string>;

TEST(VuderuVASTModelTests, TrackingEventAndDeliveryNamesBothWays) {
    const char* events[] = {"unknown", "creativeView", "start",  "midpoint", "firstQuartile", "thirdQuartile",
                            "complete", "mute",        "unmute", "pause",    "rewind",        "resume",
                            "fullscreen", "expand",    "collapse", "acceptInvitation", "close"};
    for (std::int32_t value = 0; value <= 16; ++value) {
        SCOPED_TRACE(value);
        EXPECT_EQ(VuderuVASTLinear::trackingEventEnumToString(value), events[value]);
        EXPECT_EQ(VuderuVASTLinear::trackingEventStringToEnum(events[value]), value);
    }
    EXPECT_EQ(VuderuVASTLinear::trackingEventEnumToString(17), std::nullopt);
    EXPECT_EQ(VuderuVASTLinear::trackingEventEnumToString(-1), std::nullopt);
    EXPECT_EQ(VuderuVASTLinear::trackingEventStringToEnum("Start"), 0);
    EXPECT_EQ(VuderuVASTLinear::trackingEventStringToEnum(""), 0);

    struct Delivery {
        const char* name;
        std::int32_t value;
    } deliveries[] = {{"unknown", 0}, {"streaming", 1}, {"progressive", 2}, {"Progressive", 0}, {"", 0}, {"ftp", 0}};
    for (const auto& d : deliveries) {
        SCOPED_TRACE(d.name);
        EXPECT_EQ(VuderuVASTMediaFile::deliveryTypeStringToEnum(d.name), d.value);
    }
    EXPECT_EQ(VuderuVASTMediaFile::deliveryTypeEnumToString(2), "progressive");
    EXPECT_EQ(VuderuVASTMediaFile::deliveryTypeEnumToString(9), "unknown");
    // The builder keeps the delivery as its name: a number outside the table builds as unknown.
    VuderuVASTMediaFileBuilder media;
    EXPECT_EQ(media.withMediaFileDeliveryType(2).build()->deliveryType(), 2);
    EXPECT_EQ(media.withMediaFileDeliveryType(7).build()->deliveryType(), 0);
    EXPECT_EQ(media.build()->url(), std::nullopt);
}

TEST(VuderuVASTModelTests, ALinearKeepsThePreviousLinearsClicksAndSharesItsTrackingMap) {
    auto tracking = std::make_shared<std::map<std::string, Urls>>();
    VuderuVASTLinearBuilder builder;
    builder.withLinearVideoClickAndUrl(VuderuVASTVideoClickThrough, "wrapper-through")
        .withLinearVideoClickAndUrl(VuderuVASTVideoCustomClick, "wrapper-custom");
    auto previous = builder.build(nullptr);
    builder.resetBuilder();
    builder.withLinearDuration(15)
        .withLinearTrackingEventMap(tracking)
        .withLinearVideoClickAndUrl(VuderuVASTVideoClickThrough, "first")
        .withLinearVideoClickAndUrl(VuderuVASTVideoClickThrough, "inline-through")
        .withLinearVideoClickAndUrl(VuderuVASTVideoClickTracking, "inline-tracking");
    auto linear = builder.build(previous);
    std::map<std::int64_t, std::string> clicks = {
        {1, "wrapper-through"}, {2, "inline-tracking"}, {3, "wrapper-custom"}};
    EXPECT_EQ(linear->videoClickDic(), clicks);
    EXPECT_EQ(linear->duration(), 15);
    EXPECT_EQ(linear->skipOffset(), 0);
    EXPECT_EQ(linear->mediaFile(), nullptr);
    // The map handed in is the record's own: URLs filed later show in it.
    (*tracking)["start"].push_back("s1");
    ASSERT_EQ(linear->trackingEventDic(), tracking);
    EXPECT_EQ(linear->trackingEventDic()->at("start"), Urls{"s1"});
    // Without a previous linear, the stored clicks alone.
    EXPECT_EQ(builder.build(nullptr)->videoClickDic().at(1), "inline-through");
}

TEST(VuderuVASTModelTests, ListsHandedToABuilderAreSharedByEveryRecordBuiltFromIt) {
    auto impressions = std::make_shared<Urls>(Urls{"i1"});
    auto creatives = std::make_shared<std::vector<VuderuVASTCreativePtr>>();
    VuderuVASTAdTypeBuilder builder;
    builder.withImpressionUrls(impressions).withCreatives(creatives).withAdFormatType(VuderuVASTAdFormatWrapper);
    auto first = builder.build();
    auto second = builder.withAdFormatType(VuderuVASTAdFormatInLine).build();
    impressions->push_back("i2");
    creatives->push_back(VuderuVASTCreativeBuilder().withCreativeId("c").build(nullptr));
    for (const auto& adType : {first, second}) {
        EXPECT_EQ(*adType->impressionUrls(), (Urls{"i1", "i2"}));
        EXPECT_EQ(adType->creatives()->size(), 1u);
        EXPECT_EQ(adType->errorUrls(), nullptr);
        EXPECT_EQ(adType->adSystem(), nullptr);
    }
    EXPECT_EQ(first->adFormatType(), VuderuVASTAdFormatWrapper);
    EXPECT_EQ(second->adFormatType(), VuderuVASTAdFormatInLine);
    builder.resetBuilder();
    EXPECT_EQ(builder.build()->impressionUrls(), nullptr);
    EXPECT_EQ(builder.build()->adFormatType(), VuderuVASTAdFormatNone);
}

// A manager with one ad whose first creative is complete; each mutation removes one step.
struct ManagerParts {
    std::optional<std::string> mediaUrl = "http://m/v.mp4";
    bool mediaFile = true, linear = true, creative = true, creativeList = true, adType = true, ad = true, adList = true;

    VuderuVASTManagerPtr build() const {
        auto tracking = std::make_shared<std::map<std::string, Urls>>();
        (*tracking)["firstQuartile"] = {"q1", "q2"};
        VuderuVASTMediaFileBuilder media;
        if (mediaUrl) media.withMediaFileUrl(*mediaUrl);
        VuderuVASTLinearBuilder linearBuilder;
        linearBuilder.withLinearTrackingEventMap(tracking).withLinearVideoClickAndUrl(VuderuVASTVideoClickThrough, "http://click");
        if (mediaFile) linearBuilder.withLinearMediaFile(media.build());
        VuderuVASTCreativeBuilder creativeBuilder;
        if (linear) creativeBuilder.withCreativeLinear(linearBuilder.build(nullptr));
        auto creatives = std::make_shared<std::vector<VuderuVASTCreativePtr>>();
        if (creative) creatives->push_back(creativeBuilder.build(nullptr));
        VuderuVASTAdTypeBuilder adTypeBuilder;
        adTypeBuilder.withImpressionUrls(std::make_shared<Urls>(Urls{"imp"})).withErrorUrls(std::make_shared<Urls>(Urls{"err"}));
        if (creativeList) adTypeBuilder.withCreatives(creatives);
        VuderuVASTAdBuilder adBuilder;
        if (adType) adBuilder.withAdType(adTypeBuilder.build());
        auto ads = std::make_shared<std::vector<VuderuVASTAdPtr>>();
        if (ad) ads->push_back(adBuilder.build());
        VuderuVASTManagerBuilder manager;
        manager.withVersion(2);
        if (adList) manager.withVuderuVASTAds(ads);
        return manager.build();
    }
};

TEST(VuderuVASTManagerTests, AnswersWalkTheFirstAdAndCreativeAndAreNilAtTheFirstMissingStep) {
    auto full = ManagerParts{}.build();
    EXPECT_EQ(full->version(), 2);
    EXPECT_EQ(full->getMediaFileUrl(), "http://m/v.mp4");
    EXPECT_EQ(*full->getImpressionUrls(), Urls{"imp"});
    EXPECT_EQ(*full->getErrorUrls(), Urls{"err"});
    EXPECT_EQ(full->getVideoClickUrl(VuderuVASTVideoClickThrough), "http://click");
    EXPECT_EQ(full->getVideoClickUrl(VuderuVASTVideoClickTracking), std::nullopt);
    EXPECT_EQ(full->getTrackingEventUrls(VuderuVASTTrackingEventFirstQuartile), (Urls{"q1", "q2"}));
    EXPECT_EQ(full->getTrackingEventUrls(VuderuVASTTrackingEventStart), std::nullopt);
    EXPECT_EQ(full->getTrackingEventUrls(17), std::nullopt);
    EXPECT_EQ(full->getTrackingEventUrls(-1), std::nullopt);

    struct Row {
        const char* missing;
        std::function<void(ManagerParts&)> remove;
        bool adTypeAnswers;  // impressions and errors still answer
        bool linearAnswers;  // clicks and tracking still answer
    };
    const Row rows[] = {
        {"media URL", [](ManagerParts& p) { p.mediaUrl.reset(); }, true, true},
        {"media file", [](ManagerParts& p) { p.mediaFile = false; }, true, true},
        {"linear", [](ManagerParts& p) { p.linear = false; }, true, false},
        {"creative", [](ManagerParts& p) { p.creative = false; }, true, false},
        {"creative list", [](ManagerParts& p) { p.creativeList = false; }, true, false},
        {"ad type", [](ManagerParts& p) { p.adType = false; }, false, false},
        {"ad", [](ManagerParts& p) { p.ad = false; }, false, false},
        {"ad list", [](ManagerParts& p) { p.adList = false; }, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.missing);
        ManagerParts parts;
        row.remove(parts);
        auto manager = parts.build();
        EXPECT_EQ(manager->getMediaFileUrl(), std::nullopt);
        EXPECT_EQ(manager->getImpressionUrls() != nullptr, row.adTypeAnswers);
        EXPECT_EQ(manager->getErrorUrls() != nullptr, row.adTypeAnswers);
        EXPECT_EQ(manager->getVideoClickUrl(VuderuVASTVideoClickThrough).has_value(), row.linearAnswers);
        EXPECT_EQ(manager->getTrackingEventUrls(VuderuVASTTrackingEventFirstQuartile).has_value(), row.linearAnswers);
    }
}

} // namespace

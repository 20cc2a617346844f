#include "sdk/ads/VuderuVASTUtil.h"
#include "sdk/ads/tests/VASTParserFixture.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

using VASTXMLParserUrls = std::vector<std::string>;
using vastdoc::cdata;
using vastdoc::element;

TEST_F(VASTParserTest, AVersionOneInLineAdRecordByRecord) {
    auto ad = onlyAd(vastdoc::document("1.0", {vastdoc::inlineAd("a1")}));
    ASSERT_NE(ad, nullptr);
    EXPECT_EQ(stored()->version(), 1);
    EXPECT_EQ(ad->adId(), "a1");
    EXPECT_EQ(ad->adSequence(), 0);
    const auto& adType = ad->adType();
    ASSERT_NE(adType, nullptr);
    EXPECT_EQ(adType->adFormatType(), VuderuVASTAdFormatInLine);
    EXPECT_EQ(adType->adTitle(), "A title");
    EXPECT_EQ(*adType->impressionUrls(), VASTXMLParserUrls{"http://t.example/imp?id=a1"});
    EXPECT_EQ(*adType->errorUrls(), VASTXMLParserUrls{"http://t.example/err?id=a1"});
    EXPECT_EQ(adType->vastAdTagURI(), "");
    ASSERT_NE(adType->adSystem(), nullptr);
    EXPECT_EQ(adType->adSystem()->value(), "Acme");
    EXPECT_EQ(adType->adSystem()->version(), "1.0");
    ASSERT_EQ(adType->creatives()->size(), 1u);
    const auto& creative = adType->creatives()->front();
    EXPECT_EQ(creative->cId(), "c1");
    EXPECT_EQ(creative->sequence(), 1);
    EXPECT_EQ(creative->depth(), 0);
    EXPECT_EQ(creative->creativeFormatType(), VuderuVASTCreativeFormatLinear);
    const auto& linear = creative->linear();
    ASSERT_NE(linear, nullptr);
    EXPECT_EQ(linear->duration(), 30);
    EXPECT_EQ(linear->skipOffset(), 0);
    std::map<std::string, VASTXMLParserUrls> tracking = {{"start", {"http://t.example/start?id=a1"}}, {"firstQuartile", {"http://t.example/q1?id=a1"}}};
    EXPECT_EQ(*linear->trackingEventDic(), tracking);
    std::map<std::int64_t, std::string> clicks = {{1, "http://click.example/a1"}, {2, "http://t.example/click?id=a1"}};
    EXPECT_EQ(linear->videoClickDic(), clicks);
    const auto& media = linear->mediaFile();
    ASSERT_NE(media, nullptr);
    EXPECT_EQ(media->mId(), "m1");
    EXPECT_EQ(media->url(), "http://media.example/a1.mp4");
    EXPECT_EQ(media->type(), "video/mp4");
    EXPECT_EQ(media->deliveryType(), VuderuVASTDeliveryTypeProgressive);
    EXPECT_EQ(media->bitRate(), 400);
    EXPECT_EQ(media->width(), 640);
    EXPECT_EQ(media->height(), 360);
    EXPECT_TRUE(media->scalable());
    EXPECT_TRUE(media->maintainAspectRatio());
    EXPECT_EQ(stored()->getVideoClickUrl(VuderuVASTVideoClickThrough), "http://click.example/a1");
    EXPECT_EQ(stored()->getTrackingEventUrls(VuderuVASTTrackingEventFirstQuartile), VASTXMLParserUrls{"http://t.example/q1?id=a1"});
}

TEST_F(VASTParserTest, AVersionThreeAdWithSkipOffsetSequencesAndApiFramework) {
    vastdoc::Ad a = vastdoc::inlineAd("v3");
    a.attributes = "id=\"v3\" sequence=\"2\"";
    a.creativeAttributes = "id=\"c7\" sequence=\"3\"";
    a.linear.attributes = "skipoffset=\"00:00:05\"";
    a.linear.mediaFiles = {{"id=\"vp\" apiFramework=\"VPAID\" type=\"video/mp4\" bitrate=\"250\" delivery=\"streaming\" scalable=\"no\"",
                            "http://media.example/vpaid.mp4"}};
    auto ad = onlyAd(vastdoc::document("3.0", {a}));
    ASSERT_NE(ad, nullptr);
    EXPECT_EQ(stored()->version(), 3);
    EXPECT_EQ(ad->adSequence(), 2);
    const auto& creative = ad->adType()->creatives()->front();
    EXPECT_EQ(creative->cId(), "c7");
    EXPECT_EQ(creative->sequence(), 3);
    EXPECT_EQ(creative->linear()->skipOffset(), 5);
    const auto& media = creative->linear()->mediaFile();
    ASSERT_NE(media, nullptr);
    EXPECT_EQ(media->apiFramework(), "VPAID");
    EXPECT_EQ(media->deliveryType(), VuderuVASTDeliveryTypeStreaming);
    EXPECT_FALSE(media->scalable());
    EXPECT_FALSE(media->maintainAspectRatio());
}

TEST_F(VASTParserTest, TheVersionAttributeDecidesAndAFailedParseStoresNothing) {
    struct Row {
        const char* version;
        int taken;  // 0: the parse fails
    } rows[] = {{"3.0", 3}, {"2", 2}, {"1.1", 1}, {"4.0", 0}, {"", 0}, {"0", 0}, {"two", 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.version);
        delegate_->outcomes.clear();
        std::string guid = std::string("v") + row.version;
        start(vastdoc::document(row.version, {vastdoc::inlineAd()}), guid);
        if (row.taken) {
            EXPECT_EQ(delegate_->outcomes, std::vector<std::string>{"success " + guid});
            ASSERT_NE(stored(guid), nullptr);
            EXPECT_EQ(stored(guid)->version(), row.taken);
        } else {
            EXPECT_EQ(delegate_->outcomes, std::vector<std::string>{"fail " + guid});
            EXPECT_EQ(stored(guid), nullptr);
        }
    }
    delegate_->outcomes.clear();
    start("<VAST version=\"2.0\"><Ad id=\"x\"><InLine></Ad></VAST>", "broken");
    EXPECT_EQ(delegate_->outcomes, std::vector<std::string>{"fail broken"});
    EXPECT_EQ(stored("broken"), nullptr);
    // Well formed without InLine or Wrapper: a manager without ads.
    delegate_->outcomes.clear();
    start("<VAST version=\"2.0\"></VAST>", "empty");
    EXPECT_EQ(delegate_->outcomes, std::vector<std::string>{"success empty"});
    ASSERT_NE(stored("empty"), nullptr);
    EXPECT_EQ(stored("empty")->getMediaFileUrl(), std::nullopt);
}

TEST_F(VASTParserTest, UrlsKeepEscapedAmpersandsAndComeThroughCDATA) {
    vastdoc::Ad a = vastdoc::inlineAd();
    a.impressions = {"a?x=1&amp;y=2", cdata("http://t.example/imp?a=1&b=2"), "\n   http://t.example/lined\n  "};
    a.errors = {cdata("http://t.example/err")};
    a.linear.duration = "\n  00:00:15\n";
    a.linear.tracking = {{"complete", cdata("http://t.example/done?x=<1>")}};
    a.linear.clicks = {{"ClickThrough", cdata("http://click.example/?q=1&r=2")}};
    a.linear.mediaFiles = {{"type=\"video/mp4\" bitrate=\"100\"", "\n  " + cdata("http://media.example/v.mp4") + "\n  "}};
    a.adSystem = element("AdSystem", "", cdata("CData System"));
    auto ad = onlyAd(vastdoc::document("2.0", {a}));
    ASSERT_NE(ad, nullptr);
    EXPECT_EQ(*ad->adType()->impressionUrls(), (VASTXMLParserUrls{"a?x=1&amp;y=2", "http://t.example/imp?a=1&b=2", "http://t.example/lined"}));
    EXPECT_EQ(*ad->adType()->errorUrls(), VASTXMLParserUrls{"http://t.example/err"});
    EXPECT_EQ(ad->adType()->adSystem()->value(), "CData System");
    const auto& linear = ad->adType()->creatives()->front()->linear();
    EXPECT_EQ(linear->duration(), 15);
    EXPECT_EQ(linear->trackingEventDic()->at("complete"), VASTXMLParserUrls{"http://t.example/done?x=<1>"});
    EXPECT_EQ(linear->videoClickDic().at(1), "http://click.example/?q=1&r=2");
    ASSERT_NE(linear->mediaFile(), nullptr);
    EXPECT_EQ(linear->mediaFile()->url(), "http://media.example/v.mp4");
}

TEST_F(VASTParserTest, TrackingAndMediaFilesOutsideTheirParentsAndTrackingWithoutEventAreIgnored) {
    vastdoc::Ad a = vastdoc::inlineAd();
    a.linear.tracking.push_back({"", "http://t.example/no-event"});
    // Stray elements in the Linear and in the InLine itself.
    std::string strays = element("Tracking", "event=\"start\"", "http://t.example/stray") +
                         element("MediaFile", "type=\"video/mp4\" bitrate=\"450\"", "http://media.example/stray.mp4");
    a.linear.duration = "00:00:30</Duration>" + strays + "<Duration>00:00:30";
    a.extra = strays;
    auto ad = onlyAd(vastdoc::document("2.0", {a}));
    ASSERT_NE(ad, nullptr);
    const auto& linear = ad->adType()->creatives()->front()->linear();
    std::map<std::string, VASTXMLParserUrls> tracking = {{"start", {"http://t.example/start?id=a1"}}, {"firstQuartile", {"http://t.example/q1?id=a1"}}};
    EXPECT_EQ(*linear->trackingEventDic(), tracking);
    EXPECT_EQ(linear->mediaFile()->url(), "http://media.example/a1.mp4");
    EXPECT_EQ(linear->duration(), 30);
    EXPECT_EQ(*ad->adType()->impressionUrls(), VASTXMLParserUrls{"http://t.example/imp?id=a1"});
}

TEST_F(VASTParserTest, AWrapperIsNotFetchedWhenWrappersAreNotFollowed) {
    auto parser = VuderuVASTXMLParser::initWithAdGUIDWithDelegate("g1", delegate_);
    parser->setFollowsWrappers(false);
    parser->parse(vastdoc::document("2.0", {vastdoc::wrapperAd("r", "http://127.0.0.1:1/next.xml")}));
    EXPECT_EQ(delegate_->outcomes, std::vector<std::string>{"fail g1"});
    EXPECT_EQ(parser->wrapperTask(), nullptr);
    EXPECT_EQ(stored(), nullptr);
}

TEST(VuderuVASTUtilTests, DurationsAndVersions) {
    struct Duration {
        std::optional<std::string> text;
        int seconds;
    } durations[] = {{"00:00:15", 15}, {"00:01:30.250", 90}, {"0:00:15", 0}, {std::nullopt, 0},
                     {"", 0},          {"at 01:00:00 or 02:00:00", 3600}, {"99:59:59", 359999}};
    for (const auto& d : durations) {
        SCOPED_TRACE(d.text.value_or("(nil)"));
        EXPECT_EQ(VuderuVASTUtil::determineIntDurationFromString(d.text), d.seconds);
    }
    struct Version {
        std::optional<std::string> text;
        int version;
    } versions[] = {
        {"<VAST version=\"2.0\">", 2},
        {"<?xml version=\"1.0\"?>\n<VAST version=\"3.0\"><Ad/></VAST>", 3},
        {"<VAST version=\"4.0\">", 0},
        {"<VAST version=\"\">", 0},
        // The group runs to the first `">`: its leading number still counts.
        {"<VAST version=\"2.0\" xmlns:x=\"y\">", 2},
        {"<VAST version=\"x\n<VAST version=\"1\">", 1},
        {"<VAST version=\"2.0\"", 0},
        {"<html>no ad</html>", 0},
        {std::nullopt, 0},
        {"<VAST version=\"" + std::string(100000, '2') + "\">", 0},
    };
    for (const auto& v : versions) {
        SCOPED_TRACE(v.text.value_or("(nil)").substr(0, 60));
        EXPECT_EQ(VuderuVASTUtil::detectVASTVersion(v.text), v.version);
    }
}

TEST(VuderuVASTUtilTests, TheMediaFileChosenIsTheRichestSmallMp4) {
    auto file = [](const std::string& id, const std::string& type, int bitRate, std::optional<std::string> url) {
        VuderuVASTMediaFileBuilder builder;
        builder.withMediaFileId(id).withMediaFileType(type).withMediaFileBitRate(bitRate);
        if (url) builder.withMediaFileUrl(*url);
        return builder.build();
    };
    using List = std::vector<VuderuVASTMediaFilePtr>;
    struct Row {
        const char* name;
        List files;
        const char* chosen;  // nullptr: none
    } rows[] = {
        {"the 500 one",
         {file("300", "video/mp4", 300, "http://m/a"), file("500", "video/mp4", 500, "http://m/b"), file("501", "video/mp4", 501, "http://m/c"),
          file("webm", "video/webm", 400, "http://m/d.webm")},
         "500"},
        {"the first on a tie", {file("first", "video/mp4", 500, "http://m/a"), file("second", "video/mp4", 500, "http://m/b")}, "first"},
        {"an mp4 path without the type", {file("typed", "video/mp4", 100, "http://m/a"), file("path", "", 200, "http://m/v.mp4?x=1")}, "path"},
        {"no URL", {file("nourl", "video/mp4", 100, std::nullopt)}, nullptr},
        {"none small enough", {file("big", "video/mp4", 900, "http://m/a")}, nullptr},
        {"empty", {}, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto chosen = VuderuVASTUtil::determineMediaFile(std::make_shared<List>(row.files));
        if (!row.chosen) {
            EXPECT_EQ(chosen, nullptr);
        } else {
            ASSERT_NE(chosen, nullptr);
            EXPECT_EQ(chosen->mId(), row.chosen);
        }
    }
    EXPECT_EQ(VuderuVASTUtil::determineMediaFile(nullptr), nullptr);
}

} // namespace

// A document is bounded in nesting and length, and each of its lists of URLs in count: a deep or
// long one fails (stores nothing), and URLs past a list's bound are dropped with a log line.
TEST_F(VASTParserTest, DeepLongAndUrlHeavyDocumentsAreBounded) {
    VuderuUtil::setLogLevel(2);
    std::string deep = "<VAST version=\"2.0\">";
    for (int i = 0; i < 1000000; ++i) deep += "<Ad>";
    const std::string longer = vastdoc::document("2.0", {vastdoc::inlineAd()}) + "<!--" +
                               std::string(VuderuVASTXMLParser::kMaxDocumentLength, 'x') + "-->";
    for (const std::string* document : std::vector<const std::string*>{&deep, &longer}) {
        delegate_->outcomes.clear();
        start(*document);
        EXPECT_EQ(delegate_->outcomes, std::vector<std::string>{"fail g1"});
        EXPECT_EQ(stored(), nullptr);
    }

    vastdoc::Ad a = vastdoc::inlineAd();
    a.impressions.clear();
    a.linear.tracking.clear();
    for (int i = 0; i < 5000; ++i) {
        a.impressions.push_back("http://t.example/i" + std::to_string(i));
        a.linear.tracking.push_back({"start", "http://t.example/s" + std::to_string(i)});
    }
    log_->clear();
    delegate_->outcomes.clear();
    auto ad = onlyAd(vastdoc::document("2.0", {a}));
    ASSERT_NE(ad, nullptr);
    ASSERT_EQ(ad->adType()->impressionUrls()->size(), VuderuVASTXMLParser::kMaxUrlsPerList);
    EXPECT_EQ(ad->adType()->impressionUrls()->front(), "http://t.example/i0");
    const auto& linear = ad->adType()->creatives()->front()->linear();
    EXPECT_EQ(linear->trackingEventDic()->at("start").size(), VuderuVASTXMLParser::kMaxUrlsPerList);
    std::size_t drops = 0;
    for (const auto& line : log_->lines()) drops += line.find("the rest are dropped") != std::string::npos ? 1 : 0;
    EXPECT_EQ(drops, 1u);
    VuderuUtil::setLogLevel(1);
}

// A document whose document type declares an entity is refused at that declaration: an entity of
// 50,000 bytes referenced 1,900 times in a document under the length bound is never expanded, and
// nothing is stored.
TEST_F(VASTParserTest, ADocumentDeclaringAnEntityIsRefused) {
    VuderuUtil::setLogLevel(2);
    vastdoc::Ad ad = vastdoc::inlineAd();
    ad.title.clear();
    for (int i = 0; i < 1900; ++i) ad.title += "&e;";
    std::string document = vastdoc::document("2.0", {ad});
    const std::size_t root = document.find("<VAST");
    document.insert(root, "<!DOCTYPE VAST [<!ENTITY e \"" + std::string(50000, 'e') + "\">]>\n");
    document += "<!--" + std::string(1042329 - document.size() - 7, ' ') + "-->";
    ASSERT_LT(document.size(), VuderuVASTXMLParser::kMaxDocumentLength);
    start(document);
    EXPECT_EQ(delegate_->outcomes, std::vector<std::string>{"fail g1"});
    EXPECT_EQ(stored(), nullptr);
    std::size_t refusals = 0;
    for (const auto& line : log_->lines()) refusals += line.find("declares the entity \"e\" in the internal subset") != std::string::npos ? 1 : 0;
    EXPECT_EQ(refusals, 1u);
    VuderuUtil::setLogLevel(1);
}

// The ad manager's media-asset queries: a frame's media URL from its VAST document or its video
// display, a unit's from its first frame that has one.

#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuVASTBuilders.h"

#include <gtest/gtest.h>

namespace {

VuderuAdFramePtr frame(const std::string& guid, std::int32_t binding, const std::string& display) {
    auto made = std::make_shared<VuderuAdFrame>();
    made->setAdLogGUID(guid);
    made->setBinding(binding);
    made->setDisplay(display);
    return made;
}

// A parsed VAST document whose first linear creative has the given media URL (none: no media file).
VuderuVASTManagerPtr vastDocument(std::optional<std::string> mediaUrl) {
    VuderuVASTLinearBuilder linear;
    if (mediaUrl) {
        VuderuVASTMediaFileBuilder media;
        media.withMediaFileUrl(*mediaUrl);
        linear.withLinearMediaFile(media.build());
    }
    VuderuVASTCreativeBuilder creative;
    creative.withCreativeLinear(linear.build(nullptr));
    VuderuVASTAdTypeBuilder adType;
    adType.withCreatives(std::make_shared<std::vector<VuderuVASTCreativePtr>>(std::vector<VuderuVASTCreativePtr>{creative.build(nullptr)}));
    VuderuVASTAdBuilder ad;
    ad.withAdType(adType.build());
    VuderuVASTManagerBuilder manager;
    manager.withVersion(2).withVuderuVASTAds(std::make_shared<std::vector<VuderuVASTAdPtr>>(std::vector<VuderuVASTAdPtr>{ad.build()}));
    return manager.build();
}

} // namespace

TEST(VuderuAdManagerAssets, MediaUrlsOfFramesAndUnits) {
    auto manager = VuderuAdManager::instance();
    manager->setVastManagerForAdGuid("vast", vastDocument("http://m/v.mp4"));
    manager->setVastManagerForAdGuid("vast-without-media", vastDocument(std::nullopt));
    struct Case {
        const char* name;
        VuderuAdFramePtr frame;
        std::optional<std::string> url;
    };
    const Case cases[] = {
        {"video display", frame("g1", VuderuAdFrame::kVideo, "http://d/a.mp4"), "http://d/a.mp4"},
        {"web page", frame("g2", VuderuAdFrame::kWebPage, "http://d/page.html"), std::nullopt},
        {"VAST document", frame("vast", VuderuAdFrame::kHTML, "ignored"), "http://m/v.mp4"},
        {"VAST document without media", frame("vast-without-media", VuderuAdFrame::kVideo, "http://d/b.mp4"), std::nullopt},
        {"none", nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(VuderuAdManager::getMediaAssetUrlFromAdFrame(c.frame), c.url);
    }
    auto unit = std::make_shared<VuderuAdUnit>();
    unit->addAdFrame(frame("g2", VuderuAdFrame::kWebPage, "http://d/page.html"));
    EXPECT_EQ(VuderuAdManager::getMediaAssetUrlFromAdUnit(unit), std::nullopt);
    unit->addAdFrame(frame("g3", VuderuAdFrame::kVideo, "http://d/second.mp4"));
    unit->addAdFrame(frame("vast", VuderuAdFrame::kVideo, "http://d/third.mp4"));
    EXPECT_EQ(VuderuAdManager::getMediaAssetUrlFromAdUnit(unit), "http://d/second.mp4");
    EXPECT_EQ(VuderuAdManager::getMediaAssetUrlFromAdUnit(nullptr), std::nullopt);
}

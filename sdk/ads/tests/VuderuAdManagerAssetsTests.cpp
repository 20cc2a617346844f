// The ad manager's media-asset queries: a frame's media URL from its VAST document or its video
// display, a unit's from its first frame that has one.

#include "DynamicFakes.h"
#include "sdk/ads/VuderuAdManager.h"

#include <gtest/gtest.h>

namespace {

VuderuAdFramePtr frame(const std::string& guid, std::int32_t binding, const std::string& display) {
    auto made = std::make_shared<VuderuAdFrame>();
    made->setAdLogGUID(guid);
    made->setBinding(binding);
    made->setDisplay(display);
    return made;
}

} // namespace

TEST(VuderuAdManagerAssets, MediaUrlsOfFramesAndUnits) {
    auto manager = VuderuAdManager::instance();
    manager->setVastManagerForAdGuid("vast", std::make_shared<FakeDynamicObject>(std::map<std::string, Value>{{"getMediaFileUrl", "http://m/v.mp4"}}));
    manager->setVastManagerForAdGuid("vast-without-media", std::make_shared<FakeDynamicObject>(std::map<std::string, Value>{{"getMediaFileUrl", Value()}}));
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

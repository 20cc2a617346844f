#include "sdk/adviews/tests/PluginFixture.h"

namespace {

class SizedPlugin : public VuderuAdNetworkBasePlugin {
public:
    UIViewPtr banner;
    UIViewPtr currentBanner() const override { return banner; }

protected:
    std::vector<CGSize> makeSupportedAdSizes() const override { return {{728, 90}, {468, 60}, {320, 50}, {300, 250}}; }
};

class BasePluginTest : public PluginTest {
protected:
    std::shared_ptr<SizedPlugin> plugin_ = std::make_shared<SizedPlugin>();
};

TEST_F(BasePluginTest, TheFirstListedSizeThatFitsWins) {
    struct Case {
        CGSize parent;
        CGSize chosen;
    };
    const Case cases[] = {
        {{320, 50}, {320, 50}},  {{320, 250}, {320, 50}}, {{1024, 768}, {728, 90}}, {{300, 250}, {300, 250}},
        {{200, 50}, {0, 0}},     {{320, 0}, {320, 0}},    {{0, 0}, {0, 0}},
    };
    for (const Case& c : cases) {
        auto parent = std::make_shared<UIView>(CGRect{{0, 0}, c.parent});
        EXPECT_EQ(plugin_->getBannerDimensions(parent), c.chosen) << NSStringFromCGSize(c.parent);
    }
    EXPECT_TRUE(logged("Mappped to AdSize: 320.000000 x 50.000000"));
}

TEST_F(BasePluginTest, WithoutADelegateNoSizeFits) {
    VuderuAds::setAdDelegate(nullptr);
    EXPECT_EQ(plugin_->getBannerDimensions(std::make_shared<UIView>(CGRectMake(0, 0, 320, 50))), CGSizeZero);
    EXPECT_TRUE(logged("VuderuZidUvov BasePlugin getBannerDimensions: delegate does not exist"));
}

TEST_F(BasePluginTest, APluginServesOneViewUntilThatViewsSpaceIsCleanedUp) {
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 320, 50));
    auto top = makeConnector("top");
    auto bottom = makeConnector("bottom");
    EXPECT_TRUE(plugin_->getAdViewParentViewShowTakeoverAdContainer("top", parent, false, top));
    EXPECT_FALSE(plugin_->getAdViewParentViewShowTakeoverAdContainer("bottom", parent, false, bottom));
    EXPECT_TRUE(logged("Inline ad currently active, not satisfying this request."));
    EXPECT_FALSE(plugin_->getAdViewParentViewShowTakeoverAdContainer("bottom", parent, true, bottom));
    EXPECT_TRUE(logged("Interstitial currently active, not satisfying this request."));
    EXPECT_EQ(plugin_->adContainer(), top);
    EXPECT_FALSE(plugin_->interstitial());

    plugin_->cleanupAdView("bottom");
    EXPECT_EQ(plugin_->adContainer(), top);
    plugin_->cleanupAdView("top");
    EXPECT_EQ(plugin_->adContainer(), nullptr);
    EXPECT_TRUE(plugin_->getAdViewParentViewShowTakeoverAdContainer("bottom", parent, true, bottom));
    EXPECT_TRUE(plugin_->interstitial());
}

TEST_F(BasePluginTest, BannersArePlacedByTheLayoutsAlignment) {
    struct Case {
        const char* alignment;
        bool holderInAdView;
        CGRect adView;
        CGRect holderBefore;
        CGRect holder;
        CGRect banner;
    };
    const Case cases[] = {
        // The holder sits in the ad-space view: aligned there, the banner centred in it.
        {.alignment = "b-c", .holderInAdView = true, .adView = CGRectMake(0, 0, 400, 100), .holderBefore = CGRectMake(0, 0, 400, 100),
         .holder = CGRectMake(40, 50, 320, 50), .banner = CGRectMake(0, 0, 320, 50)},
        {.alignment = "t-l", .holderInAdView = true, .adView = CGRectMake(0, 0, 400, 100), .holderBefore = CGRectMake(0, 0, 400, 100),
         .holder = CGRectMake(0, 0, 320, 50), .banner = CGRectMake(0, 0, 320, 50)},
        // Without "-" both letters are absent: centred.
        {.alignment = "b", .holderInAdView = true, .adView = CGRectMake(0, 0, 400, 100), .holderBefore = CGRectMake(0, 0, 400, 100),
         .holder = CGRectMake(40, 25, 320, 50), .banner = CGRectMake(0, 0, 320, 50)},
        // A view narrower than the banner keeps its own width.
        {.alignment = "t-r", .holderInAdView = true, .adView = CGRectMake(0, 0, 300, 100), .holderBefore = CGRectMake(0, 0, 300, 100),
         .holder = CGRectMake(0, 0, 300, 50), .banner = CGRectMake(-10, 0, 320, 50)},
        // A holder elsewhere takes the centred rectangle in its superview's terms.
        {.alignment = "b-c", .holderInAdView = false, .adView = CGRectMake(0, 0, 400, 100), .holderBefore = CGRectMake(10, 20, 400, 100),
         .holder = CGRectMake(50, 45, 320, 50), .banner = CGRectMake(0, 0, 320, 50)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.alignment) + (c.holderInAdView ? " inside" : " outside"));
        auto adView = makeConnector("space", c.adView);
        adView->setAlignment(c.alignment);
        auto outside = std::make_shared<UIView>(CGRectMake(0, 0, 1000, 1000));
        auto holder = std::make_shared<UIView>(c.holderBefore);
        (c.holderInAdView ? static_cast<UIView&>(*adView) : *outside).addSubview(holder);
        auto plugin = std::make_shared<SizedPlugin>();
        plugin->getAdViewParentViewShowTakeoverAdContainer("space", holder, false, adView);
        auto banner = std::make_shared<UIView>(CGRectMake(0, 0, 320, 50));
        plugin->addBannerViewIntoHolderView(banner, holder);
        EXPECT_EQ(holder->frame(), c.holder) << NSStringFromCGRect(holder->frame());
        EXPECT_EQ(banner->frame(), c.banner) << NSStringFromCGRect(banner->frame());
        EXPECT_EQ(banner->superview(), holder);
        EXPECT_EQ(banner->autoresizingMask(), 45u);
    }
}

TEST_F(BasePluginTest, AdjustingPlacesThePluginsBannerAgain) {
    auto adView = makeConnector("space", CGRectMake(0, 0, 400, 100));
    adView->setAlignment("t-l");
    auto holder = std::make_shared<UIView>(CGRectMake(0, 0, 400, 100));
    adView->addSubview(holder);
    plugin_->getAdViewParentViewShowTakeoverAdContainer("space", holder, false, adView);
    plugin_->adjustAdBannerFrame();  // no banner: nothing to do
    plugin_->banner = std::make_shared<UIView>(CGRectMake(0, 0, 320, 50));
    holder->addSubview(plugin_->banner);
    plugin_->adjustAdBannerFrame();
    EXPECT_EQ(holder->frame(), CGRectMake(0, 0, 320, 50));
    EXPECT_EQ(plugin_->banner->frame(), CGRectMake(0, 0, 320, 50));
}

TEST_F(BasePluginTest, TheBaseAnswersNoneOfTheNetworksQuestions) {
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 320, 50));
    EXPECT_FALSE(plugin_->adIsAvailableParentViewOrientation("space", parent, 1));
    EXPECT_FALSE(plugin_->viewIsBannerWithSpace(parent, "space"));
    EXPECT_FALSE(plugin_->respondsToSelector("adViewDidReceiveAd:"));
}

} // namespace

// The full-screen controller's in-app browser slot: which browser a page gets, what it is
// presented on, reuse for a later page, and removal.

#include "sdk/adviews/tests/TakeoverAdFixture.h"

#include "platform/testsupport/LoopbackHTTPServer.h"
#include "sdk/adviews/VuderuAdExternalViewController.h"

namespace {

using AdFullscreenBrowserLines = std::vector<std::string>;

// An ad that records what the browser asks of it; modal when it has a parent controller.
class RecordingLinkAd : public IVuderuAd, public IVuderuAdExternalViewConnector {
public:
    AdFullscreenBrowserLines calls;
    std::shared_ptr<UIViewController> parent;
    VuderuAdUnitPtr activeAdUnit() const override { return nullptr; }
    bool isGuidActive(const std::string&) const override { return false; }
    bool readyForDisplay() const override { return true; }
    std::string adSpaceName() const override { return "space"; }
    std::shared_ptr<UIViewController> parentViewController() const override { return parent; }
    void showLoadingView() override { calls.push_back("showLoadingView"); }
    void removeLoadingView() override { calls.push_back("removeLoadingView"); }
    void setActivelyRespondingToAction(bool value) override { calls.push_back(std::string("responding ") + (value ? "YES" : "NO")); }
    bool openAppUrlFromExWebView(const NSURLPtr&, bool) override { return false; }
    void externalAdViewDidCloseDismissAd(bool dismiss) override { calls.push_back(std::string("closed dismiss=") + (dismiss ? "YES" : "NO")); }
};

class FullscreenBrowserTest : public TakeoverTest {
protected:
    void SetUp() override {
        TakeoverTest::SetUp();
        server.route("/page.html", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/html"}}, "<html><body>Page</body></html>"));
    }
    void TearDown() override {
        server.stop();
        TakeoverTest::TearDown();
    }
    NSURLRequestPtr page() { return NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/page.html"))); }
    // Opens the page and waits until the browser reports it loaded.
    bool open(const std::shared_ptr<RecordingLinkAd>& ad) {
        ad->calls.clear();
        EXPECT_TRUE(fullscreen->showFullscreenViewForAdWithRequest(ad, page()));
        return runMainUntil([&] { return std::count(ad->calls.begin(), ad->calls.end(), "removeLoadingView") == 1; });
    }

    LoopbackHTTPServer server;
    std::shared_ptr<VuderuAdFullscreenController> fullscreen = VuderuAdFullscreenController::instance();
    std::shared_ptr<RecordingLinkAd> ad = std::make_shared<RecordingLinkAd>();
};

TEST_F(FullscreenBrowserTest, AModalAdsPageIsPresentedOnTheHostAndALaterPageReusesTheBrowser) {
    ad->parent = host;
    ASSERT_TRUE(open(ad));
    auto browser = std::dynamic_pointer_cast<VuderuAdExternalViewController>(fullscreen->extAdViewController());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->parentVC(), host);
    EXPECT_EQ(host->presentedViewController(), browser);
    EXPECT_EQ(ad->calls, (AdFullscreenBrowserLines{"showLoadingView", "responding YES", "responding NO", "removeLoadingView"}));

    ASSERT_TRUE(open(ad));
    EXPECT_EQ(fullscreen->extAdViewController(), browser) << "reused, not made again";
    EXPECT_EQ(host->presentedViewController(), browser);
    EXPECT_EQ(server.requestCount(), 2u);

    fullscreen->removeExtAdWindow();
    drainMain();
    EXPECT_EQ(fullscreen->extAdViewController(), nullptr);
    EXPECT_EQ(host->presentedViewController(), nullptr) << "dismissed on removal";
}

// A page opened from a modal takeover goes over the takeover, which already covers the host.
TEST_F(FullscreenBrowserTest, APageOpenedOverAModalTakeoverIsPresentedOnTheTakeover) {
    auto takeoverAd = RecordingTakeoverAd::make("takeover", CGSizeMake(320, 568));
    takeoverAd->parent = host;
    ASSERT_TRUE(fullscreen->showFullscreenViewForAd(takeoverAd));
    auto takeover = std::dynamic_pointer_cast<UIViewController>(fullscreen->adViewController());
    ASSERT_TRUE(takeover);
    ASSERT_EQ(host->presentedViewController(), takeover);

    ad->parent = host;
    ASSERT_TRUE(open(ad));
    auto browser = std::dynamic_pointer_cast<VuderuAdExternalViewController>(fullscreen->extAdViewController());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->parentVC(), takeover);
    EXPECT_EQ(takeover->presentedViewController(), browser);
    EXPECT_EQ(host->presentedViewController(), takeover);

    fullscreen->removeWindows();
    drainMain();
    EXPECT_EQ(host->presentedViewController(), nullptr);
    EXPECT_EQ(fullscreen->extAdViewController(), nullptr);
    EXPECT_EQ(fullscreen->adViewController(), nullptr);
}

TEST_F(FullscreenBrowserTest, AnAdShownInPlaceGetsABrowserWindowWatchingTheBrowserView) {
    ASSERT_TRUE(open(ad));
    auto browser = std::dynamic_pointer_cast<VuderuAdExternalWindowBasedViewController>(fullscreen->extAdViewController());
    ASSERT_TRUE(browser);
    EXPECT_EQ(host->presentedViewController(), nullptr);
    auto window = VuderuAdExternalWindowBasedViewController::browserWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(window->viewToObserve(), browser->extAdView());
    EXPECT_EQ(window->controllerThatObserves(), browser->extAdView());
    EXPECT_FALSE(window->forwardTap(CGPointMake(10, 100))) << "the browser takes no taps of its own";

    ASSERT_TRUE(open(ad));
    EXPECT_EQ(fullscreen->extAdViewController(), browser);
    EXPECT_EQ(VuderuAdExternalWindowBasedViewController::browserWindow(), window);

    fullscreen->removeExtAdWindow();
    EXPECT_EQ(fullscreen->extAdViewController(), nullptr);
    EXPECT_EQ(VuderuAdExternalWindowBasedViewController::browserWindow(), nullptr);
    EXPECT_TRUE(window->isHidden());
    EXPECT_TRUE(app->isKeyWindow());
}

} // namespace

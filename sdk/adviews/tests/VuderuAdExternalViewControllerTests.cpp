// The in-app browser's controllers against a recording ad and a loopback server.

#include "sdk/adviews/VuderuAdExternalViewController.h"

#include "platform/device/Driver.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

class RecordingBrowserAd : public IVuderuAd, public IVuderuAdExternalViewConnector {
public:
    Lines calls;
    bool takesOver = false;
    VuderuAdUnitPtr activeAdUnit() const override { return nullptr; }
    bool isGuidActive(const std::string&) const override { return false; }
    bool readyForDisplay() const override { return true; }
    std::string adSpaceName() const override { return "space"; }
    void showLoadingView() override { calls.push_back("showLoadingView"); }
    void removeLoadingView() override { calls.push_back("removeLoadingView"); }
    void setActivelyRespondingToAction(bool value) override { calls.push_back(std::string("responding ") + (value ? "YES" : "NO")); }
    bool openAppUrlFromExWebView(const NSURLPtr& url, bool) override {
        calls.push_back("openAppUrl " + url->path());
        return takesOver;
    }
    void externalAdViewDidCloseDismissAd(bool dismiss) override { calls.push_back(std::string("closed dismiss=") + (dismiss ? "YES" : "NO")); }
};

class ExternalControllerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        server.route("/page.html", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/html"}}, "<html><body>Page</body></html>"));
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window->setRootViewController(host);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        server.stop();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
    NSURLRequestPtr request(const std::string& path) { return NSURLRequest::requestWithURL(NSURL::URLWithString(server.url(path))); }
    bool loaded() { return std::find(ad->calls.begin(), ad->calls.end(), "removeLoadingView") != ad->calls.end(); }

    LoopbackHTTPServer server;
    std::shared_ptr<RecordingBrowserAd> ad = std::make_shared<RecordingBrowserAd>();
    std::shared_ptr<UIViewController> host = std::make_shared<UIViewController>();
    std::shared_ptr<UIWindow> window;
    Driver driver;
};

TEST_F(ExternalControllerTest, TheModalBrowserIsPresentedOnceLoadedAndHidesTheStatusBarWhileItExists) {
    auto application = UIApplication::sharedApplication();
    application->setStatusBarHidden(false);
    auto browser = VuderuAdExternalViewController::initWithAdRequest(ad, request("/page.html"));
    browser->setParentVC(host);
    EXPECT_TRUE(application->isStatusBarHidden());
    EXPECT_EQ(host->presentedViewController(), nullptr);
    ASSERT_TRUE(runMainUntil([&] { return loaded(); }));
    EXPECT_EQ(host->presentedViewController(), browser);
    EXPECT_EQ(ad->calls, (Lines{"showLoadingView", "responding YES", "openAppUrl /page.html", "responding NO", "removeLoadingView"}));
    // "back" on the first page returns to the ad, "close" dismisses it too.
    ad->calls.clear();
    browser->extAdView()->goBackBrowsing();
    browser->extAdView()->closeBrowsing(true);
    EXPECT_EQ(ad->calls, (Lines{"closed dismiss=NO", "closed dismiss=YES"}));
    browser->removeWindow();
    drainMain();
    EXPECT_EQ(host->presentedViewController(), nullptr);
    EXPECT_TRUE(application->isStatusBarHidden());
    browser = nullptr;
    EXPECT_FALSE(application->isStatusBarHidden());
}

TEST_F(ExternalControllerTest, ALinkTheAdTakesOverLoadsNothingAndItsFailureShowsNoAlert) {
    ad->takesOver = true;
    auto browser = VuderuAdExternalViewController::initWithAdRequest(ad, request("/page.html"));
    drainMain();
    EXPECT_TRUE(browser->openingAppUrl());
    browser->vuderuAdExternalWebViewDidFailLoad(*browser->extAdView());
    EXPECT_TRUE(UIApplication::sharedApplication()->visibleAlerts().empty());
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(ExternalControllerTest, AFailedPageOffersContinueBackToTheAd) {
    auto browser = VuderuAdExternalViewController::initWithAdRequest(ad, NSURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1:1/")));
    ASSERT_TRUE(runMainUntil([&] { return !UIApplication::sharedApplication()->visibleAlerts().empty(); }));
    auto alert = UIApplication::sharedApplication()->visibleAlerts().back();
    EXPECT_EQ(alert->title(), "");
    EXPECT_EQ(alert->message(), "Unable to load URL. Please try later.");
    ad->calls.clear();
    EXPECT_EQ(driver.execute("press Continue"), "");
    EXPECT_EQ(ad->calls, (Lines{"closed dismiss=NO", "responding NO"}));
}

TEST_F(ExternalControllerTest, TheBrowserWindowIsHiddenUntilEachPageLoads) {
    auto browser = VuderuAdExternalWindowBasedViewController::initWithAdRequest(ad, request("/page.html"));
    auto browserWindow = VuderuAdExternalWindowBasedViewController::browserWindow();
    ASSERT_NE(browserWindow, nullptr);
    EXPECT_EQ(browserWindow->windowLevel(), UIWindowLevelStatusBar + 2);
    EXPECT_TRUE(browserWindow->isHidden());
    ASSERT_TRUE(runMainUntil([&] { return loaded(); }));
    EXPECT_FALSE(browserWindow->isHidden());
    EXPECT_EQ(UIApplication::sharedApplication()->keyWindow(), browserWindow);

    ad->calls.clear();
    browser->loadAdWithRequest(ad, request("/page.html"));
    EXPECT_EQ(VuderuAdExternalWindowBasedViewController::browserWindow(), browserWindow);
    EXPECT_TRUE(browserWindow->isHidden());
    ASSERT_TRUE(runMainUntil([&] { return loaded(); }));
    EXPECT_FALSE(browserWindow->isHidden());

    browser->removeWindow();
    EXPECT_EQ(VuderuAdExternalWindowBasedViewController::browserWindow(), nullptr);
    EXPECT_TRUE(browserWindow->isHidden());
    EXPECT_EQ(UIApplication::sharedApplication()->keyWindow(), window);
}

} // namespace

// The in-app browser's view on the manual clock, against a loopback server and a recording
// controller.

#include "sdk/adviews/VuderuAdExternalWebView.h"

#include "platform/device/Driver.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

using AdExternalWebViewLines = std::vector<std::string>;

class RecordingBrowserController : public VuderuAdExternalWebViewDelegate {
public:
    AdExternalWebViewLines calls;
    bool takesOver = false;
    void vuderuAdExternalWebViewDidCloseWithResult(VuderuAdExternalWebView&, std::int32_t result) override {
        calls.push_back("close " + std::to_string(result));
    }
    bool vuderuAdExternalWebViewOpenAppUrl(VuderuAdExternalWebView&, const NSURLPtr& url) override {
        calls.push_back("openAppUrl " + (url ? url->path() : std::string()));
        return takesOver;
    }
    void vuderuAdExternalWebViewDidFinishLoad(VuderuAdExternalWebView&) override { calls.push_back("finished"); }
    void vuderuAdExternalWebViewDidFailLoad(VuderuAdExternalWebView&) override { calls.push_back("failed"); }
};

class ExternalWebViewTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        server.route("/page.html", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/html"}}, "<html><body>Page</body></html>"));
        server.route("/slow.html", LoopbackHTTPServer::silent());
        browser = VuderuAdExternalWebView::initWithDelegate(controller);
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window->setRootViewController(std::make_shared<UIViewController>());
        window->rootViewController()->view()->addSubview(browser);
        window->makeKeyAndVisible();
        VuderuUtil::setLogLevel(2);
    }
    void TearDown() override {
        VuderuUtil::setLogLevel(1);
        browser = nullptr;
        server.stop();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
    void load(const std::string& path) {
        browser->webView()->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url(path))));
        drainMain();
    }
    int timeouts() const {
        auto lines = log_->lines();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](auto& l) {
            return l.find("didn't finish loading within time limit") != std::string::npos;
        }));
    }

    ManualClock clock;
    LoopbackHTTPServer server;
    std::shared_ptr<RecordingBrowserController> controller = std::make_shared<RecordingBrowserController>();
    std::shared_ptr<VuderuAdExternalWebView> browser;
    std::shared_ptr<UIWindow> window;
};

TEST_F(ExternalWebViewTest, APageThatNeverLoadsIsStoppedEightSecondsAfterTheFirstStart) {
    load("/slow.html");
    ASSERT_TRUE(browser->timing());
    clock.advance(6);
    // A further load starting within the page (a frame's) does not move the time-out.
    browser->webViewDidStartLoad(*browser->webView());
    clock.advance(1.9);
    EXPECT_EQ(timeouts(), 0);
    clock.advance(0.1);
    EXPECT_EQ(timeouts(), 1);
    EXPECT_FALSE(browser->timing());
    EXPECT_FALSE(browser->webView()->isLoading());
}

TEST_F(ExternalWebViewTest, BackFromTheBackgroundRestartsFiveSecondsOnce) {
    load("/slow.html");
    clock.advance(3);
    UIApplicationMoveToBackground();
    EXPECT_FALSE(browser->timing());
    clock.advance(20);
    EXPECT_EQ(timeouts(), 0);
    UIApplicationMoveToForeground();
    ASSERT_TRUE(browser->timing());
    clock.advance(4.9);
    EXPECT_EQ(timeouts(), 0);
    clock.advance(0.1);
    EXPECT_EQ(timeouts(), 1);
    // Once: a later return without a cut-short time-out starts none.
    UIApplicationMoveToBackground();
    UIApplicationMoveToForeground();
    EXPECT_FALSE(browser->timing());
}

TEST_F(ExternalWebViewTest, BackOnTheFirstPageLeavesWithZeroAndCloseWithOne) {
    load("/page.html");
    ASSERT_TRUE(runMainUntil([&] { return !controller->calls.empty() && controller->calls.back() == "finished"; }));
    EXPECT_FALSE(browser->timing());
    Driver driver;
    auto screen = driver.screen();
    EXPECT_NE(screen.find("bar: \"\" | left: [back] | right: [close]"), std::string::npos) << screen;
    EXPECT_EQ(driver.execute("tap back"), "");
    EXPECT_EQ(driver.execute("tap close"), "");
    EXPECT_EQ(controller->calls, (AdExternalWebViewLines{"openAppUrl /page.html", "finished", "close 0", "close 1"}));
}

TEST_F(ExternalWebViewTest, ALinkTheAdTakesOverLoadsNothing) {
    controller->takesOver = true;
    load("/page.html");
    drainMain();
    EXPECT_EQ(controller->calls, AdExternalWebViewLines{"openAppUrl /page.html"});
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_FALSE(browser->timing());
}

TEST_F(ExternalWebViewTest, TheTimeOutGoesWithTheView) {
    load("/slow.html");
    std::weak_ptr<VuderuAdExternalWebView> weak = browser;
    browser->removeFromSuperview();
    browser = nullptr;
    EXPECT_EQ(weak.lock(), nullptr);
    clock.advance(9);
    EXPECT_EQ(timeouts(), 0);
}

} // namespace

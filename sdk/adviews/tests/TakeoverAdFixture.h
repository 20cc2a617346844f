#pragma once
// A recording ad for the full-screen controllers: one unit with one frame (layout, binding and
// ad type set by the test), a real web view loaded by the web view loader, the host controller
// it is shown over when modal, and every call the controllers make written down.

#include "platform/device/Driver.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/adviews/VuderuAdFullscreenController.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"

#include <gtest/gtest.h>

class RecordingTakeoverAd : public IVuderuAd, public IVuderuAdWebViewLoaderConnector {
public:
    std::string spaceName = "space";
    VuderuAdUnitPtr unit;
    VuderuAdFramePtr frame;
    std::shared_ptr<VuderuAdWebViewLoader> loader;
    std::shared_ptr<UIViewController> parent;
    bool mraid = false;
    std::int64_t orientation = 1;
    std::vector<std::string> calls;

    ~RecordingTakeoverAd() override {
        if (loader) loader->invalidate();
    }

    VuderuAdUnitPtr activeAdUnit() const override { return unit; }
    bool isGuidActive(const std::string&) const override { return false; }
    bool readyForDisplay() const override { return true; }
    std::string adSpaceName() const override { return spaceName; }
    std::shared_ptr<UIWebView> webView() const override { return loader ? loader->webView() : nullptr; }
    std::int64_t initialOrientation() const override { return orientation; }
    std::shared_ptr<UIViewController> parentViewController() const override { return parent; }
    bool mraidAdLoaded() const override { return mraid; }
    bool processMRAIDCloseEvent() override {
        calls.push_back("processMRAIDCloseEvent");
        return true;
    }
    void removeTakeoverWindows() override {
        calls.push_back("removeTakeoverWindows");
        VuderuAdFullscreenController::instance()->removeWindows();
    }
    void removeAd() override { calls.push_back("removeAd"); }

    // An ad whose frame has this layout format, binding and unit ad type (1: not a video), its
    // page loaded into a web view of the given size.
    static std::shared_ptr<RecordingTakeoverAd> make(const std::string& format, CGSize size, std::int32_t binding = 2,
                                                     std::int32_t adType = 1, const std::string& body = "<p>ad</p>") {
        auto ad = std::make_shared<RecordingTakeoverAd>();
        ad->unit = std::make_shared<VuderuAdUnit>();
        ad->unit->setAdType(adType);
        ad->frame = std::make_shared<VuderuAdFrame>();
        auto layout = std::make_shared<VuderuAdSpaceLayout>();
        layout->setFormat(format);
        ad->frame->setBinding(binding);
        ad->frame->setAdSpaceLayout(layout);
        ad->unit->addAdFrame(ad->frame);
        ad->loader = VuderuAdWebViewLoader::initWithAd(ad);
        bool loaded = false;
        ad->loader->setAdLoadCompleteHandler([&loaded] { loaded = true; });
        ad->loader->loadHTMLDisablePreRendering("<html><body>" + body + "</body></html>", false);
        EXPECT_TRUE(runMainUntil([&] { return loaded; }));
        ad->loader->setAdLoadCompleteHandler(nullptr);
        ad->webView()->setFrame(CGRectMake(0, 0, size.width, size.height));
        return ad;
    }
};

// The application's window (white over its whole screen, with a root controller to present on),
// a driver, and the full-screen controller emptied after each test.
class TakeoverTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        host = std::make_shared<UIViewController>();
        app = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        app->setBackgroundColor(UIColor::colorWithRed(0, 0.5, 1, 1));
        app->setRootViewController(host);
        app->makeKeyAndVisible();
    }
    void TearDown() override {
        VuderuAdFullscreenController::instance()->removeWindows();
        UIApplication::sharedApplication()->reset();
        DeviceProfile::reset();
        DeviceTest::TearDown();
    }
    // "R G B A" of the pixel at the point, as the driver reads it.
    std::string pixel(int x, int y) {
        EXPECT_TRUE(driver.pixel(std::to_string(x) + "," + std::to_string(y))) << driver.lastError();
        auto said = driver.lastSaid();
        auto colon = said.find(": ");
        return colon == std::string::npos ? said : said.substr(colon + 2);
    }

    Driver driver;
    std::shared_ptr<UIViewController> host;
    std::shared_ptr<UIWindow> app;
};

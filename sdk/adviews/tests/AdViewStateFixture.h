#pragma once
// A banner on a 320x568 key window: a host view, the ad view at (10, 500, 300, 50) carrying the
// tag 7, and a real web view filling the ad. The recording ad and the host's ad delegate write
// every call into one list, so that tests read their order.

#include "platform/foundation/arc4random.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"
#include "platform/web/UIWebView.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/adviews/VuderuAdViewState.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using CallLog = std::vector<std::string>;

class RecordingStateAd : public IVuderuAdViewStateOwner {
public:
    explicit RecordingStateAd(CallLog& log) : log_(log) {}
    std::shared_ptr<UIView> view;
    std::shared_ptr<UIWebView> web;
    std::weak_ptr<VuderuAdViewState> state;

    VuderuAdUnitPtr activeAdUnit() const override { return nullptr; }
    bool isGuidActive(const std::string&) const override { return false; }
    bool readyForDisplay() const override { return true; }
    std::string adSpaceName() const override { return "banner"; }
    std::shared_ptr<UIView> adView() const override { return view; }
    std::shared_ptr<UIWebView> webView() const override { return web; }

    void reportCurrentViewStateToAd() override {
        auto s = state.lock();
        log_.push_back("report " + std::to_string(s ? s->currentViewState() : 99));
    }
    void alwaysSetFrame(const CGRect& frame) override {
        log_.push_back("alwaysSetFrame");
        view->setFrame(frame);
    }

private:
    CallLog& log_;
};

class RecordingHost : public VuderuAdDelegate {
public:
    explicit RecordingHost(CallLog& log) : log_(log) {}
    void spaceWillExpand(const std::string& space) override { log_.push_back("spaceWillExpand " + space); }
    void spaceWillCollapse(const std::string& space) override { log_.push_back("spaceWillCollapse " + space); }
    void spaceDidCollapse(const std::string& space) override { log_.push_back("spaceDidCollapse " + space); }

private:
    CallLog& log_;
};

class AdViewStateTest : public DeviceTest {
public:
    static constexpr long kParentTag = 7;
    const CGRect kAdFrame = CGRectMake(10, 500, 300, 50);
    const CGRect kWebFrame = CGRectMake(0, 0, 300, 50);

    void SetUp() override {
        DeviceTest::SetUp();
        calls.clear();
        UIApplication::sharedApplication()->reset();
        clock = std::make_unique<ManualClock>();
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window->makeKeyAndVisible();
        host = std::make_shared<UIView>(window->bounds());
        window->addSubview(host);
        ad = std::make_shared<RecordingStateAd>(calls);
        ad->view = std::make_shared<UIView>(kAdFrame);
        ad->view->setTag(kParentTag);
        ad->web = std::make_shared<UIWebView>(kWebFrame);
        ad->view->addSubview(ad->web);
        host->addSubview(ad->view);
        state = VuderuAdViewState::initWithAd(ad);
        ad->state = state;
        delegate = std::make_shared<RecordingHost>(calls);
        VuderuAds::setAdDelegate(delegate);
    }

    void TearDown() override {
        state.reset();
        VuderuAds::setAdDelegate(nullptr);
        PlatformRandom::setSource({});
        DeviceProfile::reset();
        clock.reset();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    // Runs the request and lets its animation end.
    void expand(const VuderuAdViewState::Params& params = {}) {
        state->processExpandAction(params);
        clock->advance(0.5);
    }
    void collapse() {
        state->processCollapseAction();
        clock->advance(0.5);
    }
    void setOrientation(long orientation) {
        DeviceProfile::update([&](DeviceProfile& p) { p.orientation = static_cast<UIDeviceOrientation>(orientation); });
    }

    CallLog calls;
    std::unique_ptr<ManualClock> clock;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIView> host;
    std::shared_ptr<RecordingStateAd> ad;
    std::shared_ptr<RecordingHost> delegate;
    VuderuAdViewStatePtr state;
};

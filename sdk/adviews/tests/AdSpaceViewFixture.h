#pragma once
// The ad-space view's test bed: a key window 320x480 whose root view hosts the ads, a host
// delegate that writes down every callback, ad units built from short frame descriptions, and
// the events each frame's ad log received.

#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/adviews/VuderuAd.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdCallback.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/ads/VuderuAdLog.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class RecordingHostDelegate : public VuderuAdDelegate {
public:
    std::vector<std::string> calls;
    void spaceDidReceiveAd(const std::string& s) override { calls.push_back("spaceDidReceiveAd(" + s + ")"); }
    void spaceDidFailToReceiveAdError(const std::string& s, const NSErrorPtr& e) override {
        calls.push_back("spaceDidFailToReceiveAd(" + s + "," + std::to_string(e ? e->code() : 0) + ")");
    }
    void spaceDidRenderInterstitial(const std::string& s, bool i) override { calls.push_back("spaceDidRender(" + s + "," + yes(i) + ")"); }
    void spaceDidFailToRenderError(const std::string& s, const NSErrorPtr& e) override {
        calls.push_back("spaceDidFailToRender(" + s + "," + std::to_string(e ? e->code() : 0) + ")");
    }
    void spaceWillDismissInterstitial(const std::string& s, bool i) override { calls.push_back("spaceWillDismiss(" + s + "," + yes(i) + ")"); }
    void spaceDidDismissInterstitial(const std::string& s, bool i) override { calls.push_back("spaceDidDismiss(" + s + "," + yes(i) + ")"); }
    void spaceWillLeaveApplication(const std::string& s) override { calls.push_back("spaceWillLeaveApplication(" + s + ")"); }
    void spaceWillExpand(const std::string& s) override { calls.push_back("spaceWillExpand(" + s + ")"); }
    void spaceWillCollapse(const std::string& s) override { calls.push_back("spaceWillCollapse(" + s + ")"); }
    void spaceDidCollapse(const std::string& s) override { calls.push_back("spaceDidCollapse(" + s + ")"); }
    void spaceDidReceiveClick(const std::string& s) override { calls.push_back("spaceDidReceiveClick(" + s + ")"); }
    void videoDidFinish(const std::string& s) override { calls.push_back("videoDidFinish(" + s + ")"); }
    void videoDidNotFinish(const std::string& s) override { calls.push_back("videoDidNotFinish(" + s + ")"); }

private:
    static std::string yes(bool b) { return b ? "YES" : "NO"; }
};

// One frame: its GUID, binding, layout format and display text, and its callbacks per event.
struct FrameDescription {
    std::string guid;
    std::int32_t binding = VuderuAdFrame::kHTML;
    std::string format = "banner";
    std::string display = "<html><body>ad</body></html>";
    std::vector<std::pair<std::string, std::vector<std::string>>> callbacks = {};
};

class AdSpaceViewTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        // The view is tested here, not the ad server: a refill the manager starts goes nowhere.
        VuderuAdCache::setFetchStarter([](const std::shared_ptr<VuderuAdCache>&, const Value&) {});
        UIApplication::sharedApplication()->reset();
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
        root = std::make_shared<UIViewController>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        host = root->view();
        delegate = std::make_shared<RecordingHostDelegate>();
        VuderuAds::setAdDelegate(delegate);
    }
    void TearDown() override {
        for (const auto& space : {"space", "other"}) VuderuAdManager::instance()->deRegisterAdForSpace(space);
        for (const auto& pending : VuderuAdManager::instance()->pendingAdArray()) VuderuAdManager::instance()->removePendingAd(pending);
        ads.clear();
        VuderuAds::setAdDelegate(nullptr);
        VuderuAdCache::setFetchStarter(nullptr);
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    static VuderuAdFramePtr makeFrame(const FrameDescription& described) {
        auto frame = std::make_shared<VuderuAdFrame>();
        frame->setAdLogGUID(described.guid);
        frame->setBinding(described.binding);
        frame->setDisplay(described.display);
        auto layout = std::make_shared<VuderuAdSpaceLayout>();
        layout->setFormat(described.format);
        layout->setAdWidth(320);
        layout->setAdHeight(described.format == "takeover" ? 480 : 50);
        layout->setFix("width");
        layout->setAlignment("b-c");
        frame->setAdSpaceLayout(layout);
        for (const auto& [event, actions] : described.callbacks) setCallback(frame, event, actions);
        return frame;
    }
    static void setCallback(const VuderuAdFramePtr& frame, const std::string& event, std::vector<std::string> actions) {
        auto table = frame->adCallbacks() ? frame->adCallbacks() : std::make_shared<VuderuAdCallbackTable>();
        auto callback = std::make_shared<VuderuAdCallback>();
        callback->setEvent(event);
        callback->setActions(std::move(actions));
        (*table)[event] = callback;
        frame->setAdCallbacks(table);
    }
    static VuderuAdUnitPtr makeUnit(const std::vector<FrameDescription>& frames) {
        auto unit = std::make_shared<VuderuAdUnit>();
        unit->setAdType(VuderuAdUnit::kAdTypeNonVideo);
        unit->setPreRender(true);
        for (const auto& described : frames) unit->addAdFrame(makeFrame(described));
        return unit;
    }
    // A view in the host's root view for the space, holding the units.
    VuderuAdPtr makeAd(const std::vector<VuderuAdUnitPtr>& units, const std::string& space = "space") {
        auto ad = VuderuAd::initWithViewContainerAdSpace(host, space);
        for (const auto& unit : units) ad->addAdUnit(unit);
        ads.push_back(ad);
        return ad;
    }
    // The names of the events the frame's ad log received, in order.
    static std::vector<std::string> events(const std::string& guid) {
        std::vector<std::string> names;
        if (auto log = AdLogManager::instance()->getAdLog(guid))
            for (const auto& event : log->adEvents()) names.push_back(event->eventName());
        return names;
    }
    static bool hasEvent(const std::string& guid, const std::string& name) {
        auto all = events(guid);
        return std::find(all.begin(), all.end(), name) != all.end();
    }
    // Loads the ad's active frame and waits until the view is ready for display.
    void prepareUntilReady(const VuderuAdPtr& ad) {
        NSErrorPtr error;
        ASSERT_TRUE(ad->prepareAdForDisplay(&error)) << (error ? error->localizedDescription() : "");
        ASSERT_TRUE(runMainUntil([&] { return ad->readyForDisplay(); }));
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIViewController> root;
    std::shared_ptr<UIView> host;
    std::shared_ptr<RecordingHostDelegate> delegate;
    std::vector<VuderuAdPtr> ads;
};

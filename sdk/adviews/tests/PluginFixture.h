#pragma once
// Plugins against a recording ad-space view: a UIView whose connector calls are written down,
// a host delegate whose network keys and root controller the test sets, log level 2 and a
// manual clock.

#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/adviews/IVuderuAdNetworkConnector.h"
#include "sdk/adviews/VuderuAdNetworkBasePlugin.h"
#include "sdk/adviews/VuderuAdNetworkPluginManager.h"
#include "sdk/adviews/testsupport/KeyAnsweringAdDelegate.h"
#include "sdk/adviews/tests/TestCustomNetwork.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/analytics/VuderuUtil.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class RecordingConnector : public UIView, public IVuderuAdNetworkConnector {
public:
    RecordingConnector(std::string space, std::vector<std::string>& calls) : space_(std::move(space)), calls_(calls) {
        frame_ = std::make_shared<VuderuAdFrame>();
        frame_->setAdSpaceLayout(std::make_shared<VuderuAdSpaceLayout>());
    }
    // What the view does when a plugin reports a failure: the ad-space view drops the plugin.
    std::function<void()> onFailure;
    std::shared_ptr<UIViewController> controller;

    void prepareView() override { note("prepareView"); }
    void processRendered() override { note("processRendered"); }
    bool processRenderFailureSendReport(const NSErrorPtr& error, bool sendReport) override {
        note("processRenderFailure " + (error ? error->localizedDescription() + " " : std::string()) + (sendReport ? "YES" : "NO"));
        if (onFailure) onFailure();
        return false;
    }
    bool processAdNetworkErrorAfterAdRendered() override {
        note("processAdNetworkErrorAfterAdRendered");
        if (onFailure) onFailure();
        return true;
    }
    void processClick() override { note("processClick"); }
    void externalAdDidClose() override { note("externalAdDidClose"); }
    void reportCurrentViewStateToAdAsExpanded() override { note("viewState expanded"); }
    void reportCurrentViewStateToAdAsDefault() override { note("viewState default"); }
    std::string space() const override { return space_; }
    std::shared_ptr<UIViewController> parentViewController() const override { return controller; }
    VuderuAdFramePtr adFrame() const override { return frame_; }
    void setAlignment(const std::string& alignment) { frame_->adSpaceLayout()->setAlignment(alignment); }

private:
    void note(const std::string& call) { calls_.push_back(space_ + ": " + call); }
    std::string space_;
    std::vector<std::string>& calls_;
    VuderuAdFramePtr frame_;
};

class RecordingAdDelegate : public KeyAnsweringAdDelegate {
public:
    explicit RecordingAdDelegate(std::vector<std::string>& calls) : calls_(calls) {}
    std::map<std::string, std::string> keys;
    std::shared_ptr<UIViewController> root;

    void spaceWillExpand(const std::string& space) override { calls_.push_back("delegate spaceWillExpand " + space); }
    void spaceWillCollapse(const std::string& space) override { calls_.push_back("delegate spaceWillCollapse " + space); }
    void spaceDidCollapse(const std::string& space) override { calls_.push_back("delegate spaceDidCollapse " + space); }
    void spaceWillLeaveApplication(const std::string& space) override { calls_.push_back("delegate spaceWillLeaveApplication " + space); }
    void spaceWillDismissInterstitial(const std::string& space, bool interstitial) override {
        calls_.push_back("delegate spaceWillDismiss " + space + (interstitial ? " YES" : " NO"));
    }
    void spaceDidDismissInterstitial(const std::string& space, bool interstitial) override {
        calls_.push_back("delegate spaceDidDismiss " + space + (interstitial ? " YES" : " NO"));
    }

    std::optional<std::shared_ptr<UIViewController>> zidUvovRootViewController() override {
        if (!root) return std::nullopt;
        return root;
    }

protected:
    Key answerKey(const std::string& name) override {
        auto found = keys.find(name);
        return found == keys.end() ? Key() : Key(found->second);
    }

private:
    std::vector<std::string>& calls_;
};

class PluginTest : public DeviceTest {
protected:
    // Every test starts from the built-in networks, no request made yet, and the host network's
    // first answers.
    void SetUp() override {
        DeviceTest::SetUp();
        VuderuAdNetworkPluginManager::cleanup();
        testNetwork().reset();
        VuderuUtil::setLogLevel(2);
        clock_ = std::make_unique<ManualClock>(1000000);
        delegate_ = std::make_shared<RecordingAdDelegate>(calls_);
        VuderuAds::setAdDelegate(delegate_);
    }
    void TearDown() override {
        VuderuAds::setAdDelegate(nullptr);
        VuderuAdNetworkPluginManager::cleanup();
        testNetwork().reset();
        clock_.reset();
        DeviceTest::TearDown();
    }
    std::shared_ptr<RecordingConnector> makeConnector(const std::string& space, CGRect frame = CGRectMake(0, 0, 320, 50)) {
        auto view = std::make_shared<RecordingConnector>(space, calls_);
        view->setFrame(frame);
        return view;
    }
    bool logged(const std::string& text) const { return log_->contains(text); }

    std::vector<std::string> calls_;
    std::shared_ptr<RecordingAdDelegate> delegate_;
    std::unique_ptr<ManualClock> clock_;
};

#pragma once
// Plugins driving the outside-SDK stand-ins: every stand-in class registered, a key window
// whose root controller presents interstitials, and the journal read line by line.

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/adviews/VuderuAdNetworkPluginManager.h"
#include "sdk/adviews/testsupport/AdNetworkStandIns.h"
#include "sdk/adviews/tests/PluginFixture.h"
#include "sdk/ads/VuderuAdManager.h"

#include <algorithm>

class StandInTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        AdNetworkStandIns::reset();
        AdNetworkStandIns::registerAll();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
        root_ = std::make_shared<UIViewController>();
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
        VuderuAdManager::instance()->setRvc(root_);
        parent_ = std::make_shared<UIView>(CGRectMake(0, 0, 320, 50));
        window_->addSubview(parent_);
    }
    void TearDown() override {
        AdNetworkStandIns::unregisterAll();
        AdNetworkStandIns::reset();
        PluginTest::TearDown();
    }

    // A plugin of the network bound to a new view of the space; nil when the manager or the
    // plugin refused.
    VuderuAdNetworkBasePluginPtr request(const std::string& network, bool takeover = false, const std::string& space = "space") {
        auto plugin = VuderuAdNetworkPluginManager::getPluginForSpace(network, space);
        if (!plugin) return nullptr;
        view_ = makeConnector(space);
        if (!plugin->adIsAvailableParentViewOrientation(space, parent_, 1)) return nullptr;
        if (!plugin->getAdViewParentViewShowTakeoverAdContainer(space, parent_, takeover, view_)) return nullptr;
        return plugin;
    }
    void render(const VuderuAdNetworkBasePluginPtr& plugin, bool takeover = false) {
        plugin->renderAdViewParentViewShowTakeoverAdContainer(view_->space(), parent_, takeover, view_);
    }
    // The journal lines that begin with the prefix (a class name, say).
    static std::vector<std::string> journal(const std::string& prefix = "") {
        std::vector<std::string> lines;
        for (const auto& line : AdNetworkStandIns::journal())
            if (line.rfind(prefix, 0) == 0) lines.push_back(line);
        return lines;
    }
    static bool journalHas(const std::string& line) {
        auto all = AdNetworkStandIns::journal();
        return std::find(all.begin(), all.end(), line) != all.end();
    }
    void fire(const std::string& network, const std::string& callback) {
        std::string reason;
        EXPECT_TRUE(AdNetworkStandIns::fireCallback(network, callback, &reason)) << reason;
    }
    // Presses the "Close" button of the interstitial the root presents.
    bool closeInterstitial() {
        auto shown = root_->presentedViewController();
        if (!shown) return false;
        for (const auto& subview : shown->view()->subviews()) {
            auto button = std::dynamic_pointer_cast<UIButton>(subview);
            if (button && button->titleForState(UIControlStateNormal) == "Close") {
                button->sendActionsForControlEvents(UIControlEventTouchUpInside);
                drainMain();
                return true;
            }
        }
        return false;
    }

    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UIViewController> root_;
    UIViewPtr parent_;
    std::shared_ptr<RecordingConnector> view_;
};

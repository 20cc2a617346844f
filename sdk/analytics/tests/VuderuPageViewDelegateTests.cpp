#include "platform/foundation/NSLog.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITabBarController.h"
#include "sdk/analytics/Vuderu.h"
#include "sdk/analytics/VuderuPageViewDelegate.h"
#include "sdk/analytics/tests/VuderuSenderFixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace sender_fixture;

struct HostDelegate : NSObject, UINavigationControllerDelegate, UITabBarControllerDelegate {
    int shown = 0;
    int selected = 0;
    int customizing = 0;
    bool allow = true;
    void navigationControllerDidShowViewControllerAnimated(UINavigationController&, const std::shared_ptr<UIViewController>&, bool) override {
        ++shown;
    }
    bool tabBarControllerShouldSelectViewController(UITabBarController&, const std::shared_ptr<UIViewController>&) override { return allow; }
    void tabBarControllerDidSelectViewController(UITabBarController&, const std::shared_ptr<UIViewController>&) override { ++selected; }
    void tabBarControllerWillBeginCustomizingViewControllers(UITabBarController&, const std::vector<std::shared_ptr<UIViewController>>&) override {
        ++customizing;
    }
    void tabBarControllerWillEndCustomizingViewControllersChanged(UITabBarController&, const std::vector<std::shared_ptr<UIViewController>>&,
                                                                  bool) override {
        ++customizing;
    }
    void tabBarControllerDidEndCustomizingViewControllersChanged(UITabBarController&, const std::vector<std::shared_ptr<UIViewController>>&,
                                                                 bool) override {
        ++customizing;
    }
};

class VuderuPageViewDelegateTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        PlatformClock::setManual(1767225600.0);
        launch("http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kPath);
        navigation_ = UINavigationController::initWithRootViewController(std::make_shared<UIViewController>());
        tabs_ = std::make_shared<UITabBarController>();
        tabs_->setViewControllers({std::make_shared<UIViewController>(), std::make_shared<UIViewController>()});
    }
    void TearDown() override {
        VuderuPageViewDelegate::destroyDelegateOnTarget(navigation_);
        VuderuPageViewDelegate::destroyDelegateOnTarget(tabs_);
        endLaunch();
        VuderuUtil::setLogLevel(1);
        VuderuGlobalVariableStorage::cleanup();
        PlatformClock::setAutomatic();
        DeviceTest::TearDown();
    }
    // Page views are a second apart here, so each one counts; the queue has counted on return.
    void push() {
        PlatformClock::advance(1);
        navigation_->pushViewControllerAnimated(std::make_shared<UIViewController>(), false);
        pageViews();
    }
    void select(std::size_t index) {
        PlatformClock::advance(1);
        tabs_->tabBarDidSelectItemAtIndex(index);
        pageViews();
    }
    static int pageViews() { return VuderuImpl::instance()->pageViewCount(); }

    std::shared_ptr<UINavigationController> navigation_;
    std::shared_ptr<UITabBarController> tabs_;
};

TEST_F(VuderuPageViewDelegateTest, OnlyNavigationAndTabBarControllersAreProxied) {
    auto plain = std::make_shared<UIViewController>();
    Vuderu::logAllPageViewsForTarget(plain);
    Vuderu::logAllPageViewsForTarget(nullptr);
    Vuderu::logAllPageViews(nullptr);
    Vuderu::logAllPageViewsForTarget(navigation_);
    EXPECT_NE(std::dynamic_pointer_cast<VuderuPageViewDelegate>(navigation_->delegate()), nullptr);
}

TEST_F(VuderuPageViewDelegateTest, WithoutAHostDelegateShownAndSelectedControllersCount) {
    Vuderu::logAllPageViewsForTarget(navigation_);
    Vuderu::logAllPageViewsForTarget(tabs_);
    push();
    push();
    select(1);
    select(1);
    EXPECT_EQ(tabs_->selectedIndex(), 1u);
    EXPECT_EQ(pageViews(), 4) << "every did-select counts, whatever was selected before";
}

TEST_F(VuderuPageViewDelegateTest, TheHostDelegateGetsEveryCallAndAnswersShouldSelect) {
    auto host = std::make_shared<HostDelegate>();
    tabs_->setDelegate(host);
    Vuderu::logAllPageViewsForTarget(tabs_);
    host->allow = false;
    select(1);
    EXPECT_EQ(tabs_->selectedIndex(), 0u);
    EXPECT_EQ(pageViews(), 0) << "should-select never counts";
    host->allow = true;
    select(1);
    EXPECT_EQ(host->selected, 1);
    EXPECT_EQ(pageViews(), 1);
}

TEST_F(VuderuPageViewDelegateTest, ADelegateAssignedLaterIsAdoptedAndTheProxyStays) {
    Vuderu::logAllPageViewsForTarget(navigation_);
    auto proxy = navigation_->delegate();
    auto later = std::make_shared<HostDelegate>();
    navigation_->setDelegate(later);
    EXPECT_EQ(navigation_->delegate(), proxy);
    // The proxy itself, or the delegate it holds: the proxy stays in the slot.
    navigation_->setDelegate(proxy);
    navigation_->setDelegate(later);
    EXPECT_EQ(navigation_->delegate(), proxy);
    push();
    EXPECT_EQ(later->shown, 1);
    EXPECT_EQ(pageViews(), 1);

    Vuderu::stopLogPageViewsForTarget(navigation_);
    EXPECT_EQ(navigation_->delegate(), later);
    push();
    EXPECT_EQ(later->shown, 2);
    EXPECT_EQ(pageViews(), 1) << "no counting once removed";
    Vuderu::stopLogPageViewsForTarget(navigation_);
    EXPECT_EQ(navigation_->delegate(), later);
}

// A second registration, by either class, is ignored: no proxy passes calls to another.
TEST_F(VuderuPageViewDelegateTest, ASecondRegistrationIsIgnored) {
    auto host = std::make_shared<HostDelegate>();
    navigation_->setDelegate(host);
    Vuderu::logAllPageViewsForTarget(navigation_);
    auto proxy = navigation_->delegate();
    Vuderu::logAllPageViewsForTarget(navigation_);
    Vuderu::logAllPageViews(navigation_);
    EXPECT_EQ(navigation_->delegate(), proxy);
    push();
    EXPECT_EQ(host->shown, 1);
    EXPECT_EQ(pageViews(), 1);
}

// The lines name the delegate calls pass on to, and print a customizing call's controllers as the
// array they are.
TEST_F(VuderuPageViewDelegateTest, LogLinesShowTheDelegateAndTheCustomizedControllers) {
    VuderuUtil::setLogLevel(2);
    NSLogCapture log;
    Vuderu::logAllPageViewsForTarget(navigation_);
    EXPECT_TRUE(log.contains("VuderuPageViewDelegate: delegate[(null)] created"));
    auto host = std::make_shared<HostDelegate>();
    tabs_->setDelegate(host);
    Vuderu::logAllPageViewsForTarget(tabs_);
    EXPECT_TRUE(log.contains("VuderuPageViewDelegate: delegate[" + host->description() + "] created"));

    auto proxy = tabs_->delegate();
    const auto controllers = tabs_->viewControllers();
    ASSERT_EQ(controllers.size(), 2u);
    const std::string array = "(\n    " + controllers[0]->description() + ",\n    " + controllers[1]->description() + "\n)";
    const std::string tabBar = "VuderuPageViewDelegate: tabBarController [" + tabs_->description() + "], ";
    const struct {
        std::function<void()> call;
        std::string line;
    } cases[] = {
        {[&] { proxy->tabBarControllerWillBeginCustomizingViewControllers(*tabs_, controllers); }, tabBar + "viewController [" + array + "]"},
        {[&] { proxy->tabBarControllerWillEndCustomizingViewControllersChanged(*tabs_, controllers, true); },
         tabBar + "viewController [" + array + "], changed [1]"},
        {[&] { proxy->tabBarControllerDidEndCustomizingViewControllersChanged(*tabs_, controllers, false); },
         tabBar + "viewControllers [" + array + "], changed [0]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        log.clear();
        c.call();
        EXPECT_TRUE(log.contains(c.line));
    }
    EXPECT_EQ(host->customizing, 3) << "each passed on";
    EXPECT_EQ(pageViews(), 0) << "customizing never counts";

    Vuderu::stopLogPageViewsForTarget(tabs_);
    EXPECT_TRUE(log.contains("VuderuPageViewDelegate: delegate[" + host->description() + "] destroyed"));
}

TEST_F(VuderuPageViewDelegateTest, TheOldProxyKeepsTheDelegateItFound) {
    auto host = std::make_shared<HostDelegate>();
    tabs_->setDelegate(host);
    Vuderu::logAllPageViews(tabs_);
    std::weak_ptr<HostDelegate> weak = host;
    host.reset();
    ASSERT_FALSE(weak.expired()) << "retained by the old proxy";
    select(1);
    EXPECT_EQ(weak.lock()->selected, 1);
    EXPECT_EQ(pageViews(), 1);
}

} // namespace

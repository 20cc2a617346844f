#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITabBarController.h"
#include "sdk/analytics/Vuderu.h"
#include "sdk/analytics/VuderuPageViewDelegate.h"
#include "sdk/analytics/tests/VuderuSenderFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace sender_fixture;

struct HostDelegate : NSObject, UINavigationControllerDelegate, UITabBarControllerDelegate {
    int shown = 0;
    int selected = 0;
    bool allow = true;
    void navigationControllerDidShowViewControllerAnimated(UINavigationController&, const std::shared_ptr<UIViewController>&, bool) override {
        ++shown;
    }
    bool tabBarControllerShouldSelectViewController(UITabBarController&, const std::shared_ptr<UIViewController>&) override { return allow; }
    void tabBarControllerDidSelectViewController(UITabBarController&, const std::shared_ptr<UIViewController>&) override { ++selected; }
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

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
class NavigationTest : public ::testing::Test {
protected:
    void SetUp() override {
        UIApplication::sharedApplication()->reset();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        root_ = std::make_shared<UIViewController>();
        root_->setTitle("Root");
        nav_ = UINavigationController::initWithRootViewController(root_);
        window_->setRootViewController(nav_);
        window_->makeKeyAndVisible();
        window_->layoutIfNeeded();
    }
    void TearDown() override {
        UINavigationController::removeHooks();
        UIViewController::removeContentSizeHooks();
        UIApplication::sharedApplication()->reset();
    }
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UIViewController> root_;
    std::shared_ptr<UINavigationController> nav_;
};
} // namespace

TEST_F(NavigationTest, ContentSizesAreObservable) {
    std::vector<std::string> notices;
    auto c = std::make_shared<UIViewController>();
    c->addObserverForKeyPath("preferredContentSize", [&](const std::string& key, bool) { notices.push_back(key); });
    c->addObserverForKeyPath("contentSizeForViewInPopover", [&](const std::string& key, bool) { notices.push_back(key); });
    c->setPreferredContentSize({320, 480});
    c->setContentSizeForViewInPopover({200, 100});
    EXPECT_EQ(c->preferredContentSize(), CGSizeMake(320, 480));
    EXPECT_EQ(c->contentSizeForViewInPopover(), CGSizeMake(200, 100));
    EXPECT_EQ(notices, (std::vector<std::string>{"preferredContentSize", "contentSizeForViewInPopover"}));
    EXPECT_FALSE(c->isModalInPopover());
    EXPECT_EQ(c->edgesForExtendedLayout(), UIRectEdgeAll);
}

TEST_F(NavigationTest, HooksRunAroundPushSetAndSizesOfEveryController) {
    std::vector<std::string> journal;
    // As a popover embeds a navigation controller: pushed controllers pass their size up.
    UINavigationController::addPushHook([&](UINavigationController& nav, const std::shared_ptr<UIViewController>& pushed,
                                             bool, const std::function<void()>& original) {
        journal.push_back("before push of " + pushed->title() + " onto " + std::to_string(nav.viewControllers().size()));
        pushed->setEdgesForExtendedLayout(UIRectEdgeNone);
        original();
        nav.setPreferredContentSize(pushed->preferredContentSize());
        journal.push_back("after push: " + std::to_string(nav.viewControllers().size()));
    });
    UINavigationController::addSetViewControllersHook(
        [&](UINavigationController&, const std::vector<std::shared_ptr<UIViewController>>& controllers, bool,
            const std::function<void()>& original) {
            journal.push_back("set " + std::to_string(controllers.size()));
            original();
        });
    UIViewController::addPreferredContentSizeHook(
        [](UIViewController& c, CGSize size, const std::function<void(CGSize)>& original) {
            original(size);
            auto nav = c.navigationController();
            if (nav && &c != nav.get()) nav->setPreferredContentSize(size);
        });
    auto pushed = std::make_shared<UIViewController>();
    pushed->setTitle("Pushed");
    pushed->setPreferredContentSize({300, 200});
    nav_->pushViewControllerAnimated(pushed, false);
    EXPECT_EQ(nav_->topViewController(), pushed);
    EXPECT_EQ(pushed->edgesForExtendedLayout(), UIRectEdgeNone);
    EXPECT_EQ(nav_->preferredContentSize(), CGSizeMake(300, 200));
    // A child that changes its size later passes it up too.
    pushed->setPreferredContentSize({300, 400});
    EXPECT_EQ(nav_->preferredContentSize(), CGSizeMake(300, 400));
    nav_->setViewControllersAnimated({root_}, false);
    // Popping to the root is not a set-view-controllers call.
    nav_->pushViewControllerAnimated(pushed, false);
    nav_->popToRootViewControllerAnimated(false);
    EXPECT_EQ(journal, (std::vector<std::string>{"before push of Pushed onto 1", "after push: 2", "set 1",
                                                 "before push of Pushed onto 1", "after push: 2"}));
}

TEST_F(NavigationTest, TheBarHidesAndItsItemsHaveViews) {
    EXPECT_EQ(root_->view()->frame(), CGRectMake(0, 64, 320, 504));
    nav_->setNavigationBarHiddenAnimated(true, true);
    EXPECT_TRUE(nav_->isNavigationBarHidden());
    EXPECT_TRUE(nav_->navigationBar()->isHidden());
    EXPECT_EQ(root_->view()->frame(), CGRectMake(0, 0, 320, 568));
    UIScreenDescription hidden;
    hidden.describeWindow(window_);
    EXPECT_EQ(hidden.text().find("nav:"), std::string::npos) << hidden.text();
    nav_->setNavigationBarHidden(false);
    EXPECT_EQ(root_->view()->frame(), CGRectMake(0, 64, 320, 504));

    int pressed = 0;
    auto target = std::make_shared<NSObject>();
    auto item = UIBarButtonItem::initWithTitle("Edit", UIBarButtonItemStylePlain, target,
                                               [&](NSObject&, UIBarButtonItem&) { ++pressed; });
    EXPECT_FALSE(item->view());
    root_->navigationItem()->setRightBarButtonItem(item);
    nav_->view()->setNeedsLayout();
    window_->layoutIfNeeded();
    auto view = item->view();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->superview(), nav_->navigationBar());
    auto frame = view->convertRectToView(view->bounds(), nullptr);
    EXPECT_EQ(CGRectGetMaxX(frame), 312);
    UIFingers(window_).tap({CGRectGetMidX(frame), CGRectGetMidY(frame)});
    EXPECT_EQ(pressed, 1);

    auto image = std::make_shared<UIImage>(CGImageRef{}, 1, "NavBar");
    nav_->navigationBar()->setBackgroundImageForBarMetrics(image, UIBarMetricsDefault);
    EXPECT_EQ(nav_->navigationBar()->backgroundImageForBarMetrics(UIBarMetricsDefault), image);
    EXPECT_FALSE(nav_->navigationBar()->backgroundImageForBarMetrics(UIBarMetricsLandscapePhone));
}

#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

namespace {
// Records its life cycle into a shared journal.
class JournalController : public UIViewController {
public:
    JournalController(std::string name, std::vector<std::string>* journal) : name_(std::move(name)), journal_(journal) {}
    void viewDidLoad() override { journal_->push_back(name_ + " load"); }
    void viewWillAppear(bool) override { journal_->push_back(name_ + " will appear"); }
    void viewDidAppear(bool) override { journal_->push_back(name_ + " did appear"); }
    void viewWillDisappear(bool) override { journal_->push_back(name_ + " will disappear"); }
    void viewDidDisappear(bool) override { journal_->push_back(name_ + " did disappear"); }

private:
    std::string name_;
    std::vector<std::string>* journal_;
};

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        UIApplication::sharedApplication()->reset();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    }
    void TearDown() override { UIApplication::sharedApplication()->reset(); }
    std::shared_ptr<JournalController> make(const std::string& name) { return std::make_shared<JournalController>(name, &journal_); }

    std::vector<std::string> journal_;
    std::shared_ptr<UIWindow> window_;
};
} // namespace

TEST_F(ControllerTest, ViewLoadsLazilyOnce) {
    auto c = make("a");
    EXPECT_FALSE(c->isViewLoaded());
    auto v = c->view();
    EXPECT_EQ(c->view(), v);
    EXPECT_EQ(journal_, (std::vector<std::string>{"a load"}));
    EXPECT_EQ(v->nextResponder(), c);
}

namespace {
// A view and its controller that note their part of a layout pass.
class JournalView : public UIView {
public:
    explicit JournalView(std::vector<std::string>* journal) : journal_(journal) {}
    void layoutSubviews() override {
        UIView::layoutSubviews();
        journal_->push_back("view lays out");
    }

private:
    std::vector<std::string>* journal_;
};

class LayoutController : public UIViewController {
public:
    explicit LayoutController(std::vector<std::string>* journal) : journal_(journal) {}
    void loadView() override { setView(std::make_shared<JournalView>(journal_)); }
    void viewWillLayoutSubviews() override { journal_->push_back("will lay out"); }
    void viewDidLayoutSubviews() override { journal_->push_back("did lay out"); }

private:
    std::vector<std::string>* journal_;
};
} // namespace

// What a controller does before its view lays out (scrolling, say) is what that layout sees.
TEST_F(ControllerTest, AControllerHearsOfItsViewsLayoutBeforeAndAfter) {
    auto controller = std::make_shared<LayoutController>(&journal_);
    window_->setRootViewController(controller);
    window_->layoutIfNeeded();
    EXPECT_EQ(journal_, (std::vector<std::string>{"will lay out", "view lays out", "did lay out"}));
}

TEST_F(ControllerTest, NavigationStackSendsAppearanceInOrderAndLaysOutUnderTheBar) {
    auto root = make("root"), second = make("second");
    auto nav = UINavigationController::initWithRootViewController(root);
    window_->setRootViewController(nav);
    window_->makeKeyAndVisible();
    EXPECT_EQ(journal_, (std::vector<std::string>{"root load", "root will appear", "root did appear"}));
    journal_.clear();

    nav->pushViewControllerAnimated(second, true);
    EXPECT_EQ(journal_, (std::vector<std::string>{"root will disappear", "second load", "second will appear",
                                                  "root did disappear", "second did appear"}));
    EXPECT_EQ(second->navigationController(), nav);
    window_->layoutIfNeeded();
    EXPECT_EQ(second->view()->frame(), CGRectMake(0, 64, 320, 504));
    EXPECT_FALSE(root->view()->superview());
    journal_.clear();

    EXPECT_EQ(nav->popViewControllerAnimated(true), second);
    EXPECT_EQ(journal_, (std::vector<std::string>{"second will disappear", "root will appear", "second did disappear",
                                                  "root did appear"}));
    EXPECT_FALSE(second->navigationController());
    EXPECT_FALSE(nav->popViewControllerAnimated(true)); // the root stays
}

TEST_F(ControllerTest, TabBarSelectsEnabledItemsOnly) {
    auto first = make("first"), second = make("second"), third = make("third");
    auto tabs = std::make_shared<UITabBarController>();
    tabs->setViewControllersAnimated({first, second, third}, true);
    second->tabBarItem()->setEnabled(false);
    window_->setRootViewController(tabs);
    window_->makeKeyAndVisible();
    window_->layoutIfNeeded();
    EXPECT_EQ(tabs->selectedViewController(), first);
    EXPECT_EQ(tabs->tabBar()->frame(), CGRectMake(0, 519, 320, 49));
    EXPECT_EQ(first->view()->frame(), CGRectMake(0, 0, 320, 519));
    EXPECT_EQ(tabs->tabBar()->items().size(), 3u);
    EXPECT_EQ(first->tabBarController(), tabs);

    tabs->tabBarDidSelectItemAtIndex(1);
    EXPECT_EQ(tabs->selectedIndex(), 0u);
    journal_.clear();
    tabs->tabBarDidSelectItemAtIndex(2);
    EXPECT_EQ(tabs->selectedViewController(), third);
    EXPECT_EQ(tabs->tabBar()->selectedItem(), third->tabBarItem());
    EXPECT_EQ(journal_, (std::vector<std::string>{"first will disappear", "third load", "third will appear",
                                                  "first did disappear", "third did appear"}));
}

TEST_F(ControllerTest, ModalPresentationCoversThePresenterAndDismissesBack) {
    auto base = make("base"), modal = make("modal");
    window_->setRootViewController(base);
    window_->makeKeyAndVisible();
    journal_.clear();
    base->presentViewControllerAnimatedCompletion(modal, true, nullptr);
    EXPECT_EQ(base->presentedViewController(), modal);
    EXPECT_EQ(modal->presentingViewController(), base);
    EXPECT_EQ(window_->subviews().back(), modal->view());
    EXPECT_EQ(journal_, (std::vector<std::string>{"base will disappear", "modal load", "modal will appear",
                                                  "base did disappear", "modal did appear"}));
    // A second presentation on a busy presenter is refused.
    auto other = make("other");
    base->presentViewControllerAnimatedCompletion(other, true, nullptr);
    EXPECT_EQ(base->presentedViewController(), modal);

    modal->dismissViewControllerAnimatedCompletion(true, nullptr);
    EXPECT_FALSE(base->presentedViewController());
    EXPECT_FALSE(modal->view()->superview());
    EXPECT_TRUE(base->isViewVisible());
}

TEST_F(ControllerTest, ActivitySheetOffersWhatIsNotExcludedAndReportsTheOutcome) {
    auto base = make("base");
    window_->setRootViewController(base);
    window_->makeKeyAndVisible();
    auto sheet = UIActivityViewController::initWithActivityItemsApplicationActivities({Value("x")}, {});
    sheet->setExcludedActivityTypes({UIActivityTypeMail, UIActivityTypeMessage});
    std::vector<std::pair<std::string, bool>> outcomes;
    sheet->setCompletionHandler([&](const std::string& type, bool completed) { outcomes.emplace_back(type, completed); });
    base->presentViewControllerAnimatedCompletion(sheet, true, nullptr);
    EXPECT_TRUE(base->isViewVisible()); // the sheet lies over the screen
    EXPECT_FALSE(sheet->finishWithActivityType(UIActivityTypeMail));
    EXPECT_EQ(base->presentedViewController(), sheet);
    EXPECT_TRUE(sheet->finishWithActivityType(UIActivityTypeAirDrop));
    EXPECT_FALSE(base->presentedViewController());
    EXPECT_EQ(outcomes, (std::vector<std::pair<std::string, bool>>{{UIActivityTypeAirDrop, true}}));
}

namespace {
class AlertJournal : public NSObject, public UIAlertViewDelegate {
public:
    void alertViewClickedButtonAtIndex(UIAlertView&, long index) override { events.push_back("clicked " + std::to_string(index)); }
    void alertViewDidDismissWithButtonIndex(UIAlertView&, long index) override { events.push_back("dismissed " + std::to_string(index)); }
    std::vector<std::string> events;
};
} // namespace

TEST_F(ControllerTest, AlertsStackAndTellTheirDelegate) {
    auto delegate = std::make_shared<AlertJournal>();
    auto alert = UIAlertView::initWithTitle("Update Available!", "Update now?", delegate, "Later", {"Update"});
    EXPECT_EQ(alert->numberOfButtons(), 2);
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "Update");
    alert->show();
    auto app = UIApplication::sharedApplication();
    ASSERT_EQ(app->visibleAlerts().size(), 1u);
    alert->clickButtonAtIndex(1);
    EXPECT_TRUE(app->visibleAlerts().empty());
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"clicked 1", "dismissed 1"}));
    // A dismissal in code sends no click.
    alert->show();
    alert->dismissWithClickedButtonIndexAnimated(-1, true);
    EXPECT_EQ(delegate->events.back(), "dismissed -1");
    EXPECT_EQ(delegate->events.size(), 3u);
}

TEST_F(ControllerTest, OpenURLRecordsURLsForInstalledAppsOnly) {
    auto app = UIApplication::sharedApplication();
    EXPECT_TRUE(app->openURL(NSURL::URLWithString("cydia://package/com.example")));
    EXPECT_FALSE(app->openURL(NSURL::URLWithString("unknownapp://x")));
    ASSERT_EQ(app->openedURLs().size(), 1u);
    EXPECT_EQ(app->openedURLs()[0]->absoluteString(), "cydia://package/com.example");
}

namespace {
class ShakeResponder : public UIViewController {
public:
    bool canBecomeFirstResponder() const override { return true; }
    void motionEndedWithEvent(UIEventSubtype motion, const std::shared_ptr<UIEvent>&) override { shakes += motion == UIEventSubtypeMotionShake; }
    int shakes = 0;
};
} // namespace

TEST_F(ControllerTest, ShakeGoesToTheFirstResponder) {
    auto c = std::make_shared<ShakeResponder>();
    window_->setRootViewController(c);
    window_->makeKeyAndVisible();
    auto app = UIApplication::sharedApplication();
    app->sendShake();
    EXPECT_EQ(c->shakes, 0);
    EXPECT_TRUE(c->becomeFirstResponder());
    app->sendShake();
    EXPECT_EQ(c->shakes, 1);
    c->resignFirstResponder();
    EXPECT_FALSE(UIResponder::currentFirstResponder());
}

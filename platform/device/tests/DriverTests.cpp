#include "platform/device/Driver.h"
#include "platform/system/DeviceProfile.h"
#include "platform/dispatch/dispatch.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIDevice.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/CLLocationManager.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UILongPressGestureRecognizer.h"
#include "platform/uikit/UIPanGestureRecognizer.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UITableViewController.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
class NamesTable : public UITableViewController {
public:
    explicit NamesTable(std::vector<std::string> names) : names(std::move(names)) {}
    long tableViewNumberOfRowsInSection(UITableView&, long) override { return static_cast<long>(names.size()); }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& indexPath) override {
        auto cell = table.dequeueReusableCellWithIdentifier("Cell");
        if (!cell) cell = UITableViewCell::initWithStyleReuseIdentifier(UITableViewCellStyleDefault, "Cell");
        cell->textLabel()->setText(names[indexPath.row]);
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setTitleForState("go", UIControlStateNormal);
        button->setFrame(CGRectMake(0, 0, 26, 26));
        button->addTargetActionForControlEvents(self<NamesTable>(), [](NSObject& t, UIControl&, UIEvent* event) {
            auto& me = static_cast<NamesTable&>(t);
            auto row = me.tableView()->indexPathForRowAtPoint(event->allTouches()[0]->locationInView(me.tableView()));
            me.journal.push_back("accessory " + std::to_string(row ? row->row : -1));
        }, UIControlEventTouchUpInside);
        cell->setAccessoryView(button);
        return cell;
    }
    void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& indexPath) override {
        journal.push_back("select " + std::to_string(indexPath.row));
    }
    bool tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath&) override { return true; }
    void tableViewCommitEditingStyleForRowAtIndexPath(UITableView& table, UITableViewCellEditingStyle, const NSIndexPath& indexPath) override {
        names.erase(names.begin() + indexPath.row);
        table.reloadData();
    }
    std::vector<std::string> names;
    std::vector<std::string> journal;
};

// A control the driver has never heard of: it shows its value on a line of its own and turns
// when a finger lands on it, and nothing but the control itself says so.
class Dial : public UIView {
public:
    Dial() : UIView(CGRectMake(20, 200, 80, 80)) {}
    void describeToScreen(UIScreenDescription& screen) override {
        UIView::describeToScreen(screen);
        screen.addLine("dial: " + std::to_string(value));
        screen.addTappable("Dial", [me = self<UIView>()](UIScreenReply& reply) { return UIScreenDescription::touch(me, reply); });
    }
    TapOutcome tapWithEvent(const std::shared_ptr<UIEvent>&, UIScreenReply&) override {
        ++value;
        return TapOutcome::Taken;
    }
    int value = 0;
};

class DriverTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        std::vector<std::string> names;
        for (int i = 0; i < 30; ++i) names.push_back("item " + std::to_string(i));
        table_ = std::make_shared<NamesTable>(names);
        table_->setTitle("Items");
        nav_ = UINavigationController::initWithRootViewController(table_);
        nav_->tabBarItem()->setTitle("List");
        auto other = std::make_shared<UIViewController>();
        other->tabBarItem()->setTitle("Other");
        tabs_ = std::make_shared<UITabBarController>();
        tabs_->setViewControllersAnimated({nav_, other}, false);
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window_->setRootViewController(tabs_);
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    Driver driver_;
    std::shared_ptr<NamesTable> table_;
    std::shared_ptr<UINavigationController> nav_;
    std::shared_ptr<UITabBarController> tabs_;
    std::shared_ptr<UIWindow> window_;
};
} // namespace

TEST_F(DriverTest, ScreenShowsTheBarsTheRowsOnScreenAndTheTabs) {
    std::string screen = driver_.screen();
    EXPECT_NE(screen.find("screen: NamesTable\n"), std::string::npos) << screen;
    EXPECT_NE(screen.find("nav: \"Items\"\n"), std::string::npos) << screen;
    // 568 - 64 - 49 points show ten full rows and part of the eleventh.
    EXPECT_NE(screen.find("rows 0-10 of 30:\n  0: item 0  [go]\n"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("item 11"), std::string::npos);
    EXPECT_NE(screen.find("tabs: *\"List\" | \"Other\"\n"), std::string::npos) << screen;
}

TEST_F(DriverTest, RowsAccessoriesAndDeletionReachTheTable) {
    EXPECT_TRUE(driver_.tapRow(25)); // scrolled into view first
    EXPECT_TRUE(driver_.tapAccessory(25));
    EXPECT_TRUE(driver_.tap("item 24"));
    EXPECT_EQ(table_->journal, (std::vector<std::string>{"select 25", "accessory 25", "select 24"}));
    EXPECT_TRUE(driver_.deleteRow(0));
    EXPECT_EQ(table_->names.size(), 29u);
    EXPECT_FALSE(driver_.tapRow(29));
    EXPECT_EQ(driver_.lastError(), "no row 29");
}

TEST_F(DriverTest, CommandsNavigateTabsAndReportErrors) {
    auto pushed = std::make_shared<NamesTable>(std::vector<std::string>{"inner"});
    pushed->setTitle("Inner");
    nav_->pushViewControllerAnimated(pushed, false);
    EXPECT_NE(driver_.screen().find("nav: \"Inner\" | back: [< Items]"), std::string::npos);
    EXPECT_EQ(driver_.execute("tap Items"), "");
    EXPECT_EQ(nav_->topViewController(), table_);
    EXPECT_EQ(driver_.execute("back"), "error: there is no back button\n");
    EXPECT_EQ(driver_.execute("tab Other"), "");
    EXPECT_EQ(tabs_->selectedIndex(), 1u);
    EXPECT_EQ(driver_.execute("tab 0"), "");
    EXPECT_EQ(tabs_->selectedIndex(), 0u);
    EXPECT_EQ(driver_.execute("row x"), "error: row needs a row number\n");
    // The hidden crash command is unknown but for its one form.
    for (const char* line : {"fly", "crash", "crash now"}) {
        const std::string name = std::string(line).substr(0, std::string(line).find(' '));
        EXPECT_EQ(driver_.execute(line), "error: unknown command \"" + name + "\" (help lists the commands)\n") << line;
    }
    EXPECT_NE(Driver::help().find("Rows count from 0. tap finds only what is on screen"), std::string::npos);
    bool quit = false;
    driver_.execute("quit", &quit);
    EXPECT_TRUE(quit);
}

// A command answered with an error counts as failed, whatever refused it (a script then ends
// with status 1); every other answer, said text or none, does not.
TEST_F(DriverTest, EveryErrorAnswerAndOnlyItCountsAsAFailedCommand) {
    const struct {
        const char* line;
        bool fails;
    } cases[] = {
        {"", false},          {"# a note", false},      {"screen", false},      {"help", false},
        {"tap item 1", false}, {"wait 1", false},        {"tap Nowhere", true},  {"touch 240,5", true},
        {"frobnicate", true},  {"crash", true},          {"row x", true},        {"tap", true},
        {"wait soon", true},   {"wait 1e10", true},      {"network dialup", true}, {"tab Other", false},
    };
    for (const auto& c : cases) {
        const std::size_t before = driver_.failedCommands();
        const std::string said = driver_.execute(c.line);
        EXPECT_EQ(said.starts_with("error: "), c.fails) << c.line << ": " << said;
        EXPECT_EQ(driver_.failedCommands() - before, c.fails ? 1u : 0u) << c.line;
    }
}

TEST_F(DriverTest, AlertsAndSheetsAreShownAndAnswered) {
    auto alert = UIAlertView::initWithTitle("Error", "It failed.", nullptr, "OK");
    alert->show();
    EXPECT_NE(driver_.screen().find("alert: \"Error\" \"It failed.\" buttons: [OK]\n"), std::string::npos);
    EXPECT_FALSE(driver_.pressAlertButton("Cancel"));
    EXPECT_TRUE(driver_.tap("OK"));
    EXPECT_FALSE(driver_.visibleAlert());

    auto sheet = UIActivityViewController::initWithActivityItemsApplicationActivities({Value(NSURL::fileURLWithPath("/tmp/a b"))}, {});
    sheet->setExcludedActivityTypes({UIActivityTypeMail});
    std::string outcome;
    sheet->setCompletionHandler([&](const std::string& type, bool completed) { outcome = type + (completed ? " done" : " cancelled"); });
    tabs_->presentViewControllerAnimatedCompletion(sheet, true, nullptr);
    std::string screen = driver_.screen();
    EXPECT_NE(screen.find("sheet: activity\n  item: file:///tmp/a%20b\n  excluded: com.apple.UIKit.activity.Mail\n"),
              std::string::npos) << screen;
    EXPECT_NE(screen.find("rows 0-10 of 30"), std::string::npos); // the screen beneath stays
    EXPECT_FALSE(driver_.completeSheet(UIActivityTypeMail));
    EXPECT_TRUE(driver_.completeSheet(""));
    EXPECT_EQ(outcome, UIActivityTypeAirDrop + " done");
    EXPECT_FALSE(driver_.visibleSheet());
    EXPECT_FALSE(driver_.cancelSheet());
}

TEST_F(DriverTest, OpenedURLsAreListed) {
    UIApplication::sharedApplication()->openURL(NSURL::URLWithString("cydia://package/tandrel"));
    EXPECT_NE(driver_.screen().find("opened: cydia://package/tandrel\n"), std::string::npos);
}

TEST_F(DriverTest, OutOfRangeNumbersAreErrorsNotCrashes) {
    ManualClock clock;
    // Too many digits for a row number: an error, as for any other row that is not there.
    EXPECT_EQ(driver_.execute("row 99999999999999999999"), "error: row needs a row number\n");
    EXPECT_EQ(driver_.execute("accessory 99999999999999999999"), "error: accessory needs a row number\n");
    EXPECT_EQ(driver_.execute("tab 99999999999999999999"), "error: no tab \"99999999999999999999\"\n");
    // A wait that is not a finite decimal number of seconds would never end (or not start), or
    // not be what it seems (0x10 is not ten, nor sixteen).
    for (const char* bad : {"wait nan", "wait inf", "wait -1", "wait soon", "wait 2s", "wait", "wait 0x10", "wait 1e", "wait .",
                            "wait 1,5", "wait 1e999"})
        EXPECT_EQ(driver_.execute(bad), "error: wait needs a number of seconds\n") << bad;
    EXPECT_EQ(driver_.execute("wait 0.5"), "");
    EXPECT_EQ(driver_.execute("wait 5e-1"), "");
    EXPECT_EQ(driver_.execute("touch 0x10,170"), "error: not a point: \"0x10,170\" (touch X,Y)\n");
}

TEST_F(DriverTest, AViewTheDriverDoesNotKnowDescribesItselfAndIsTapped) {
    auto other = tabs_->viewControllers()[1];
    auto dial = std::make_shared<Dial>();
    other->view()->addSubview(dial);
    ASSERT_EQ(driver_.execute("tab Other"), "");
    EXPECT_NE(driver_.screen().find("screen: UIViewController\ndial: 0\ntabs: \"List\" | *\"Other\"\n"), std::string::npos)
        << driver_.screen();
    EXPECT_EQ(driver_.execute("tap Dial"), "");
    EXPECT_EQ(dial->value, 1);
    EXPECT_NE(driver_.screen().find("dial: 1\n"), std::string::npos);
    // Hidden, it is off the screen for the eye and the finger alike.
    dial->setHidden(true);
    EXPECT_EQ(driver_.screen().find("dial:"), std::string::npos);
    EXPECT_EQ(driver_.execute("tap Dial"), "error: nothing on screen shows \"Dial\"\n");
}

TEST_F(DriverTest, ScrollingBringsEveryRowOnScreenWithinReachOfTap) {
    // 455 points of table show ten rows and part of the next; the last offset is 30 * 44 - 455.
    struct Case {
        std::vector<std::string> commands;
        std::string rows;
        std::string error;
    };
    const Case cases[] = {
        {{"scroll down"}, "rows 10-20 of 30:", ""},
        {{"scroll down", "scroll down"}, "rows 19-29 of 30:", ""},
        {{"scroll 25"}, "rows 19-29 of 30:", ""},
        {{"scroll to 12"}, "rows 12-22 of 30:", ""},
        {{"scroll 12", "scroll up"}, "rows 2-12 of 30:", ""},
        {{"scroll up"}, "rows 0-10 of 30:", "error: the table is scrolled to its top\n"},
        {{"scroll 29", "scroll down"}, "rows 19-29 of 30:", "error: the table is scrolled to its end\n"},
        {{"scroll 30"}, "rows 0-10 of 30:", "error: no row 30\n"},
        {{"scroll sideways"}, "rows 0-10 of 30:", "error: scroll down, up or to a row number\n"},
        {{"scroll"}, "rows 0-10 of 30:", "error: scroll what?\n"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.commands.back());
        table_->tableView()->setContentOffset({0, 0});
        std::string said;
        for (auto& command : c.commands) said = driver_.execute(command);
        EXPECT_EQ(said, c.error);
        EXPECT_NE(driver_.screen().find(c.rows), std::string::npos) << driver_.screen();
    }
    table_->tableView()->setContentOffset({0, 0});
    EXPECT_EQ(driver_.execute("tap item 29"), "error: nothing on screen shows \"item 29\"\n");
    EXPECT_EQ(driver_.execute("scroll 25"), "");
    EXPECT_EQ(driver_.execute("tap item 29"), "");
    EXPECT_EQ(table_->journal, (std::vector<std::string>{"select 29"}));
}

TEST_F(DriverTest, WhileASheetOrAnAlertIsUpCommandsReachItAlone) {
    auto sheet = UIActivityViewController::initWithActivityItemsApplicationActivities({Value(NSURL::fileURLWithPath("/tmp/a b"))}, {});
    std::string outcome;
    sheet->setCompletionHandler([&](const std::string& type, bool completed) { outcome = type + (completed ? " done" : " cancelled"); });
    tabs_->presentViewControllerAnimatedCompletion(sheet, true, nullptr);
    const std::string behindSheet = "error: the activity sheet is in front of the screen: airdrop, complete TYPE or cancel\n";
    for (const char* command : {"tap item 3", "row 3", "accessory 3", "delete 3", "scroll down", "tab Other", "press OK"})
        EXPECT_EQ(driver_.execute(command), behindSheet) << command;

    auto alert = UIAlertView::initWithTitle("Error", "It failed.", nullptr, "OK");
    alert->show();
    const std::string behindAlert = "error: an alert is in front of the screen: tap one of its buttons\n";
    for (const char* command : {"tap item 3", "row 3", "airdrop", "cancel", "tap Cancel"})
        EXPECT_EQ(driver_.execute(command), behindAlert) << command;
    EXPECT_EQ(driver_.execute("press Cancel"), "error: the alert has no button \"Cancel\"\n");
    EXPECT_EQ(driver_.execute("wait 0"), ""); // time passes for whatever is on screen
    EXPECT_EQ(driver_.execute("tap OK"), "");

    EXPECT_EQ(driver_.execute("airdrop"), "sent through AirDrop: file:///tmp/a%20b\n");
    EXPECT_EQ(outcome, UIActivityTypeAirDrop + " done");
    EXPECT_TRUE(table_->journal.empty());
    EXPECT_EQ(tabs_->selectedIndex(), 0u);
    EXPECT_EQ(table_->names.size(), 30u);
    EXPECT_EQ(driver_.execute("row 3"), "");
    EXPECT_EQ(table_->journal, (std::vector<std::string>{"select 3"}));
}

TEST_F(DriverTest, AFullScreenPresentationHidesTheScreenBeneathAndASheetDoesNot) {
    auto page = std::make_shared<UIViewController>();
    auto close = UIButton::buttonWithType(UIButtonTypeSystem);
    close->setTitleForState("Close", UIControlStateNormal);
    close->setFrame(CGRectMake(10, 30, 80, 40));
    int closed = 0;
    close->addTargetActionForControlEvents(page, [&](NSObject&, UIControl&, UIEvent*) { ++closed; }, UIControlEventTouchUpInside);
    page->view()->addSubview(close);
    table_->presentViewControllerAnimatedCompletion(page, false, nullptr);
    std::string screen = driver_.screen();
    EXPECT_EQ(screen, "screen: UIViewController\nalso: [Close]\n") << screen;
    EXPECT_EQ(driver_.execute("tap item 1"), "error: nothing on screen shows \"item 1\"\n");
    EXPECT_EQ(driver_.execute("tap Close"), "");
    EXPECT_EQ(closed, 1);

    page->dismissViewControllerAnimatedCompletion(false, nullptr);
    auto sheet = UIActivityViewController::initWithActivityItemsApplicationActivities({Value(std::string("text"))}, {});
    table_->presentViewControllerAnimatedCompletion(sheet, false, nullptr);
    screen = driver_.screen();
    EXPECT_NE(screen.find("rows 0-10 of 30:"), std::string::npos) << screen;
    EXPECT_NE(screen.find("tabs: *\"List\" | \"Other\"\nsheet: activity\n"), std::string::npos) << screen;
}

TEST_F(DriverTest, NetworkTellsTheDeviceWhichNetworkItHasAndScheduledTargetsHear) {
    auto target = SCNetworkReachabilityCreateWithName(kCFAllocatorDefault, "collector.example");
    ASSERT_TRUE(target);
    std::vector<SCNetworkReachabilityFlags> heard;
    SCNetworkReachabilityContext context;
    context.info = &heard;
    SCNetworkReachabilitySetCallback(target, [](const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags flags, void* info) {
        static_cast<std::vector<SCNetworkReachabilityFlags>*>(info)->push_back(flags);
    }, &context);
    ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode));

    EXPECT_EQ(driver_.execute("network none"), "");
    EXPECT_EQ(driver_.execute("network wifi"), "");
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0] & kSCNetworkReachabilityFlagsReachable, 0u);
    EXPECT_NE(heard[1] & kSCNetworkReachabilityFlagsReachable, 0u);
    EXPECT_EQ(heard[1] & kSCNetworkReachabilityFlagsIsWWAN, 0u);

    EXPECT_EQ(driver_.execute("network dialup"), "error: no network named dialup (none, wifi, cellular or measured)\n");
    EXPECT_EQ(heard.size(), 2u);
    EXPECT_EQ(SCNetworkReachabilityDeviceNetwork(), SCDeviceNetwork::WiFi);
    SCNetworkReachabilityUnscheduleFromRunLoop(target, NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode);
}

TEST_F(DriverTest, FingersTouchDragAndTurnTheDevice) {
    EXPECT_EQ(driver_.execute("touch 100,170"), "");
    EXPECT_EQ(driver_.execute("touch 296,170"), "");
    EXPECT_EQ(driver_.execute("drag 100,170 100,300"), ""); // across rows: selects nothing
    EXPECT_EQ(table_->journal, (std::vector<std::string>{"select 2", "accessory 2"}));
    // A touch where nothing takes it (the strip under the status bar) is told so.
    EXPECT_EQ(driver_.execute("touch 240,5"), "error: nothing to tap there\n");

    std::vector<std::string> posted;
    auto center = NSNotificationCenter::defaultCenter();
    std::vector<std::shared_ptr<NSObject>> tokens;
    for (auto name : {UIApplicationWillChangeStatusBarOrientationNotification,
                      UIApplicationDidChangeStatusBarOrientationNotification, UIDeviceOrientationDidChangeNotification})
        tokens.push_back(center->addObserverForName(name, nullptr, nullptr, [&posted](const auto& n) { posted.push_back(n->name()); }));
    EXPECT_EQ(driver_.execute("rotate left"), "");
    EXPECT_EQ(posted, (std::vector<std::string>{UIApplicationWillChangeStatusBarOrientationNotification,
                                                UIApplicationDidChangeStatusBarOrientationNotification,
                                                UIDeviceOrientationDidChangeNotification}));
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarOrientation(), UIInterfaceOrientationLandscapeRight);
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarFrame(), CGRectMake(0, 0, 20, 568));
    EXPECT_EQ(driver_.execute("rotate upside"), "error: rotate portrait, upside-down, left or right\n");
    EXPECT_EQ(driver_.execute("twist 160,300 x"), "error: the angle of a twist is a number of degrees, at most 3600 either way\n");
    for (auto& t : tokens) center->removeObserver(t);
    DeviceProfile::reset();

    auto alert = UIAlertView::initWithTitle("Error", "It failed.", nullptr, "OK");
    alert->show();
    EXPECT_EQ(driver_.execute("touch 100,170"), "error: an alert is in front of the screen: press one of its buttons\n");
    EXPECT_EQ(table_->journal.size(), 2u);
}

TEST_F(DriverTest, APopoverIsAScreenInFrontAndOtherViewsAreOutlined) {
    // A bubble added straight to the window, holding a navigation controller's view.
    auto inner = std::make_shared<NamesTable>(std::vector<std::string>{"received.txt"});
    inner->setTitle("Received");
    auto popoverNav = UINavigationController::initWithRootViewController(inner);
    auto bubble = std::make_shared<UIView>(CGRectMake(10, 80, 300, 300));
    popoverNav->view()->setFrame(bubble->bounds());
    bubble->addSubview(popoverNav->view());
    window_->addSubview(bubble);

    std::string screen = driver_.screen();
    auto main = screen.find("nav: \"Items\"");
    auto popover = screen.find("popover:\nnav: \"Received\"\nrows 0-0 of 1:\n  0: received.txt  [go]\n");
    EXPECT_NE(main, std::string::npos) << screen;
    EXPECT_NE(popover, std::string::npos) << screen;
    EXPECT_LT(main, popover);
    // Commands reach the popover while it is in front; the screen beneath is out of reach.
    EXPECT_EQ(driver_.execute("row 0"), "");
    EXPECT_EQ(inner->journal, (std::vector<std::string>{"select 0"}));
    EXPECT_EQ(driver_.execute("tap item 3"),
              "error: a popover is in front of the screen: act on it, or touch outside it to close it\n");
    EXPECT_TRUE(table_->journal.empty());
    bubble->removeFromSuperview();

    // Views of the window's own and of another window, front window first.
    auto status = std::make_shared<UIView>(CGRectMake(0, 0, 320, 64));
    auto message = std::make_shared<UILabel>(CGRectMake(10, 20, 300, 30));
    message->setText("Exporting song");
    status->addSubview(message);
    window_->addSubview(status);
    auto front = std::make_shared<UIWindow>(CGRectMake(0, 500, 320, 68));
    auto picture = std::make_shared<UIImageView>(CGRectMake(0, 0, 40, 40));
    picture->setImage(std::make_shared<UIImage>(CGImageRef{}, 1, "Logo"));
    front->addSubview(picture);
    front->makeKeyAndVisible();
    window_->makeKeyWindow();
    screen = driver_.screen();
    EXPECT_NE(screen.find("views:\n  (Logo)\n  \"Exporting song\"\n"), std::string::npos) << screen;
    // An image is tapped by its name, as a finger at its centre (which nothing takes).
    EXPECT_EQ(driver_.execute("tap Logo"), "error: nothing to tap there\n");
    EXPECT_EQ(driver_.execute("tap Exporting song"), "error: nothing to tap there\n");
}

TEST_F(DriverTest, ADragMayStartOnWhatTheScreenShows) {
    auto pad = std::make_shared<UIView>(CGRectMake(0, 300, 320, 100));
    auto handle = std::make_shared<UILabel>(CGRectMake(100, 20, 120, 40)); // centre (160, 340) on screen
    handle->setText("Drag me");
    pad->addSubview(handle);
    window_->addSubview(pad);
    std::vector<CGPoint> translations;
    auto target = std::make_shared<NSObject>();
    pad->addGestureRecognizer(std::make_shared<UIPanGestureRecognizer>(target, [&](NSObject&, UIGestureRecognizer& g) {
        if (g.state() == UIGestureRecognizerStateEnded)
            translations.push_back(static_cast<UIPanGestureRecognizer&>(g).translationInView(nullptr));
    }));
    EXPECT_EQ(driver_.execute("drag \"Drag me\" 200,440 4"), "");
    EXPECT_EQ(translations, (std::vector<CGPoint>{{40, 100}}));
    EXPECT_EQ(driver_.execute("drag Nowhere 200,440"), "error: nothing on screen shows \"Nowhere\" (drag X,Y X,Y [STEPS])\n");
    EXPECT_EQ(translations.size(), 1u);
}

TEST_F(DriverTest, HoldKeepsTheFingerDownForTheGivenTime) {
    ManualClock clock;
    auto pad = std::make_shared<UIView>(CGRectMake(0, 300, 320, 100));
    auto handle = std::make_shared<UILabel>(CGRectMake(100, 20, 120, 40)); // centre (160, 340) on screen
    handle->setText("Press me");
    pad->addSubview(handle);
    window_->addSubview(pad);
    std::vector<UIGestureRecognizerState> states;
    auto target = std::make_shared<NSObject>();
    pad->addGestureRecognizer(std::make_shared<UILongPressGestureRecognizer>(
        target, [&](NSObject&, UIGestureRecognizer& g) { states.push_back(g.state()); }));
    EXPECT_EQ(driver_.execute("hold \"Press me\""), "");
    EXPECT_EQ(states, (std::vector<UIGestureRecognizerState>{UIGestureRecognizerStateBegan, UIGestureRecognizerStateEnded}));
    EXPECT_EQ(driver_.execute("hold 160,340 0.2"), "") << "shorter than the press's half second";
    EXPECT_EQ(states.size(), 2u);
    const std::pair<const char*, const char*> errors[] = {
        {"hold", "error: hold what?\n"},
        {"hold 160,340 61", "error: a hold lasts from 0 to 60 seconds: hold X,Y [SECONDS]\n"},
        {"hold 160,340 soon", "error: a hold lasts from 0 to 60 seconds: hold X,Y [SECONDS]\n"},
        {"hold 400,10", "error: 400,10 lies off the screen (320 by 568 points)\n"},
    };
    for (const auto& [command, error] : errors) EXPECT_EQ(driver_.execute(command), error) << command;
    EXPECT_EQ(states.size(), 2u);
}

TEST_F(DriverTest, SwipeReachesTheInnermostViewThatScrollsThatWay) {
    // A paging strip of three pages over the table, which scrolls only up and down.
    auto strip = std::make_shared<UIScrollView>(CGRectMake(0, 300, 320, 100));
    strip->setContentSize(CGSizeMake(960, 100));
    strip->setPagingEnabled(true);
    auto label = std::make_shared<UILabel>(CGRectMake(340, 20, 120, 40));
    label->setText("Second page");
    strip->addSubview(label);
    window_->addSubview(strip);
    EXPECT_EQ(driver_.execute("swipe left"), "");
    EXPECT_EQ(strip->contentOffset().x, 320);
    EXPECT_EQ(driver_.execute("swipe right \"Second page\""), "");
    EXPECT_EQ(strip->contentOffset().x, 0);
    // Up and down pass the strip by and reach the table.
    EXPECT_EQ(driver_.execute("swipe up"), "");
    EXPECT_GT(table_->tableView()->contentOffset().y, 0);
    EXPECT_EQ(strip->contentOffset().x, 0);

    auto before = table_->tableView()->contentOffset();
    EXPECT_EQ(driver_.execute("swipe sideways"),
              "error: swipe left, right, up or down, across TEXT when given: swipe left|right|up|down [TEXT]\n");
    EXPECT_EQ(driver_.execute("swipe"), "error: swipe what?\n");
    EXPECT_EQ(driver_.execute("swipe left Nowhere"),
              "error: nothing on screen shows \"Nowhere\" (swipe left|right|up|down [TEXT])\n");
    EXPECT_EQ(strip->contentOffset().x, 0);
    EXPECT_EQ(table_->tableView()->contentOffset(), before);
    strip->removeFromSuperview();
    EXPECT_EQ(driver_.execute("swipe left"), "error: nothing on screen scrolls sideways\n");
}

namespace {

struct LocationListener : NSObject, CLLocationManagerDelegate {
    std::vector<std::shared_ptr<CLLocation>> heard;
    void locationManagerDidUpdateLocations(CLLocationManager&, const std::vector<std::shared_ptr<CLLocation>>& locations) override {
        heard.insert(heard.end(), locations.begin(), locations.end());
    }
};

} // namespace

TEST_F(DriverTest, LocationMovesTheDeviceAndUpdatingManagersHear) {
    auto manager = std::make_shared<CLLocationManager>();
    auto listener = std::make_shared<LocationListener>();
    manager->setDelegate(listener);
    EXPECT_EQ(driver_.execute("location 1 2"), "");
    EXPECT_TRUE(listener->heard.empty()) << "not updating yet";
    manager->startUpdatingLocation();
    EXPECT_EQ(driver_.execute("location 48.8566 2.3522 5 10"), "");
    ASSERT_EQ(listener->heard.size(), 1u);
    EXPECT_EQ(manager->location()->coordinate().latitude, 48.8566);
    EXPECT_EQ(manager->location()->horizontalAccuracy(), 5.0);
    EXPECT_EQ(manager->location()->verticalAccuracy(), 10.0);
    for (const char* bad : {"location 91 0", "location 1", "location 1 2 3", "location a b", "location 1 nan"}) {
        EXPECT_EQ(driver_.execute(bad).rfind("error: ", 0), 0u) << bad;
    }
    EXPECT_EQ(listener->heard.size(), 1u);
    CLLocationManager::reset();
}

TEST_F(DriverTest, BackgroundAndForegroundPostTheLifeCycle) {
    std::vector<std::string> posted;
    auto center = NSNotificationCenter::defaultCenter();
    std::vector<std::shared_ptr<NSObject>> tokens;
    for (const auto& name : {UIApplicationWillResignActiveNotification, UIApplicationDidEnterBackgroundNotification,
                             UIApplicationWillEnterForegroundNotification, UIApplicationDidBecomeActiveNotification,
                             UIApplicationWillTerminateNotification}) {
        tokens.push_back(center->addObserverForName(name, nullptr, nullptr, [&posted, name](const auto&) { posted.push_back(name); }));
    }
    EXPECT_EQ(driver_.execute("foreground"), "") << "already in the foreground: nothing";
    EXPECT_EQ(driver_.execute("background"), "");
    EXPECT_EQ(UIApplication::sharedApplication()->applicationState(), UIApplicationStateBackground);
    EXPECT_EQ(driver_.execute("foreground"), "");
    bool quit = false;
    driver_.execute("quit", &quit);
    EXPECT_TRUE(quit);
    EXPECT_EQ(posted, (std::vector<std::string>{UIApplicationWillResignActiveNotification, UIApplicationDidEnterBackgroundNotification,
                                                UIApplicationWillEnterForegroundNotification, UIApplicationDidBecomeActiveNotification,
                                                UIApplicationWillTerminateNotification}));
    for (const auto& token : tokens) center->removeObserver(token);
    EXPECT_EQ(driver_.execute("help").find("crash"), std::string::npos) << "crash is not listed";
    EXPECT_EQ(driver_.execute("settle 1"), "") << "nothing in flight";
}

TEST_F(DriverTest, PhotosAnswersThePhotoLibrarysAccessRequest) {
    EXPECT_EQ(driver_.execute("photos deny"), "");
    EXPECT_TRUE(DeviceProfile::current().photoLibraryAccessDenied);
    EXPECT_EQ(driver_.execute("photos allow"), "");
    EXPECT_FALSE(DeviceProfile::current().photoLibraryAccessDenied);
    EXPECT_EQ(driver_.execute("photos maybe"), "error: photos takes deny or allow\n");
}

TEST_F(DriverTest, CameraNamesWhatTheCamerasSee) {
    writeFile("/seen.png", "");
    EXPECT_EQ(driver_.execute("camera " + host("/seen.png")), "");
    EXPECT_EQ(DeviceProfile::current().cameraImagePath, host("/seen.png"));
    EXPECT_EQ(driver_.execute("camera pattern"), "");
    EXPECT_EQ(DeviceProfile::current().cameraImagePath, "");
    EXPECT_EQ(driver_.execute("camera /no/such/file.png"), "error: no image file at /no/such/file.png\n");
}

// expect waits, in real time, for what another thread hands to the main loop; a text that never
// comes is an error with the bound and the screen, and a last word that is a number is the bound.
TEST_F(DriverTest, ExpectWaitsForTheScreenToShowAText) {
    EXPECT_EQ(driver_.execute("expect item 3"), "") << "already on screen";
    std::thread worker([table = table_] {
        dispatch_async(dispatch_get_main_queue(), [table] { table->setTitle("Arrived 2"); });
    });
    EXPECT_EQ(driver_.execute("expect Arrived 2 5"), "");
    worker.join();
    // The screen is not in the error: it follows under the command anyway.
    EXPECT_EQ(driver_.execute("expect Never shown 0.1"), "error: \"Never shown\" not on screen after 0.1 s\n");
    EXPECT_EQ(driver_.execute("expect"), "error: expect what?\n");
    EXPECT_EQ(driver_.execute("expect 3"), "") << "a lone number is the text: row 3 shows it";
}

// The bare swipe is the finger's flick from the middle of what scrolls: its six moves take their
// frames on the script clock and scroll the table as far as the same flick made by a finger.
TEST_F(DriverTest, ABareSwipeIsAFingerFlickOnTheScriptClock) {
    ManualClock clock;
    auto table = table_->tableView();
    const CGFloat middle = (64 + 519) / 2.0; // between the navigation bar and the tab bar
    std::vector<CGPoint> offsets;
    for (const std::string& command : {std::string("swipe up"), "swipe up 160," + std::to_string(middle)}) {
        SCOPED_TRACE(command);
        table->setContentOffset(CGPointZero);
        const double before = PlatformClock::monotonic();
        EXPECT_EQ(driver_.execute(command), "");
        EXPECT_NEAR(PlatformClock::monotonic() - before, 8.0 / 60, 1e-6) << "down, six moves, up";
        offsets.push_back(table->contentOffset());
    }
    EXPECT_GT(offsets[0].y, 0);
    EXPECT_EQ(offsets[0], offsets[1]);
}

namespace {
// A dark overlay over everything but the tab bar, as the options fan lays one: a touch on it is
// all it takes.
std::shared_ptr<UIView> layOverlay(const std::shared_ptr<UITabBarController>& tabs, int& touches) {
    auto overlay = std::make_shared<UIView>(tabs->view()->bounds());
    overlay->setBackgroundColor(UIColor::blackColor());
    overlay->setAlpha(0.7);
    overlay->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(overlay, [&touches](NSObject&, UIGestureRecognizer&) { ++touches; }));
    tabs->view()->insertSubviewBelowSubview(overlay, tabs->tabBar());
    return overlay;
}
} // namespace

// What an overlay covers is neither listed nor reached: a command naming it lands on the overlay,
// as a finger on the same spot does; the tab bar in front of the overlay still answers.
TEST_F(DriverTest, ANameUnderAnOverlayReachesTheOverlay) {
    auto pushed = std::make_shared<NamesTable>(std::vector<std::string>{"inner 0", "inner 1"});
    pushed->setTitle("Inner");
    nav_->pushViewControllerAnimated(pushed, false);
    // The back button is named once, by what it shows; "Back" still finds it (below).
    EXPECT_NE(driver_.screen().find("back: [< Items]"), std::string::npos) << driver_.screen();
    EXPECT_EQ(driver_.screen().find("[Back]"), std::string::npos) << driver_.screen();
    int touches = 0;
    auto overlay = layOverlay(tabs_, touches);
    const auto screen = driver_.screen();
    EXPECT_EQ(screen.find("[Back]"), std::string::npos) << screen;
    EXPECT_NE(screen.find("  0: inner 0"), std::string::npos) << "what is dimmed still shows: " << screen;
    const char* commands[] = {"tap Back", "tap Items", "back", "tap inner 0", "row 1", "accessory 0", "touch 25,42"};
    for (const char* command : commands) {
        SCOPED_TRACE(command);
        const int before = touches;
        EXPECT_EQ(driver_.execute(command), "");
        EXPECT_EQ(touches, before + 1);
        EXPECT_EQ(nav_->topViewController(), pushed);
        EXPECT_TRUE(pushed->journal.empty());
    }
    EXPECT_EQ(driver_.execute("tab Other"), "");
    EXPECT_EQ(tabs_->selectedIndex(), 1u);
    overlay->removeFromSuperview();
    EXPECT_EQ(driver_.execute("tab List"), "");
    EXPECT_EQ(driver_.execute("tap Back"), "");
    EXPECT_EQ(nav_->topViewController(), table_);
}

// Every name the screen shows can be typed back as it shows: control characters, line breaks,
// invisible and direction marks and stray bytes as their escapes, leading spaces kept.
TEST_F(DriverTest, TapTakesANameAsTheScreenShowsIt) {
    const struct {
        const char* name;
        const char* shown;
        const char* typed = nullptr; // as shown unless given
    } cases[] = {
        {"line\nbreak.txt", "line\\nbreak.txt"},
        {"tab\there.txt", "tab\\there.txt"},
        {" leading space.txt", " leading space.txt"},
        {"\x1b[2Jclear", "\\x1b[2Jclear"},
        {"next\xc2\x85line", "next\\u0085line"},
        {"\xe2\x80\xae" "fdp.exe", "\\u202efdp.exe"},
        {"bad\xff" "byte", "bad\\xffbyte"},
        {"line\xe2\x80\xa8sep", "line\\u2028sep"},
        {"zero\xe2\x80\x8bwidth", "zero\\u200bwidth"},
        {"mark\xe2\x80\x8f", "mark\\u200f"},
        {"arabic\xd8\x9cmark", "arabic\\u061cmark"},
        {"\xef\xbb\xbf" "bom", "\\ufeffbom"},
        {"caf\xc3\xa9 \xf0\x9f\x8e\xb5", "caf\xc3\xa9 \xf0\x9f\x8e\xb5"},
        // A backslash and "n" shows apart from the line break above; a backslash typed begins an escape.
        {"line\\nbreak.txt", "line\\\\nbreak.txt"},
        {"C:\\dir", "C:\\\\dir"},
        // A space ending a name is typed as an escape (a line ending in one shows it so).
        {"trailing.txt ", "trailing.txt ", "trailing.txt\\x20"},
    };
    table_->names.clear();
    for (const auto& c : cases) table_->names.push_back(c.name);
    table_->tableView()->reloadData();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].shown);
        EXPECT_EQ(driver_.execute("scroll " + std::to_string(i)), "");
        const auto screen = driver_.screen();
        EXPECT_NE(screen.find("  " + std::to_string(i) + ": " + cases[i].shown + "  [go]\n"), std::string::npos) << screen;
        EXPECT_EQ(driver_.execute(std::string("tap ") + (cases[i].typed ? cases[i].typed : cases[i].shown)), "");
        ASSERT_FALSE(table_->journal.empty());
        EXPECT_EQ(table_->journal.back(), "select " + std::to_string(i));
    }
    // Spaces around a name typed by mistake still find it, and a byte-order mark before a
    // command (a script saved with one) is no part of it.
    EXPECT_EQ(driver_.execute("scroll 0"), "");
    EXPECT_EQ(driver_.execute("tap   tab\\there.txt  "), "");
    EXPECT_EQ(table_->journal.back(), "select 1");
    EXPECT_EQ(driver_.execute("\xef\xbb\xbftap line\\nbreak.txt"), "");
    EXPECT_EQ(table_->journal.back(), "select 0");
    // The space ending a name may be typed as it is too, at the end of the line.
    EXPECT_EQ(driver_.execute("scroll " + std::to_string(std::size(cases) - 1)), "");
    EXPECT_EQ(driver_.execute("tap trailing.txt \r\n"), "");
    EXPECT_EQ(table_->journal.back(), "select " + std::to_string(std::size(cases) - 1));
    // A backslash typed for itself is no escape, and finds no name.
    EXPECT_EQ(driver_.execute("tap C:\\dir"), "error: nothing on screen shows \"C:\\\\dir\"\n");
}

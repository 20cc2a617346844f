#include "app/TDAirDropSheet.h"
#include "app/TDAppDelegate.h"
#include "app/TDBrowser.h"
#include "app/TDReceived.h"
#include "app/support/TDSites.h"
#include "app/support/VTVersionTracker.h"
#include "platform/device/Driver.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {
class BrowserTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        // The launch's update check goes to a loopback port where nothing listens.
        TDSites::setMakerSiteOrigin("http://127.0.0.1:1");
        // The welcome has been seen: the Files tab is on top at launch.
        NSUserDefaults::standardUserDefaults()->setObjectForKey(Value("Done"), TDAppDelegate::kIntroShowKey);
    }
    void TearDown() override {
        if (auto tracker = VTVersionTracker::tracker()) tracker->stopTracking();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    // Launches the app as the system does and settles the main loop.
    std::shared_ptr<TDAppDelegate> launch() {
        // The analytics session the app starts reports to loopback, where nothing answers.
        setenv("TANDREL_VUDERU_HOST", AnalyticsCollector::refusedHostAndPort().c_str(), 1);
        auto app = UIApplication::sharedApplication();
        auto delegate = std::make_shared<TDAppDelegate>();
        app->setDelegate(delegate);
        EXPECT_TRUE(delegate->applicationDidFinishLaunchingWithOptions(*app, Value()));
        driver_.drain();
        return delegate;
    }

    // A browser for a folder, shown in the Files tab's navigation stack.
    std::shared_ptr<TDBrowser> open(const std::string& path) {
        auto delegate = launch();
        auto nav = std::dynamic_pointer_cast<UINavigationController>(delegate->tabBarController()->selectedViewController());
        auto browser = TDBrowser::initWithPath(path);
        nav->pushViewControllerAnimated(browser, false);
        driver_.drain();
        return browser;
    }

    std::shared_ptr<TDBrowser> visibleBrowser() { return std::dynamic_pointer_cast<TDBrowser>(driver_.contentViewController()); }

    long rowOf(const std::string& name) {
        auto files = visibleBrowser()->files();
        auto it = std::find(files.begin(), files.end(), name);
        EXPECT_NE(it, files.end()) << name;
        return static_cast<long>(it - files.begin());
    }

    bool hostExists(const std::string& devicePath) {
        struct stat st;
        return ::lstat(host(devicePath).c_str(), &st) == 0;
    }

    Driver driver_;
};
} // namespace

TEST_F(BrowserTest, RootListsTheDeviceWithoutHiddenNamesAndTheRecycleBin) {
    makeDirectory("/Applications");
    makeDirectory("/$RECYCLE.BIN");
    makeDirectory("/.fseventsd");
    writeFile("/.DS_Store", "x");
    launch();
    auto browser = visibleBrowser();
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->path(), "/");
    EXPECT_EQ(browser->title(), "/");
    auto files = browser->files();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Applications", "tmp", "var"}));
    auto hidden = browser->hiddenFiles();
    std::sort(hidden.begin(), hidden.end());
    EXPECT_EQ(hidden, (std::vector<std::string>{".DS_Store", ".fseventsd"}));
    EXPECT_TRUE(log_->contains("Removed .fseventsd from array"));
    EXPECT_NE(driver_.screen().find("nav: \"/\""), std::string::npos);
}

TEST_F(BrowserTest, UnreadableFoldersFallBackToTheirOneEntry) {
    struct Case {
        const char* path;
        std::vector<std::string> files;
    };
    // Missing folders cannot be listed even by root, which the tests may run as.
    const Case cases[] = {{"/System", {"Library"}}, {"/Library", {"Preferences"}}, {"/var", {"mobile"}},
                          {"/Other", {}}, {"/System/Library", {}}};
    removeHostTree(host("/var"));
    for (auto& c : cases) {
        log_->clear();
        auto browser = TDBrowser::initWithPath(c.path);
        EXPECT_EQ(browser->files(), c.files) << c.path;
        EXPECT_TRUE(log_->contains("ERROR: ")) << c.path;
    }
}

TEST_F(BrowserTest, TappingAFolderPushesItsBrowserAndAFileOffersTheAirDropSheet) {
    writeFile("/var/mobile/Documents/Notes.txt", "notes");
    open("/var/mobile");
    ASSERT_TRUE(driver_.tapRow(rowOf("Documents")));
    driver_.drain();
    auto documents = visibleBrowser();
    ASSERT_TRUE(documents);
    EXPECT_EQ(documents->path(), "/var/mobile/Documents");
    EXPECT_EQ(documents->title(), "Documents");

    ASSERT_TRUE(driver_.tapRow(rowOf("Notes.txt")));
    auto sheet = driver_.visibleSheet();
    ASSERT_TRUE(sheet);
    // The sheet leaves the screen beneath in view: the tapped row is no longer selected there.
    EXPECT_FALSE(documents->tableView()->indexPathForSelectedRow());
    ASSERT_EQ(sheet->activityItems().size(), 1u);
    auto url = sheet->activityItems()[0].objectAs<NSURL>();
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString(), "file:///var/mobile/Documents/Notes.txt");
    EXPECT_EQ(sheet->excludedActivityTypes(),
              (std::vector<std::string>{UIActivityTypePostToFacebook, UIActivityTypePostToTwitter, UIActivityTypePostToWeibo,
                                        UIActivityTypeMessage, UIActivityTypeMail, UIActivityTypePrint,
                                        UIActivityTypeCopyToPasteboard, UIActivityTypeAssignToContact,
                                        UIActivityTypeSaveToCameraRoll, UIActivityTypeAddToReadingList,
                                        UIActivityTypePostToFlickr, UIActivityTypePostToVimeo,
                                        UIActivityTypePostToTencentWeibo}));
    EXPECT_EQ(sheet->availableActivityTypes(), (std::vector<std::string>{UIActivityTypeAirDrop}));
    EXPECT_EQ(sheet->presentingViewController(), documents->tabBarController());
    // The send button of the row offers the same sheet.
    ASSERT_TRUE(driver_.cancelSheet());
    ASSERT_TRUE(driver_.tapAccessory(rowOf("Notes.txt")));
    ASSERT_TRUE(driver_.visibleSheet());
    EXPECT_EQ(driver_.visibleSheet()->activityItems()[0].objectAs<NSURL>()->path(), "/var/mobile/Documents/Notes.txt");
}

TEST_F(BrowserTest, AFolderAccessoryZipsItIntoTmpAndOffersTheZip) {
    writeFile("/var/mobile/Media/DCIM/IMG_0001.JPG", "photo");
    writeFile("/var/mobile/Media/Notes/a.txt", "a");
    open("/var/mobile");
    std::string screen = driver_.screen();
    EXPECT_NE(screen.find("Media  [zip]"), std::string::npos) << screen;

    ASSERT_TRUE(driver_.tapAccessory(rowOf("Media")));
    EXPECT_TRUE(log_->contains("/tmp/Media.zip"));
    auto sheet = driver_.visibleSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->activityItems()[0].objectAs<NSURL>()->path(), "/tmp/Media.zip");
    std::string zip = readFile("/tmp/Media.zip");
    ASSERT_GE(zip.size(), 4u);
    EXPECT_EQ(zip.substr(0, 2), "PK");
    EXPECT_NE(zip.find("DCIM/IMG_0001.JPG"), std::string::npos);
    EXPECT_NE(zip.find("Notes/a.txt"), std::string::npos);

    // A folder of the same name elsewhere writes the same path.
    ASSERT_TRUE(driver_.cancelSheet());
    writeFile("/var/mobile/Documents/Media/b.txt", "b");
    visibleBrowser()->zipFolderAtPath("/var/mobile/Documents/Media");
    std::string second = readFile("/tmp/Media.zip");
    EXPECT_NE(second.find("b.txt"), std::string::npos);
    EXPECT_EQ(second.find("IMG_0001.JPG"), std::string::npos);
}

TEST_F(BrowserTest, AFailedZipIsRemovedAndReportedWithoutASheet) {
    makeDirectory("/var/mobile/Media");
    // /tmp is a plain file, so nothing can be written below it.
    removeHostTree(host("/tmp"));
    writeFile("/tmp", "not a folder");
    open("/var/mobile");
    ASSERT_TRUE(driver_.tapAccessory(rowOf("Media")));
    EXPECT_FALSE(driver_.visibleSheet());
    auto alert = driver_.visibleAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Error");
    EXPECT_EQ(readFile("/tmp"), "not a folder");
    ASSERT_TRUE(driver_.pressAlertButton("OK"));
    EXPECT_FALSE(driver_.visibleAlert());
}

// A zip that fails (here a file that cannot be read: this process's memory at address 0) takes
// nothing of what stood at its name: an earlier archive, a FIFO, a link or a device node.
TEST_F(BrowserTest, AFailedZipLeavesWhatStoodAtItsNameAsItWas) {
    writeFile("/var/mobile/Media/a.txt", "a");
    writeFile("/var/mobile/Media/mem", "");
    DeviceRoot::mount("/var/mobile/Media/mem", "/proc/self/mem");
    writeFile("/var/mobile/precious.txt", "keep me");
    struct Case {
        const char* what;
        std::function<bool(const std::string& hostPath)> make;
        mode_t type;
    };
    const Case cases[] = {
        {"an earlier archive", [](const std::string& p) { return bool(std::ofstream(p) << "the earlier archive"); }, S_IFREG},
        {"a FIFO", [](const std::string& p) { return ::mkfifo(p.c_str(), 0644) == 0; }, S_IFIFO},
        {"a link", [](const std::string& p) { return ::symlink("../var/mobile/precious.txt", p.c_str()) == 0; }, S_IFLNK},
        {"a dangling link", [](const std::string& p) { return ::symlink("/nowhere.zip", p.c_str()) == 0; }, S_IFLNK},
        {"a device node", [](const std::string& p) { return ::mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; }, S_IFCHR},
    };
    open("/var/mobile");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string zip = host("/tmp/Media.zip");
        removeHostTree(zip);
        // A device node needs a privilege this process may lack.
        if (!c.make(zip)) continue;
        log_->clear();
        visibleBrowser()->zipFolderAtPath("/var/mobile/Media");
        EXPECT_TRUE(log_->contains("[TKZipArchive] Failed to read \"/var/mobile/Media/mem\""));
        EXPECT_FALSE(driver_.visibleSheet());
        ASSERT_TRUE(driver_.visibleAlert());
        ASSERT_TRUE(driver_.pressAlertButton("OK"));
        struct stat st{};
        ASSERT_EQ(::lstat(zip.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, c.type);
        if (c.type == S_IFREG) {
            EXPECT_EQ(readFile("/tmp/Media.zip"), "the earlier archive");
        }
        EXPECT_EQ(readFile("/var/mobile/precious.txt"), "keep me");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(host("/tmp")), std::filesystem::directory_iterator()), 1)
            << "nothing of the failed archive is left beside it";
    }
    DeviceRoot::mount("/var/mobile/Media/mem", "");
}

TEST_F(BrowserTest, AFolderInTheWayOfTheZipIsLeftAlone) {
    writeFile("/var/mobile/Media/a.txt", "a");
    writeFile("/tmp/Media.zip/keep.txt", "keep");
    open("/var/mobile");
    ASSERT_TRUE(driver_.tapAccessory(rowOf("Media")));
    EXPECT_FALSE(driver_.visibleSheet());
    ASSERT_TRUE(driver_.visibleAlert());
    EXPECT_EQ(readFile("/tmp/Media.zip/keep.txt"), "keep");
}

TEST_F(BrowserTest, ABrokenLinkShowsTheZipButtonAndItsRowDoesNothing) {
    makeDirectory("/var/mobile/Media");
    ASSERT_EQ(::symlink("/nowhere", host("/var/mobile/Media/Old").c_str()), 0);
    writeFile("/var/mobile/Media/file.txt", "x");
    open("/var/mobile/Media");
    std::string screen = driver_.screen();
    EXPECT_NE(screen.find("Old  [zip]"), std::string::npos) << screen;
    EXPECT_NE(screen.find("file.txt  [send]"), std::string::npos) << screen;
    auto before = driver_.visibleNavigationController()->viewControllers().size();
    ASSERT_TRUE(driver_.tapRow(rowOf("Old")));
    EXPECT_FALSE(driver_.visibleSheet());
    EXPECT_EQ(driver_.visibleNavigationController()->viewControllers().size(), before);
    EXPECT_FALSE(driver_.visibleAlert());
}

TEST_F(BrowserTest, LinksLeadingOutOfTheDeviceShowZipAndDeleteNothingOfTheHost) {
    TemporaryFolder outside;
    std::ofstream(outside.path() + "/HostSecret.txt") << "host";
    const std::string up = "../../../../../../../../../../../..";
    for (const std::string& target : {outside.path(), up + outside.path()}) {
        SCOPED_TRACE(target);
        writeFile("/var/mobile/Media/Out/.keep", "");
        removeHostTree(host("/var/mobile/Media/Out"));
        ASSERT_EQ(::symlink(target.c_str(), host("/var/mobile/Media/Out").c_str()), 0);
        ASSERT_EQ(::symlink((target + "/HostSecret.txt").c_str(), host("/var/mobile/Media/Secret").c_str()), 0);
        EXPECT_TRUE(open("/var/mobile/Media/Out")->files().empty());
        visibleBrowser()->zipFolderAtPath("/var/mobile/Media");
        EXPECT_EQ(readFile("/tmp/Media.zip").find("Secret"), std::string::npos);
        UIApplication::sharedApplication()->reset();
        open("/var/mobile/Media");
        ASSERT_TRUE(driver_.deleteRow(rowOf("Out")));
        ASSERT_TRUE(driver_.deleteRow(rowOf("Secret")));
        EXPECT_TRUE(visibleBrowser()->files().empty());
        std::ifstream kept(outside.path() + "/HostSecret.txt");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "host");
        UIApplication::sharedApplication()->reset();
    }
}

TEST_F(BrowserTest, SwipeDeleteRemovesFromDiskAndRelists) {
    writeFile("/var/mobile/Documents/Old/deep/file.txt", "x");
    writeFile("/var/mobile/Documents/keep.txt", "x");
    open("/var/mobile/Documents");
    ASSERT_TRUE(driver_.deleteRow(rowOf("Old")));
    EXPECT_FALSE(hostExists("/var/mobile/Documents/Old"));
    EXPECT_TRUE(log_->contains("Removing /var/mobile/Documents/Old"));
    EXPECT_EQ(visibleBrowser()->files(), (std::vector<std::string>{"keep.txt"}));
    std::string screen = driver_.screen();
    EXPECT_NE(screen.find("rows 0-0 of 1"), std::string::npos) << screen;
    EXPECT_EQ(visibleBrowser()->tableView()->lastRowAnimation(), UITableViewRowAnimationFade);
    ASSERT_TRUE(driver_.deleteRow(0));
    EXPECT_TRUE(visibleBrowser()->files().empty());
    EXPECT_NE(driver_.screen().find("rows: none"), std::string::npos);
}

TEST_F(BrowserTest, PullToRefreshRedrawsWithoutReadingTheFolderAgain) {
    writeFile("/var/mobile/Documents/a.txt", "x");
    auto browser = open("/var/mobile/Documents");
    writeFile("/var/mobile/Documents/b.txt", "x");
    ASSERT_TRUE(driver_.pullToRefresh());
    EXPECT_EQ(browser->files(), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(browser->tableView()->lastRowAnimation(), UITableViewRowAnimationFade);
    std::shared_ptr<UIRefreshControl> refresh;
    for (auto& view : browser->tableView()->subviews())
        if (auto control = std::dynamic_pointer_cast<UIRefreshControl>(view)) refresh = control;
    ASSERT_TRUE(refresh);
    EXPECT_FALSE(refresh->isRefreshing());
}

TEST_F(BrowserTest, CellsShowTheNameWithAnAccessoryButtonOfTwentySixPoints) {
    writeFile("/var/mobile/Documents/a.txt", "x");
    auto browser = open("/var/mobile/Documents");
    auto table = browser->tableView();
    table->layoutIfNeeded();
    auto cell = table->cellForRowAtIndexPath({0, 0});
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->style(), UITableViewCellStyleSubtitle);
    EXPECT_EQ(cell->reuseIdentifier(), "Cell");
    EXPECT_EQ(cell->selectionStyle(), UITableViewCellSelectionStyleBlue);
    auto button = std::dynamic_pointer_cast<UIButton>(cell->accessoryView());
    ASSERT_TRUE(button);
    EXPECT_EQ(button->frame().size, CGSizeMake(26, 26));
    EXPECT_EQ(button->currentBackgroundImage()->size(), CGSizeMake(26, 26));
    EXPECT_EQ(button->currentBackgroundImage()->CGImage()->width(), 52);
    EXPECT_EQ(button->currentBackgroundImage()->name(), "send");
    EXPECT_TRUE(button->backgroundColor()->isEqual(UIColor::clearColor().get()));
    auto footer = std::dynamic_pointer_cast<UILabel>(table->tableFooterView());
    ASSERT_TRUE(footer);
    EXPECT_EQ(footer->frame().size.height, 20);
    EXPECT_EQ(footer->textAlignment(), NSTextAlignmentCenter);
    EXPECT_EQ(footer->font()->pointSize(), 10);
    EXPECT_TRUE(footer->font()->isItalic());
    EXPECT_TRUE(browser->isFirstResponder());
}

TEST_F(BrowserTest, StartUpBuildsTheTabBarWithTheFilesTabs) {
    auto delegate = launch();
    EXPECT_TRUE(log_->contains("Tandrel did finish launching"));
    EXPECT_TRUE(hostExists("/var/mobile/Tandrel"));
    EXPECT_TRUE(UIApplication::sharedApplication()->applicationSupportsShakeToEdit());
    auto window = delegate->window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_TRUE(window->backgroundColor()->isEqual(UIColor::whiteColor().get()));
    auto tabs = delegate->tabBarController();
    EXPECT_EQ(window->rootViewController(), tabs);
    auto items = tabs->tabBar()->items();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[0]->title(), "Files");
    EXPECT_TRUE(items[0]->isEnabled());
    EXPECT_EQ(items[1]->title(), "Files");
    EXPECT_FALSE(items[1]->isEnabled());
    for (auto& item : {items[0], items[1]}) {
        ASSERT_TRUE(item->image());
        EXPECT_EQ(item->image()->size(), CGSizeMake(30, 30));
        EXPECT_EQ(item->image()->name(), "files_list");
        EXPECT_TRUE(item->effectiveTitleTextAttributesForState(UIControlStateNormal).textColor->isEqual(UIColor::whiteColor().get()));
        EXPECT_TRUE(item->effectiveTitleTextAttributesForState(UIControlStateHighlighted)
                        .textColor->isEqual(UIColor::colorWithRed(91 / 255.0, 135 / 255.0, 1, 1).get()));
    }
    EXPECT_TRUE(tabs->tabBar()->barTintColor()->isEqual(UIColor::colorWithRed(42 / 255.0, 42 / 255.0, 42 / 255.0, 1).get()));
    auto controllers = tabs->viewControllers();
    ASSERT_EQ(controllers.size(), 3u);
    for (auto& controller : {controllers[0], controllers[1]}) {
        auto nav = std::dynamic_pointer_cast<UINavigationController>(controller);
        ASSERT_TRUE(nav);
        EXPECT_TRUE(nav->navigationBar()->barTintColor()->isEqual(UIColor::colorWithRed(91 / 255.0, 165 / 255.0, 1, 1).get()));
        EXPECT_TRUE(nav->navigationBar()->tintColor()->isEqual(UIColor::blackColor().get()));
        EXPECT_EQ(std::dynamic_pointer_cast<TDBrowser>(nav->topViewController())->path(), "/");
    }
    std::string screen = driver_.screen();
    EXPECT_NE(screen.find("tabs: *\"Files\" | \"Files\" (disabled) | \"Media\""), std::string::npos) << screen;
    // The disabled tab cannot be selected.
    EXPECT_FALSE(driver_.selectTab("1"));
    EXPECT_EQ(tabs->selectedIndex(), 0u);
}

TEST_F(BrowserTest, AnExistingAppFolderIsLeftUntouched) {
    writeFile("/var/mobile/Tandrel/received.txt", "kept");
    launch();
    EXPECT_EQ(readFile("/var/mobile/Tandrel/received.txt"), "kept");
}

namespace {
TEST_F(BrowserTest, TheReceivedButtonShowsTheAppFolderInAPopoverUnderIt) {
    writeFile("/var/mobile/Tandrel/notes.txt", "notes");
    auto browser = open("/var/mobile");
    auto button = browser->navigationItem()->rightBarButtonItem();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->style(), UIBarButtonItemStyleBordered);
    EXPECT_TRUE(driver_.tap("received")) << driver_.lastError();
    driver_.drain();

    auto popover = browser->importedFiles();
    ASSERT_NE(popover, nullptr);
    EXPECT_TRUE(popover->isPopoverVisible());
    EXPECT_EQ(popover->backgroundView()->arrowDirection(), PVPopoverArrowDirectionUp);
    auto content = std::dynamic_pointer_cast<UINavigationController>(popover->contentViewController());
    ASSERT_NE(content, nullptr);
    auto tint = content->navigationBar()->barTintColor();
    ASSERT_NE(tint, nullptr);
    EXPECT_NEAR(tint->red() * 255, 42, 0.01);
    auto list = std::dynamic_pointer_cast<TDReceived>(content->topViewController());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->path(), "/var/mobile/Tandrel");
    EXPECT_EQ(list->files(), std::vector<std::string>{"notes.txt"});

    // Each showing makes a new popover, which replaces the one kept before.
    popover->dismissPopoverAnimatedOptions(false, 0);
    driver_.drain();
    browser->showReceivedFiles();
    driver_.drain();
    EXPECT_NE(browser->importedFiles(), popover);
}
// The arrow points at the middle of a 50-point square under the button: 55 points in from the
// right edge, 60 on an iPad; the button's image is "received" redrawn at 29 points.
TEST_F(BrowserTest, TheReceivedPopoversArrowPointsUnderTheButton) {
    struct Case {
        const char* model;
        CGFloat inset;
    } cases[] = {{"iPhone", 55}, {"iPad mini", 60}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        DeviceProfile::update([&](DeviceProfile& profile) { profile.model = c.model; });
        auto browser = open("/var/mobile");
        auto image = browser->navigationItem()->rightBarButtonItem()->image();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->size().width, 29);
        EXPECT_EQ(image->size().height, 29);
        browser->showReceivedFiles();
        driver_.drain();
        auto bubble = browser->importedFiles()->backgroundView();
        ASSERT_NE(bubble, nullptr);
        CGRect arrow = bubble->convertRectToView(bubble->arrowRect(), nullptr);
        CGFloat width = browser->view()->bounds().size.width;
        EXPECT_NEAR(CGRectGetMidX(arrow), width - c.inset + 25, 0.5) << NSStringFromCGRect(arrow);
        browser->importedFiles()->dismissPopoverAnimated(false);
        UIApplication::sharedApplication()->reset();
    }
    DeviceProfile::reset();
}
} // namespace

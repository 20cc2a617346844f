#include "app/TDReceived.h"
#include "platform/uikit/NSIndexPath.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreenDescription.h"
#include "platform/uikit/UIWindow.h"

#include <filesystem>

namespace {
using Names = std::vector<std::string>;

Names sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

class ReceivedTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        writeFile("/var/mobile/Tandrel/song.m4a", "song");
        writeFile("/var/mobile/Tandrel/.hidden", "x");
        writeFile("/var/mobile/Tandrel/$RECYCLE.BIN/old", "x");
        writeFile("/var/mobile/Tandrel/album/one.jpg", "1");
        writeFile("/var/mobile/Tandrel/album/two.jpg", "2");
        list_ = TDReceived::initWithPath("/var/mobile/Tandrel");
        nav_ = UINavigationController::initWithRootViewController(list_);
        list_->view();
    }
    long rowOf(const std::shared_ptr<TDReceived>& list, const std::string& name) {
        auto& files = list->files();
        return static_cast<long>(std::find(files.begin(), files.end(), name) - files.begin());
    }

    std::shared_ptr<TDReceived> list_;
    std::shared_ptr<UINavigationController> nav_;
};

TEST_F(ReceivedTest, ListsTheFolderWithoutHiddenNamesOrTheRecycleBin) {
    EXPECT_EQ(sorted(list_->files()), (Names{"album", "song.m4a"}));
    EXPECT_EQ(list_->hiddenFiles(), Names{".hidden"});
    EXPECT_TRUE(log_->contains("Removed .hidden from array"));
    EXPECT_EQ(list_->title(), "Received Files");
    EXPECT_EQ(list_->navigationItem()->rightBarButtonItem(), list_->editButtonItem());
    auto cell = list_->tableViewCellForRowAtIndexPath(*list_->tableView(), NSIndexPath::indexPathForRowInSection(rowOf(list_, "album"), 0));
    EXPECT_EQ(cell->textLabel()->text(), "album");
    EXPECT_EQ(cell->accessoryType(), UITableViewCellAccessoryNone);
    EXPECT_EQ(cell->accessoryView(), nullptr);
}

TEST_F(ReceivedTest, AnUnreadableFolderListsNothingAndLogsNothing) {
    log_->clear();
    auto list = TDReceived::initWithPath("/var/mobile/Tandrel/missing");
    EXPECT_TRUE(list->files().empty());
    EXPECT_TRUE(log_->lines().empty());
}

TEST_F(ReceivedTest, ASubfolderOpensInsideTheSameNavigationAndKeepsTheTitle) {
    list_->tableViewDidSelectRowAtIndexPath(*list_->tableView(), NSIndexPath::indexPathForRowInSection(rowOf(list_, "album"), 0));
    drainMain();
    auto sub = std::dynamic_pointer_cast<TDReceived>(nav_->topViewController());
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->path(), "/var/mobile/Tandrel/album");
    EXPECT_EQ(sub->title(), "Received Files");
    EXPECT_EQ(sorted(sub->files()), (Names{"one.jpg", "two.jpg"}));
}

TEST_F(ReceivedTest, RefreshReadsTheFolderAgain) {
    writeFile("/var/mobile/Tandrel/new.pdf", "new");
    EXPECT_EQ(rowOf(list_, "new.pdf"), static_cast<long>(list_->files().size()));
    UIRefreshControl control;
    list_->refreshTriggered(control);
    EXPECT_EQ(sorted(list_->files()), (Names{"album", "new.pdf", "song.m4a"}));
}

TEST_F(ReceivedTest, DeletingRemovesAFolderWithItsContents) {
    list_->tableViewCommitEditingStyleForRowAtIndexPath(*list_->tableView(), UITableViewCellEditingStyleDelete,
                                                        NSIndexPath::indexPathForRowInSection(rowOf(list_, "album"), 0));
    EXPECT_FALSE(std::filesystem::exists(host("/var/mobile/Tandrel/album")));
    EXPECT_TRUE(log_->contains("Removing /var/mobile/Tandrel/album"));
    EXPECT_EQ(list_->files(), Names{"song.m4a"});
    // Any other editing style removes nothing.
    list_->tableViewCommitEditingStyleForRowAtIndexPath(*list_->tableView(), UITableViewCellEditingStyleInsert,
                                                        NSIndexPath::indexPathForRowInSection(0, 0));
    EXPECT_EQ(readFile("/var/mobile/Tandrel/song.m4a"), "song");
}
} // namespace

namespace {
TEST_F(ReceivedTest, AFilesRowOffersItToOtherAppsFromTheCentreOfTheList) {
    writeFile("/Applications/Player.app/Info.plist", R"(<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>com.example.player</string><key>CFBundleDisplayName</key><string>Player</string>
<key>CFBundleDocumentTypes</key><array><dict><key>LSItemContentTypes</key><array><string>public.audio</string></array></dict></array>
</dict></plist>)");
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->setRootViewController(nav_);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();

    list_->tableViewDidSelectRowAtIndexPath(*list_->tableView(), NSIndexPath::indexPathForRowInSection(rowOf(list_, "song.m4a"), 0));
    UIScreenDescription screen;
    screen.describeWindow(window);
    EXPECT_NE(screen.text().find("menu: \"song.m4a\" file:///var/mobile/Tandrel/song.m4a offers: AirDrop, Open in Player"),
              std::string::npos)
        << screen.text();

    UIScreenReply reply;
    EXPECT_TRUE(*screen.perform("complete", "Open in Player", reply)) << reply.error;
    auto& handed = UIApplication::sharedApplication()->handedDocuments();
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].application, "com.example.player");
    EXPECT_EQ(handed[0].url->path(), "/var/mobile/Tandrel/song.m4a");
    UIApplication::sharedApplication()->reset();
}

TEST_F(ReceivedTest, TheMenuIsAnchoredAtTheListsCentreAndAFolderOpensNoMenu) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->setRootViewController(nav_);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();
    list_->tableViewDidSelectRowAtIndexPath(*list_->tableView(), NSIndexPath::indexPathForRowInSection(rowOf(list_, "song.m4a"), 0));
    auto menu = list_->docController();
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->isMenuVisible());
    EXPECT_EQ(menu->name(), "song.m4a");
    EXPECT_EQ(menu->delegate().get(), static_cast<UIDocumentInteractionControllerDelegate*>(list_.get()));
    EXPECT_EQ(menu->presentedView(), list_->view());
    CGRect bounds = list_->view()->bounds();
    EXPECT_EQ(NSStringFromCGRect(menu->presentedRect()),
              NSStringFromCGRect(CGRectMake(bounds.size.width / 2, bounds.size.height / 2, 50, 50)));
    UIScreenDescription screen;
    screen.describeWindow(window);
    UIScreenReply reply;
    EXPECT_TRUE(*screen.perform("cancel", "", reply));
    EXPECT_FALSE(menu->isMenuVisible());
    EXPECT_TRUE(UIApplication::sharedApplication()->handedDocuments().empty());

    list_->tableViewDidSelectRowAtIndexPath(*list_->tableView(), NSIndexPath::indexPathForRowInSection(rowOf(list_, "album"), 0));
    EXPECT_EQ(list_->docController(), menu) << "a folder opens no menu";
    EXPECT_FALSE(menu->isMenuVisible());
}
} // namespace

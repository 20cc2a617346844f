#include "app/TDReceived.h"
#include "platform/uikit/NSIndexPath.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UINavigationController.h"

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

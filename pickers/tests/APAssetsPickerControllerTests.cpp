#include "APAssetsPickerFixture.h"

#include "pickers/assetpicker/ALAsset+isEqual.h"
#include "pickers/assetpicker/APAssetsGroupViewCell.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/media/SampleMedia.h"

#include <gtest/gtest.h>

namespace {

std::vector<ALAssetPtr> assetsOf(const ALAssetsGroupPtr& group) {
    std::vector<ALAssetPtr> assets;
    group->enumerateAssetsUsingBlock([&](const ALAssetPtr& asset, unsigned long, bool*) {
        if (asset) assets.push_back(asset);
    });
    return assets;
}

std::vector<std::string> rowTexts(APAssetsGroupViewController& list) {
    std::vector<std::string> rows;
    auto table = list.tableView();
    table->layoutIfNeeded();
    for (long row = 0; row < table->numberOfRowsInSection(0); ++row)
        if (auto cell = table->cellForRowAtIndexPath({0, row}))
            rows.push_back(cell->textLabel()->text() + " " + cell->detailTextLabel()->text() + (cell->accessoryType() == UITableViewCellAccessoryDisclosureIndicator ? " >" : ""));
    return rows;
}

void postLibraryChange(const char* key, const ALAssetsGroupPtr& group) {
    NSNotificationCenter::defaultCenter()->postNotificationName(ALAssetsLibraryChangedNotification, {},
                                                                {{key, Value::Array{Value(group->url())}}});
}

TEST_F(APAssetsPickerTest, TheAlbumListShowsTheCameraRollFirstCountedUnderThePickersFilter) {
    TestMediaLibrary::make();
    auto all = present();
    EXPECT_EQ(rowTexts(*list_), (std::vector<std::string>{"Camera Roll 5 >", "Holidays 2 >"}));
    auto text = screen();
    for (const char* shown : {"\"Photos\"", "left: [Cancel]", "right: [Done (disabled)]"}) EXPECT_TRUE(shows(text, shown)) << shown << "\n" << text;
    EXPECT_FALSE(shows(text, "toolbar:")) << "the toolbar waits for a selection";
    EXPECT_EQ(list_->tableView()->rowHeight(), 90);
    root_->dismissViewControllerAnimatedCompletion(false, nullptr);
    drainMain();

    auto videos = present([](APAssetsPickerController& p) {
        p.assetsFilter = ALAssetsFilter::allVideos();
        p.setTitle("Pick Video");
        p.showsCancelButton = false;
    });
    EXPECT_EQ(rowTexts(*list_), (std::vector<std::string>{"Camera Roll 2 >", "Holidays 0 >"}));
    text = screen();
    EXPECT_TRUE(shows(text, "\"Pick Video\"")) << text;
    EXPECT_FALSE(shows(text, "Cancel")) << text;
    EXPECT_TRUE(shows(text, "right: [Done (disabled)]")) << text;
}

TEST_F(APAssetsPickerTest, AlbumsTheLibraryAddsLaterGetTheFilterAndTheVetoOfTheFirstOnes) {
    TestMediaLibrary::make();
    host_->showGroup = [](const std::string& name) { return name != "Secret"; };
    auto picker = present([](APAssetsPickerController& p) { p.assetsFilter = ALAssetsFilter::allVideos(); });
    ASSERT_EQ(rowTexts(*list_).size(), 2u);

    for (const char* name : {"Trips", "Secret"}) {
        ASSERT_TRUE(SampleMedia::writeVideo(std::string("/var/mobile/Media/Albums/") + name + "/Clip.MOV", 64, 48, 1));
        ASSERT_TRUE(SampleMedia::writePhoto(std::string("/var/mobile/Media/Albums/") + name + "/Shot.JPG", *SampleMedia::picture(64, 48, name),
                                            SampleMedia::PhotoFormat::JPEG));
        postLibraryChange(ALAssetLibraryInsertedAssetGroupsKey, ALAssetsGroup::albumNamed(name));
    }
    ASSERT_TRUE(runMainUntil([&] { return rowTexts(*list_).size() == 3; }));
    drainMain();
    // One video of the two files: the picker's filter, not the library's; the vetoed album stays out.
    EXPECT_EQ(rowTexts(*list_), (std::vector<std::string>{"Camera Roll 2 >", "Holidays 0 >", "Trips 1 >"}));

    // An update hands out a new album object: it is filtered and asked about too.
    host_->showGroup = [](const std::string& name) { return name != "Holidays"; };
    postLibraryChange(ALAssetLibraryUpdatedAssetGroupsKey, ALAssetsGroup::albumNamed("Trips"));
    postLibraryChange(ALAssetLibraryUpdatedAssetGroupsKey, ALAssetsGroup::albumNamed("Holidays"));
    ASSERT_TRUE(runMainUntil([&] { return rowTexts(*list_).size() == 2; }));
    EXPECT_EQ(rowTexts(*list_), (std::vector<std::string>{"Camera Roll 2 >", "Trips 1 >"}));
    EXPECT_EQ(list_->tableView()->lastRowAnimation(), UITableViewRowAnimationAutomatic);

    postLibraryChange(ALAssetLibraryDeletedAssetGroupsKey, ALAssetsGroup::albumNamed("Trips"));
    postLibraryChange(ALAssetLibraryDeletedAssetGroupsKey, ALAssetsGroup::albumNamed("Secret"));
    ASSERT_TRUE(runMainUntil([&] { return rowTexts(*list_).size() == 1; }));
    drainMain();
    EXPECT_EQ(rowTexts(*list_), std::vector<std::string>{"Camera Roll 2 >"}) << "an album the list does not hold changes nothing";
    (void)picker;
}

TEST_F(APAssetsPickerTest, AlbumsAfterARefusedCameraRollDoNotSitOnTheEmptyMessage) {
    TestMediaLibrary::make();
    host_->showGroup = [](const std::string& name) { return name != "Camera Roll"; };
    present();
    ASSERT_TRUE(runMainUntil([&] { return rowTexts(*list_).size() == 1; }));
    EXPECT_EQ(rowTexts(*list_), std::vector<std::string>{"Holidays 2 >"});
    EXPECT_FALSE(list_->tableView()->backgroundView()) << "the camera roll's empty end left its message behind the album";
}

TEST_F(APAssetsPickerTest, ADeniedLibraryShowsTheNoAccessMessageWithoutATitle) {
    TestMediaLibrary::make();
    DeviceProfile::update([](DeviceProfile& p) { p.photoLibraryAccessDenied = true; });
    present();
    auto text = screen();
    for (const char* shown : {"This app does not have access to your photos or videos.", "You can enable access in Privacy Settings."})
        EXPECT_TRUE(shows(text, shown)) << shown << "\n" << text;
    EXPECT_EQ(list_->title(), "");
    EXPECT_EQ(list_->tableView()->numberOfRowsInSection(0), 0);
}

// The device's camera roll is always there: a list without albums is one whose albums the host refuses.
TEST_F(APAssetsPickerTest, AnEmptyListNamesTheDeviceAndWhetherItHasACamera) {
    host_->showGroup = [](const std::string&) { return false; };
    const struct {
        int cameras;
        std::string model;
        std::string message;
    } cases[] = {
        {2, "iPhone", "You can take photos and videos using the camera, or sync photos and videos onto your iPhone\nusing iTunes."},
        {0, "iPad", "You can sync photos and videos onto your iPad using iTunes."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        DeviceProfile::update([&](DeviceProfile& p) {
            p.cameraCount = c.cameras;
            p.model = c.model;
        });
        auto picker = present();
        EXPECT_EQ(picker->noAssetsMessage(), c.message);
        auto text = screen();
        EXPECT_TRUE(shows(text, "No Photos or Videos")) << text;
        root_->dismissViewControllerAnimatedCompletion(false, nullptr);
        drainMain();
    }
}

TEST_F(APAssetsPickerTest, TheEmptyMessageIsCentredAndItsLinesStacked) {
    host_->showGroup = [](const std::string&) { return false; };
    auto picker = present();
    auto background = list_->tableView()->backgroundView();
    ASSERT_TRUE(background);
    background->setFrame(CGRectMake(0, 0, 320, 480));
    background->layoutIfNeeded();
    auto center = background->subviews().at(0);
    auto title = center->subviews().at(0), message = center->subviews().at(1);
    CGRect t = title->frame(), m = message->frame(), c = center->frame();
    EXPECT_NEAR(c.origin.x + c.size.width / 2, 160, 0.5);
    EXPECT_NEAR(c.origin.y + c.size.height / 2, 240, 0.5);
    EXPECT_NEAR(t.origin.x + t.size.width / 2, c.size.width / 2, 0.5) << "centred in the middle view";
    EXPECT_NEAR(m.origin.x + m.size.width / 2, c.size.width / 2, 0.5);
    EXPECT_DOUBLE_EQ(t.origin.y, 0);
    EXPECT_DOUBLE_EQ(m.origin.y, t.origin.y + t.size.height + 8) << "the standard space between title and message";
    EXPECT_DOUBLE_EQ(c.size.height, m.origin.y + m.size.height);
    EXPECT_LE(m.size.width, 304) << "the message wraps at the preferred width";
    EXPECT_GT(m.size.height, t.size.height / 26 * 18) << "the long message takes more than one line";
    (void)picker;
}

TEST_F(APAssetsPickerTest, TheToolbarSummarisesTheSelectionAndDoneFollowsIt) {
    TestMediaLibrary::make();
    auto picker = present();
    auto roll = assetsOf(ALAssetsGroup::cameraRoll());
    std::vector<ALAssetPtr> photos, videos;
    for (auto& asset : roll) (asset->valueForProperty(ALAssetPropertyType) == Value(ALAssetTypeVideo) ? videos : photos).push_back(asset);
    ASSERT_GE(photos.size(), 2u);
    ASSERT_GE(videos.size(), 1u);
    ALAssetPtr photo1 = photos[0], photo2 = photos[1], video = videos[0];
    std::vector<Value> posted;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(APAssetsPickerSelectedAssetsChangedNotification, nullptr, nullptr,
                                                                           [&](const std::shared_ptr<NSNotification>& n) { posted.push_back(n->object()); });

    const struct {
        std::function<void()> change;
        std::string title;
    } steps[] = {
        {[&] { picker->selectAsset(video); }, "1 Video Selected"},
        {[&] { picker->deselectAsset(video); }, ""},
        {[&] { picker->selectAsset(photo1); }, "1 Photo Selected"},
        {[&] { picker->selectAsset(photo2); }, "2 Photos Selected"},
        {[&] { picker->selectAsset(video); }, "3 Items Selected"},
    };
    for (const auto& step : steps) {
        step.change();
        SCOPED_TRACE(step.title);
        EXPECT_EQ(picker->toolbarTitle(), step.title);
        EXPECT_EQ(picker->isToolbarHidden(), step.title.empty());
        EXPECT_EQ(list_->navigationItem()->rightBarButtonItem()->isEnabled(), !step.title.empty());
        EXPECT_EQ(list_->toolbarItems().at(1)->title(), step.title);
    }
    EXPECT_EQ(posted.size(), 5u);
    EXPECT_EQ(APAssetsOfValue(posted.back()).size(), 3u);
    EXPECT_TRUE(shows(screen(), "toolbar: 3 Items Selected"));

    driver_.execute("tap Done");
    ASSERT_EQ(host_->finished.size(), 1u);
    EXPECT_EQ(host_->finished[0].size(), 3u);
    EXPECT_EQ(root_->presentedViewController(), picker) << "the host dismisses the picker, not Done";
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(APAssetsPickerTest, TheSameAssetFromAnotherEnumerationIsTheSelectedOne) {
    TestMediaLibrary::make();
    auto picker = present();
    auto first = assetsOf(ALAssetsGroup::cameraRoll());
    auto again = assetsOf(ALAssetsGroup::cameraRoll());
    ASSERT_NE(first[0], again[0]);
    picker->selectAsset(first[0]);
    picker->selectAsset(first[1]);
    EXPECT_TRUE(ALAsset_isEqual::containsObject(picker->selectedAssets(), again[0]));
    EXPECT_FALSE(ALAsset_isEqual::isEqual(first[0], again[1]));
    picker->deselectAsset(again[2]);
    EXPECT_EQ(picker->countOfSelectedAssets(), 2) << "an asset not selected leaves the selection as it is";
    picker->deselectAsset(again[0]);
    ASSERT_EQ(picker->countOfSelectedAssets(), 1);
    EXPECT_EQ(picker->objectInSelectedAssetsAtIndex(0), first[1]);
    EXPECT_TRUE(ALAssetsGroup_isEqual::isEqual(ALAssetsGroup::albumNamed("Holidays"), ALAssetsGroup::albumNamed("Holidays")));
    EXPECT_FALSE(ALAssetsGroup_isEqual::isEqual(ALAssetsGroup::albumNamed("Holidays"), ALAssetsGroup::cameraRoll()));
}

TEST_F(APAssetsPickerTest, CancelTellsTheHostThenDismissesThePicker) {
    TestMediaLibrary::make();
    present();
    EXPECT_EQ(driver_.execute("tap Cancel"), "");
    EXPECT_TRUE(runMainUntil([&] { return !root_->presentedViewController(); }));
    EXPECT_EQ(host_->events, std::vector<std::string>{"cancel"});
}

TEST_F(APAssetsPickerTest, AnAlbumRowShowsItsPosterSeventyEightPointsHigh) {
    TestMediaLibrary::make();
    present();
    list_->tableView()->layoutIfNeeded();
    auto cell = std::dynamic_pointer_cast<APAssetsGroupViewCell>(list_->tableView()->cellForRowAtIndexPath({0, 1}));
    ASSERT_TRUE(cell);
    auto poster = cell->imageView()->image();
    ASSERT_TRUE(poster);
    EXPECT_NEAR(poster->size().height, 78, 1e-3);
    EXPECT_NEAR(poster->scale(), poster->CGImage()->height() / 78.0, 1e-5);
    EXPECT_EQ(cell->accessibilityLabel(), "Holidays2 Photos");
    EXPECT_EQ(cell->accessoryType(), UITableViewCellAccessoryDisclosureIndicator);
}

} // namespace

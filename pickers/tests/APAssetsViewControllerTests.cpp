#include "APAssetsPickerFixture.h"

#include "pickers/assetpicker/APAssetsSupplementaryView.h"
#include "pickers/assetpicker/APAssetsViewCell.h"
#include "pickers/assetpicker/APAssetsViewController.h"
#include "pickers/assetpicker/NSDate+timeDescription.h"
#include "platform/graphics/CGContext.h"
#include "platform/media/ALAssetsLibrary.h"
#include "platform/media/SampleMedia.h"
#include "platform/uikit/UIGraphics.h"

#include <gtest/gtest.h>

namespace {

class APAssetsGridTest : public APAssetsPickerTest {
protected:
    // The picker, then the album's grid pushed from its row.
    std::shared_ptr<APAssetsViewController> openAlbum(const std::string& name, const std::function<void(APAssetsPickerController&)>& configure = {}) {
        picker_ = present(configure);
        EXPECT_EQ(driver_.execute("tap " + name), "");
        auto grid = std::dynamic_pointer_cast<APAssetsViewController>(picker_->topViewController());
        EXPECT_TRUE(grid);
        drainMain();
        if (grid) grid->collectionView()->layoutIfNeeded();
        return grid;
    }

    static std::shared_ptr<APAssetsViewCell> cellAt(APAssetsViewController& grid, long item) {
        grid.collectionView()->layoutIfNeeded();
        return std::dynamic_pointer_cast<APAssetsViewCell>(grid.collectionView()->cellForItemAtIndexPath({0, item}));
    }

    static long indexOfType(APAssetsViewController& grid, const char* type, std::size_t nth = 0) {
        for (std::size_t i = 0; i < grid.assets.size(); ++i)
            if (grid.assets[i]->valueForProperty(ALAssetPropertyType) == Value(type) && nth-- == 0) return static_cast<long>(i);
        return -1;
    }

    std::shared_ptr<APAssetsPickerController> picker_;
};

TEST(NSDateTimeDescription, RoundsWholeSecondsFirstAndCountsEveryHour) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "0:00"},      {0.4, "0:00"},      {2, "0:02"},       {59.4, "0:59"},          {59.5, "1:00"}, {75, "1:15"},
        {3599.5, "1:00:00"}, {3725, "1:02:05"}, {25 * 3600, "25:00:00"}, {-3, "0:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(NSDate_timeDescription::timeDescriptionOfTimeInterval(c.seconds), c.text) << c.seconds;
    auto span = NSDate_timeDescription::componetsWithTimeInterval(3725);
    EXPECT_EQ(span->hour() * 3600 + span->minute() * 60 + span->second(), 3725);
    EXPECT_EQ(span->day(), 0);
}

TEST_F(APAssetsGridTest, TheLayoutFollowsTheOrientationOnPhonesOnly) {
    const struct {
        const char* model;
        UIInterfaceOrientation orientation;
        UIEdgeInsets inset;
        CGFloat spacing;
    } cases[] = {
        {"iPhone", UIInterfaceOrientationPortrait, {9, 0, 0, 0}, 2},
        {"iPhone", UIInterfaceOrientationLandscapeLeft, {9, 2, 0, 2}, 3},
        {"iPhone", UIInterfaceOrientationLandscapeRight, {9, 2, 0, 2}, 3},
        {"iPad", UIInterfaceOrientationLandscapeLeft, {9, 0, 0, 0}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.orientation));
        DeviceProfile::update([&](DeviceProfile& p) { p.model = c.model; });
        auto layout = APAssetsViewController::collectionViewFlowLayoutOfOrientation(c.orientation);
        EXPECT_EQ(layout->sectionInset.top, c.inset.top);
        EXPECT_EQ(layout->sectionInset.left, c.inset.left);
        EXPECT_EQ(layout->sectionInset.right, c.inset.right);
        EXPECT_EQ(layout->minimumInteritemSpacing, c.spacing);
        EXPECT_EQ(layout->minimumLineSpacing, c.spacing);
        EXPECT_EQ(layout->itemSize.width, 78);
        EXPECT_EQ(layout->footerReferenceSize.height, 44);
    }
    DeviceProfile::update([&](DeviceProfile& p) { p.model = "iPhone"; });
    // 4 × 78 + 3 × 2 = 318: four columns on a portrait phone.
    EXPECT_EQ(APAssetsViewController::collectionViewFlowLayoutOfOrientation(UIInterfaceOrientationPortrait)->columnsForWidth(320), 4);
}

TEST_F(APAssetsGridTest, TurningThePhoneRelaysTheGridOut) {
    TestMediaLibrary::make();
    auto grid = openAlbum("Camera Roll");
    ASSERT_TRUE(grid);
    EXPECT_EQ(driver_.execute("rotate left"), "");
    EXPECT_EQ(grid->collectionView()->collectionViewLayout()->sectionInset.left, 2);
    EXPECT_EQ(grid->collectionView()->collectionViewLayout()->minimumInteritemSpacing, 3);
    EXPECT_EQ(driver_.execute("rotate portrait"), "");
    EXPECT_EQ(grid->collectionView()->collectionViewLayout()->sectionInset.left, 0);
}

TEST_F(APAssetsGridTest, TheGridShowsTheAlbumWithItsFooterAndVideoLengths) {
    TestMediaLibrary::make();
    auto grid = openAlbum("Camera Roll");
    ASSERT_TRUE(grid);
    auto text = screen();
    for (const char* shown : {"\"Camera Roll\"", "back: [< Photos]", "right: [Done (disabled)]", "items 0-4 of 5:", "footer: 3 Photos, 2 Videos"})
        EXPECT_TRUE(shows(text, shown)) << shown << "\n" << text;
    EXPECT_FALSE(shows(text, "left: [Cancel]"));
    auto first = cellAt(*grid, indexOfType(*grid, ALAssetTypeVideo, 0));
    auto second = cellAt(*grid, indexOfType(*grid, ALAssetTypeVideo, 1));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->title, "0:02");
    EXPECT_EQ(second->title, "0:03");
    EXPECT_EQ(first->typeLabel(), "Video");
    EXPECT_EQ(first->orientationLabel(), "Landscape") << "320 × 240";
    EXPECT_EQ(second->orientationLabel(), "Portrait") << "240 × 320";
    auto photo = cellAt(*grid, indexOfType(*grid, ALAssetTypePhoto));
    EXPECT_TRUE(photo->title.empty());
    EXPECT_EQ(photo->accessibilityText().rfind("Photo, ", 0), 0u) << photo->accessibilityText();

    driver_.execute("back");
    drainMain();
    EXPECT_EQ(driver_.execute("tap Holidays"), "");
    EXPECT_TRUE(shows(screen(), "footer: 2 Photos")) << screen();
}

TEST_F(APAssetsGridTest, TheFooterCountsWhatTheAlbumHolds) {
    const struct {
        int photos, videos;
        const char* text;
    } cases[] = {{1, 0, "1 Photos"}, {2, 1, "2 Photos, 1 Videos"}, {0, 2, "2 Videos"}, {0, 0, "0 Photos"}};
    TestMediaLibrary::make();
    auto all = ALAssetsGroup::cameraRoll();
    std::vector<ALAssetPtr> photos, videos;
    all->enumerateAssetsUsingBlock([&](const ALAssetPtr& a, unsigned long, bool*) {
        if (a) (a->valueForProperty(ALAssetPropertyType) == Value(ALAssetTypeVideo) ? videos : photos).push_back(a);
    });
    auto footer = APAssetsSupplementaryView::initWithFrame(CGRectMake(0, 0, 320, 44));
    for (const auto& c : cases) {
        std::vector<ALAssetPtr> assets(photos.begin(), photos.begin() + c.photos);
        assets.insert(assets.end(), videos.begin(), videos.begin() + c.videos);
        footer->bind(assets);
        EXPECT_EQ(footer->label->text(), c.text);
    }
    footer->layoutIfNeeded();
    EXPECT_NEAR(CGRectGetMidX(footer->label->frame()), 160, 0.5);
}

TEST_F(APAssetsGridTest, TapsSelectThroughTheHostWhoSeesTheToolbarAlreadyUpdated) {
    TestMediaLibrary::make();
    // The Videos screen's rule: one video at a time.
    host_->selectWhile = [](APAssetsPickerController& p) { return p.countOfSelectedAssets() == 0; };
    auto grid = openAlbum("Camera Roll", [](APAssetsPickerController& p) { p.assetsFilter = ALAssetsFilter::allVideos(); });
    ASSERT_TRUE(grid);
    ASSERT_EQ(grid->assets.size(), 2u);
    EXPECT_EQ(driver_.execute("item 0"), "");
    EXPECT_EQ(driver_.execute("item 1"), "");
    EXPECT_EQ(picker_->countOfSelectedAssets(), 1) << "the second video is refused while one is chosen";
    EXPECT_EQ(host_->events, (std::vector<std::string>{"highlight", "unhighlight", "should select", "did select: 1 Video Selected", "highlight",
                                                       "unhighlight", "should select"}));
    auto text = screen();
    EXPECT_TRUE(shows(text, "0: Video, ")) << text;
    EXPECT_TRUE(shows(text, "[selected]")) << text;
    EXPECT_TRUE(shows(text, "toolbar: 1 Video Selected")) << text;
    EXPECT_TRUE(shows(text, "right: [Done]")) << text;

    host_->events.clear();
    EXPECT_EQ(driver_.execute("item 0"), "");
    EXPECT_EQ(picker_->countOfSelectedAssets(), 0);
    EXPECT_EQ(host_->events.back(), "did deselect: ");
    EXPECT_TRUE(picker_->isToolbarHidden());
}

TEST_F(APAssetsGridTest, ADisabledCellIsRefusedWithoutAskingAndShowsOnlyItsOverlay) {
    TestMediaLibrary::make();
    host_->enableAsset = [](const ALAssetPtr& a) { return a->valueForProperty(ALAssetPropertyType) == Value(ALAssetTypePhoto); };
    auto grid = openAlbum("Camera Roll");
    ASSERT_TRUE(grid);
    long video = indexOfType(*grid, ALAssetTypeVideo);
    EXPECT_NE(driver_.execute("item " + std::to_string(video)).rfind("error: ", 0), std::string::npos);
    EXPECT_TRUE(std::find(host_->events.begin(), host_->events.end(), "should select") == host_->events.end());
    EXPECT_TRUE(shows(screen(), "[disabled]"));

    // Disabled and selected (chosen elsewhere): the white disabled veil, no check mark.
    auto cell = cellAt(*grid, video);
    cell->setSelected(true);
    auto enabledCell = cellAt(*grid, indexOfType(*grid, ALAssetTypePhoto));
    enabledCell->setSelected(true);
    auto cornerAlpha = [](APAssetsViewCell& c) {
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(78, 78), false, 1);
        c.drawRect(c.bounds());
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        return image->CGImage()->pixelAt(64, 6);  // inside the 28-point badge, off its tick
    };
    auto disabledPixel = cornerAlpha(*cell);
    auto checkedPixel = cornerAlpha(*enabledCell);
    EXPECT_GT(disabledPixel.red, 200) << "white veil over the corner";
    EXPECT_LT(checkedPixel.red, 150) << "the blue badge in the corner";
}

TEST_F(APAssetsGridTest, ReturningToTheGridMarksTheChosenAssetsAgain) {
    TestMediaLibrary::make();
    auto grid = openAlbum("Holidays");
    ASSERT_TRUE(grid);
    driver_.execute("item 1");
    driver_.execute("back");
    drainMain();
    EXPECT_EQ(driver_.execute("tap Holidays"), "");
    auto again = std::dynamic_pointer_cast<APAssetsViewController>(picker_->topViewController());
    ASSERT_NE(again, grid);
    again->collectionView()->layoutIfNeeded();
    EXPECT_TRUE(cellAt(*again, 1)->isSelected());
    EXPECT_FALSE(cellAt(*again, 0)->isSelected());
    auto paths = again->collectionView()->indexPathsForSelectedItems();
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].item(), 1);
    // A tap on it deselects it from the picker's selection, though the objects are new.
    driver_.execute("item 1");
    EXPECT_EQ(picker_->countOfSelectedAssets(), 0);
}

TEST_F(APAssetsGridTest, TheFirstLoadShowsTheLastFullScreenAndAnEmptyAlbumTheMessage) {
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(SampleMedia::writePhoto("/var/mobile/Media/Albums/Many/P" + std::to_string(100 + i) + ".PNG",
                                            *SampleMedia::picture(16, 16, "p"), SampleMedia::PhotoFormat::PNG));
    makeDirectory("/var/mobile/Media/Albums/Empty");
    auto grid = openAlbum("Many");
    ASSERT_TRUE(grid);
    auto view = grid->collectionView();
    CGFloat content = view->contentSize().height;
    ASSERT_GT(content, view->bounds().size.height);
    EXPECT_DOUBLE_EQ(view->contentOffset().y, content - view->bounds().size.height) << "the end of the content at the bottom, not past it";
    EXPECT_TRUE(shows(screen(), "29: ")) << screen();

    driver_.execute("back");
    drainMain();
    EXPECT_EQ(driver_.execute("tap Empty"), "");
    auto text = screen();
    EXPECT_TRUE(shows(text, "background: No Photos or Videos")) << text;
}

TEST_F(APAssetsGridTest, APhotoCopiedIntoTheCameraRollAppearsInTheGridShowingIt) {
    TestMediaLibrary::make();
    ALAssetsLibraryStartWatchingChanges();
    auto grid = openAlbum("Camera Roll");
    ASSERT_TRUE(grid);
    ASSERT_EQ(grid->assets.size(), 5u);
    ASSERT_TRUE(SampleMedia::writePhoto("/var/mobile/Media/DCIM/100APPLE/IMG_0100.PNG", *SampleMedia::picture(32, 32, "New"),
                                        SampleMedia::PhotoFormat::PNG));
    ASSERT_TRUE(runMainUntil([&] { return grid->assets.size() == 6; }));
    EXPECT_TRUE(shows(screen(), "footer: 4 Photos, 2 Videos")) << screen();
}

} // namespace

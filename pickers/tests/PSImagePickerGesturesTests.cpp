#include "pickers/photopicker/PSAlbumCell.h"
#include "pickers/photopicker/PSImagePickerController.h"
#include "pickers/photopicker/PSPhotoCell.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/media/SampleMedia.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestMediaLibrary.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIPanGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScreenDescription.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

class GestureOwner : public PSImagePickerControllerDelegate {
public:
    void didCancelPSImagePickerController() override {}
    void didSelectPhotosFromPSImagePickerController(PSImagePickerController&, const std::vector<Value>& result) override {
        results.push_back(result);
    }
    std::vector<std::vector<Value>> results;
};

// The picker on a window of its own, as the owner presents it, over the test library; time runs
// on the manual clock so the long press and the animations finish when the test says.
class PSImagePickerGestureTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
        TestMediaLibrary::make();
    }
    void TearDown() override {
        AssetHelper::sharedAssetHelper()->clearData();
        DeviceTest::TearDown();
    }

    // Photos added to the camera roll, small and dated after the library's own.
    static void addPhotos(int count, const std::string& folder = "/var/mobile/Media/DCIM/101APPLE/") {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(SampleMedia::writePhoto(folder + "EXTRA_" + std::to_string(i) + ".JPG", *SampleMedia::picture(64, 48, "x"),
                                                SampleMedia::PhotoFormat::JPEG));
    }

    std::shared_ptr<PSImagePickerController> open(long maxCount, long resultType = 1) {
        auto picker = std::make_shared<PSImagePickerController>();
        picker->delegate = owner;
        picker->nMaxCount = maxCount;
        picker->nResultType = resultType;
        window = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        window->setRootViewController(picker);
        window->makeKeyAndVisible();
        EXPECT_TRUE(runMainUntil([&] { return picker->cvPhotoList->numberOfItemsInSection(0) > 0; }));
        clock.advance(1);
        window->layoutIfNeeded();
        return picker;
    }

    // The centre of grid item N on the window.
    CGPoint itemCentre(const std::shared_ptr<PSImagePickerController>& picker, long item) {
        auto cell = picker->cvPhotoList->cellForItemAtIndexPath({0, item});
        EXPECT_TRUE(cell) << "item " << item << " is not on screen";
        if (!cell) return CGPointZero;
        auto f = cell->frame();
        return picker->cvPhotoList->convertPointToView(CGPointMake(CGRectGetMidX(f), CGRectGetMidY(f)), nullptr);
    }

    void hold(CGPoint at) {
        UIFingers fingers(window);
        fingers.down({at});
        clock.advance(0.3);
        fingers.up();
    }

    std::string screenText(const std::shared_ptr<PSImagePickerController>& picker) {
        UIScreenDescription screen;
        screen.describeViewController(picker);
        return screen.text();
    }

    ManualClock clock;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<GestureOwner> owner = std::make_shared<GestureOwner>();
};

TEST_F(PSImagePickerGestureTest, DraggingSidewaysTogglesEachCellOnceWhileUpAndDownScrolls) {
    addPhotos(10);
    auto picker = open(-1);
    // Across the first row: both photos, each once, in the order the finger met them.
    UIFingers(window).drag(itemCentre(picker, 0), itemCentre(picker, 1), 12);
    EXPECT_EQ(picker->lbSelectCount->text(), "(2)");
    EXPECT_EQ(picker->dSelected->at(0), 0u);
    EXPECT_EQ(picker->dSelected->at(1), 1u);
    EXPECT_FALSE(picker->lastAccessed);
    EXPECT_TRUE(picker->cvPhotoList->isScrollEnabled());
    EXPECT_EQ(picker->cvPhotoList->contentOffset().y, 0) << "a selecting drag does not scroll";
    EXPECT_NE(screenText(picker).find("0: photo (chosen)"), std::string::npos);

    // Up the grid: it scrolls and nothing is chosen or dropped.
    UIFingers(window).drag(CGPointMake(80, 400), CGPointMake(80, 200), 10);
    clock.advance(1);
    EXPECT_GT(picker->cvPhotoList->contentOffset().y, 0);
    EXPECT_EQ(picker->lbSelectCount->text(), "(2)");

    // Single pick without the pan: no selecting drags at all.
    auto single = open(1, 0);
    long pans = 0;
    for (const auto& g : single->view()->gestureRecognizers()) pans += std::dynamic_pointer_cast<UIPanGestureRecognizer>(g) != nullptr;
    EXPECT_EQ(pans, 0);
}

TEST_F(PSImagePickerGestureTest, ASingleMaxOfZeroAnswersOncePerCellTheDragEnters) {
    auto picker = open(0);
    UIFingers(window).drag(itemCentre(picker, 0), itemCentre(picker, 1), 12);
    ASSERT_EQ(owner->results.size(), 2u);
    EXPECT_EQ(owner->results[0].size(), 1u);
}

TEST_F(PSImagePickerGestureTest, ALongPressOpensThePreviewAndADragAwayClosesIt) {
    auto picker = open(3, 0);
    const CGFloat height = picker->view()->frame().size.height;
    // Not on the bar.
    hold(CGPointMake(160, height - 20));
    EXPECT_FALSE(picker->ivPreview);

    hold(itemCentre(picker, 2));
    ASSERT_TRUE(picker->ivPreview);
    auto preview = picker->ivPreview;
    ASSERT_TRUE(preview->image());
    EXPECT_EQ(preview->image()->size(), AssetHelper::sharedAssetHelper()->getImageAtIndex(2, AssetHelperImageFullScreen)->size());
    EXPECT_EQ(picker->view()->subviews().back(), picker->vDimmed) << "the backdrop comes in front of the bar";
    EXPECT_EQ(picker->vDimmed->alpha(), 1);
    EXPECT_NE(screenText(picker).find("preview: image 480\u00d7640 @1"), std::string::npos);
    // A second press while it is open changes nothing.
    hold(CGPointMake(160, 200));
    EXPECT_EQ(picker->ivPreview, preview);

    const CGPoint middle = preview->center();
    const struct {
        CGFloat drag;
        bool closes;
    } drags[] = {{0.1 * height, false}, {-0.1 * height, false}, {0.2 * height, true}};
    for (const auto& d : drags) {
        UIFingers fingers(window);
        fingers.down({CGPointMake(160, 250)});
        fingers.move({CGPointMake(160, 250 + d.drag / 2)});
        fingers.move({CGPointMake(160, 250 + d.drag)});
        EXPECT_NEAR(picker->vDimmed->alpha(), 1 - std::fabs(d.drag) / (height * 0.5), 0.02);
        fingers.up();
        clock.advance(0.3);
        EXPECT_EQ(!picker->ivPreview, d.closes) << d.drag;
        if (d.closes) break;
        EXPECT_EQ(preview->center(), middle) << "snaps back";
        EXPECT_EQ(picker->vDimmed->alpha(), 1);
    }
    EXPECT_EQ(preview->superview(), nullptr);
    EXPECT_EQ(preview->center().y, 1.5 * height) << "slid off downwards";
    EXPECT_EQ(picker->vDimmed->alpha(), 0);
    EXPECT_EQ(picker->vDimmed->gestureRecognizers().size(), 1u) << "the backdrop keeps its tap";
    auto& order = picker->view()->subviews();
    EXPECT_EQ(order.back(), picker->vBottomMenu);
    EXPECT_EQ(order[order.size() - 2], picker->tvAlbumList);

    // A tap on the backdrop closes an open preview too.
    hold(itemCentre(picker, 0));
    ASSERT_TRUE(picker->ivPreview);
    UIFingers(window).tap(CGPointMake(160, 200));
    EXPECT_FALSE(picker->ivPreview);
}

TEST_F(PSImagePickerGestureTest, TheJumpButtonsShowWhereThereIsMoreToScrollTo) {
    addPhotos(12);
    auto picker = open(3);
    EXPECT_EQ(picker->btUp->alpha(), 0);
    EXPECT_EQ(picker->btDown->alpha(), 1);
    EXPECT_NE(screenText(picker).find("jump: [Down]"), std::string::npos);

    picker->onDown();
    clock.advance(1);
    window->layoutIfNeeded();
    const long last = picker->cvPhotoList->numberOfItemsInSection(0) - 1;
    EXPECT_TRUE(picker->cvPhotoList->cellForItemAtIndexPath({0, last}));
    EXPECT_EQ(picker->btUp->alpha(), 1);
    EXPECT_EQ(picker->btDown->alpha(), 0) << "at the end of the content";
    // Just past 50 points from the top, the up button stays.
    picker->cvPhotoList->setContentOffset(CGPointMake(0, 51));
    EXPECT_EQ(picker->btUp->alpha(), 1);
    EXPECT_EQ(picker->btDown->alpha(), 1);
    picker->cvPhotoList->setContentOffset(CGPointMake(0, 50));
    EXPECT_EQ(picker->btUp->alpha(), 0);

    picker->onUp();
    clock.advance(1);
    EXPECT_EQ(picker->cvPhotoList->contentOffset().y, 0);
    EXPECT_EQ(picker->btUp->alpha(), 0);

    // A short album: no down button, and its place takes no touch.
    auto shortAlbum = open(3);
    shortAlbum->tableViewDidSelectRowAtIndexPath(*shortAlbum->tvAlbumList, {0, 1});
    clock.advance(1);
    EXPECT_EQ(shortAlbum->btDown->alpha(), 0);
    auto hit = window->hitTestWithEvent(shortAlbum->btDown->convertPointToView(CGPointMake(20, 20), nullptr), nullptr);
    EXPECT_NE(hit, shortAlbum->btDown);
}

TEST_F(PSImagePickerGestureTest, TheAlbumListSlidesUpOverTheBackdropAndAwayAgain) {
    auto picker = open(3);
    const CGFloat barY = picker->vBottomMenu->frame().origin.y;
    ASSERT_EQ(picker->tvAlbumList->frame().size.height, 100) << "two albums";
    UIView::clearRecordedAnimations();
    picker->onSelectAlbum();
    EXPECT_TRUE(picker->isAlbumListOpen());
    EXPECT_EQ(picker->tvAlbumList->frame().origin.y, barY - 100);
    EXPECT_EQ(picker->tvAlbumList->alpha(), 1);
    EXPECT_NEAR(picker->vDimmed->alpha(), 0.7, 1e-6);
    const auto turned = picker->ivShowMark->transform();
    EXPECT_NEAR(std::atan2(turned.b, turned.a), std::numbers::pi, 1e-6);
    EXPECT_NE(screenText(picker).find("albums: open"), std::string::npos);

    // A tap on the backdrop closes it, after a tenth of a second's delay for its fade.
    UIFingers(window).tap(CGPointMake(160, 100));
    EXPECT_FALSE(picker->isAlbumListOpen());
    EXPECT_EQ(picker->tvAlbumList->alpha(), 0);
    EXPECT_EQ(picker->vDimmed->alpha(), 0);
    EXPECT_EQ(picker->ivShowMark->transform(), CGAffineTransformIdentity);
    auto animations = UIView::recordedAnimations();
    ASSERT_EQ(animations.size(), 2u);
    EXPECT_EQ(animations[0].duration, 0.2);
    EXPECT_EQ(animations[0].delay, 0);
    EXPECT_EQ(animations[1].delay, 0.1);

    // Showing an album fades the grid in from 0.3.
    UIView::clearRecordedAnimations();
    picker->showPhotosInGroup(1);
    clock.advance(0);
    animations = UIView::recordedAnimations();
    ASSERT_FALSE(animations.empty());
    EXPECT_EQ(animations[0].duration, 0.2);
    EXPECT_EQ(animations[0].delay, 0.1);
    EXPECT_EQ(picker->cvPhotoList->alpha(), 1);
}

TEST_F(PSImagePickerGestureTest, TheListIsFiftyPointsAnAlbumUpToFourAndOneAlbumCannotBeChanged) {
    const struct {
        int extraAlbums;
        CGFloat height;
    } cases[] = {{1, 150}, {3, 200}};
    int made = 0;
    for (const auto& c : cases) {
        for (; made < c.extraAlbums; ++made) addPhotos(1, "/var/mobile/Media/Albums/Extra " + std::to_string(made) + "/");
        auto picker = open(3);
        EXPECT_EQ(picker->tvAlbumList->frame().size.height, c.height) << c.extraAlbums;
        EXPECT_TRUE(picker->btSelectAlbum->isEnabled());
    }
    removeHostTree(host("/var/mobile/Media/Albums"));
    auto picker = open(3);
    EXPECT_FALSE(picker->btSelectAlbum->isEnabled());
    EXPECT_NE(screenText(picker).find("bar: [Cancel] [Camera Roll] (disabled) (0/3) [OK]"), std::string::npos) << screenText(picker);
}

TEST_F(PSImagePickerGestureTest, ComingBackToTheForegroundReadsTheLibraryAgainAndEmptiesTheSelection) {
    auto picker = open(3);
    const long before = picker->cvPhotoList->numberOfItemsInSection(0);
    UIScreenReply reply;
    picker->cvPhotoList->touchItem(0, reply);
    ASSERT_EQ(picker->lbSelectCount->text(), "(1/3)");

    addPhotos(1);
    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationWillEnterForegroundNotification);
    EXPECT_TRUE(runMainUntil([&] { return picker->cvPhotoList->numberOfItemsInSection(0) == before + 1; }));
    EXPECT_EQ(picker->lbSelectCount->text(), "(0/3)");

    // Once gone from the screen it listens no more.
    picker->viewDidDisappear(false);
    addPhotos(2);
    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationWillEnterForegroundNotification);
    clock.advance(1);
    EXPECT_EQ(AssetHelper::sharedAssetHelper()->getPhotoCountOfCurrentGroup(), before + 1);
}

TEST(PSAlbumCellTest, TheSelectedRowIsBlueWithWhiteTexts) {
    auto cell = std::make_shared<PSAlbumCell>();
    const struct {
        bool selected;
        UIColorPtr name, count, background;
    } cases[] = {
        {true, UIColor::whiteColor(), UIColor::whiteColor(), PSImagePickerController::pickerBlue(1)},
        {false, PSImagePickerController::pickerBlue(1), UIColor::colorWithRed(247 / 255.0, 200 / 255.0, 142 / 255.0, 1), UIColor::whiteColor()},
    };
    for (const auto& c : cases) {
        cell->setSelectedAnimated(c.selected, false);
        EXPECT_EQ(cell->isSelected(), c.selected);
        EXPECT_TRUE(cell->lbAlbumName()->textColor()->isEqual(c.name.get())) << c.selected;
        EXPECT_TRUE(cell->lbCount()->textColor()->isEqual(c.count.get())) << c.selected;
        EXPECT_TRUE(cell->contentView()->backgroundColor()->isEqual(c.background.get())) << c.selected;
    }
}

} // namespace

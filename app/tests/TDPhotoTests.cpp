#include "app/TDAirDropSheet.h"
#include "app/TDAppDelegate.h"
#include "app/tests/MediaTabTest.h"
#include "app/TDDrag.h"
#include "app/TDMedia.h"
#include "app/TDMusic.h"
#include "app/TDPhoto.h"
#include "app/support/TDSites.h"
#include "app/support/VTVersionTracker.h"
#include "platform/device/Driver.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestMediaLibrary.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"

#include <cmath>

namespace {
class PhotoTest : public MediaTabTest {
protected:
    std::shared_ptr<TDPhoto> openPhoto() { return openPanel<TDPhoto>(kPhotosPanel); }

    // The library picker the panel presented, once its albums have been read.
    std::shared_ptr<PSImagePickerController> openLibrary(TDPhoto& photo) {
        photo.loadLibrary();
        driver_.drain();
        auto picker = photo.cont();
        if (!picker) return nullptr;
        EXPECT_TRUE(runMainUntil([&] { return picker->cvPhotoList->numberOfItemsInSection(0) > 0; }));
        picker->cvPhotoList->layoutIfNeeded();
        return picker;
    }

    // The image the AirDrop sheet on screen offers, or nil.
    UIImagePtr sheetImage() {
        auto sheet = driver_.visibleSheet();
        if (!sheet || sheet->activityItems().size() != 1) return nullptr;
        EXPECT_EQ(sheet->excludedActivityTypes(), TDAirDropSheet::excludedActivityTypes());
        return sheet->activityItems()[0].objectAs<UIImage>();
    }

};
} // namespace

TEST_F(PhotoTest, TheTabOpensOnTheDragHintAndEveryChoiceMakesAFreshPanel) {
    auto tab = media();
    ASSERT_TRUE(tab);
    auto hint = std::dynamic_pointer_cast<TDDrag>(tab->centerPanel());
    ASSERT_TRUE(hint);
    EXPECT_NE(driver_.screen().find("hint: \"Drag the triangle from the top\""), std::string::npos);

    tab->didSelectPenroseButtonAtIndex(1);
    auto first = std::dynamic_pointer_cast<TDPhoto>(tab->centerPanel());
    ASSERT_TRUE(first);
    EXPECT_EQ(tab->penroseView()->currentSide(), 1);
    // A pan that ends on the side already shown makes a new panel too.
    tab->didSelectPenroseButtonAtIndex(1);
    auto second = std::dynamic_pointer_cast<TDPhoto>(tab->centerPanel());
    ASSERT_TRUE(second);
    EXPECT_NE(first, second);

    tab->didSelectPenroseButtonAtIndex(2);
    EXPECT_NE(tab->centerPanel(), second);
    EXPECT_FALSE(std::dynamic_pointer_cast<TDPhoto>(tab->centerPanel()));
    EXPECT_EQ(tab->penroseView()->currentSide(), 2);
    tab->didSelectPenroseButtonAtIndex(-1);
    EXPECT_EQ(tab->penroseView()->currentSide(), 2);
}

TEST_F(PhotoTest, TheHintAndThePanelButtonsSitWhereTheyBelong) {
    auto tab = media();
    ASSERT_TRUE(tab);
    auto hint = tab->centerPanel();
    ASSERT_TRUE(hint);
    const CGSize size = hint->view()->bounds().size;
    const CGFloat w = size.width, h = size.height;
    ASSERT_EQ(hint->view()->subviews().size(), 2u);
    auto label = std::dynamic_pointer_cast<UILabel>(hint->view()->subviews()[0]);
    auto arrow = std::dynamic_pointer_cast<UIImageView>(hint->view()->subviews()[1]);
    ASSERT_TRUE(label && arrow);
    EXPECT_EQ(label->text(), "Drag the triangle from the top");
    EXPECT_EQ(label->frame(), CGRectMake(w / 2 - 75, h / 2, 150, 30));
    ASSERT_TRUE(arrow->image());
    EXPECT_EQ(arrow->image()->name(), "arrow");
    // Turned a quarter short of a full turn about its centre: it points up, its frame stands tall.
    const CGSize a = arrow->image()->size();
    EXPECT_NEAR(arrow->center().x, w / 2, 0.01);
    EXPECT_NEAR(arrow->center().y, h / 7 + a.height / 2, 0.01);
    EXPECT_NEAR(arrow->frame().size.width, a.height, 0.01);
    EXPECT_NEAR(arrow->frame().size.height, a.width, 0.01);
    EXPECT_NEAR(arrow->alpha(), 0.4, 1e-6);

    auto photo = openPhoto();
    ASSERT_TRUE(photo);
    const struct {
        std::shared_ptr<UIButton> button;
        CGRect frame;
        const char* image;
    } cases[] = {
        {photo->photoFromCamera(), CGRectMake(w / 2 - 48, h / 5, 96, 96), "camera"},
        {photo->photoFromLibrary(), CGRectMake(w / 2 - 48, h - h / 2, 96, 96), "library"},
    };
    ASSERT_EQ(photo->view()->subviews().size(), 2u);
    EXPECT_EQ(photo->view()->subviews()[0], photo->photoFromCamera());
    for (const auto& c : cases) {
        ASSERT_TRUE(c.button);
        EXPECT_EQ(c.button->frame(), c.frame) << c.image;
        ASSERT_TRUE(c.button->currentImage()) << c.image;
        EXPECT_NE(c.button->currentImage()->name().find(c.image), std::string::npos) << c.image;
        EXPECT_EQ(c.button->layer()->borderWidth(), 1) << c.image;
    }
}

TEST_F(PhotoTest, ALibraryPhotoReachesTheSheetOnceThePickerHasGone) {
    auto photo = openPhoto();
    ASSERT_TRUE(photo);
    auto picker = openLibrary(*photo);
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->nResultType, 0);
    EXPECT_EQ(picker->nMaxCount, 1);
    EXPECT_EQ(picker->nColumnCount, 2);
    EXPECT_EQ(driver_.topViewController(), picker);

    // The camera roll's oldest photo, last in the grid: a landscape bitmap turned upright.
    const long last = picker->cvPhotoList->numberOfItemsInSection(0) - 1;
    UIScreenReply reply;
    ASSERT_TRUE(picker->cvPhotoList->touchItem(last, reply)) << reply.error;
    ASSERT_TRUE(photo->imgTandrel());
    EXPECT_FALSE(driver_.visibleSheet()) << "the sheet waits for the picker to go";
    driver_.drain();
    EXPECT_NE(driver_.topViewController(), picker);
    auto image = sheetImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image, photo->imgTandrel());
    EXPECT_EQ(image->size(), CGSizeMake(480, 640));
    EXPECT_EQ(image->imageOrientation(), UIImageOrientationUp);

    // A new library session forgets the photo before anything is picked.
    driver_.cancelSheet();
    driver_.drain();
    photo->loadLibrary();
    EXPECT_FALSE(photo->imgTandrel());
}

TEST_F(PhotoTest, AssetsAreTurnedIntoFullScreenImagesAndTheHelperCleared) {
    auto photo = openPhoto();
    ASSERT_TRUE(photo);
    auto picker = openLibrary(*photo);
    ASSERT_TRUE(picker);
    auto helper = AssetHelper::sharedAssetHelper();
    auto asset = helper->getAssetAtIndex(0);
    ASSERT_TRUE(asset);
    picker->nResultType = 1;
    photo->didSelectPhotosFromPSImagePickerController(*picker, {Value(asset)});
    ASSERT_TRUE(photo->imgTandrel());
    EXPECT_EQ(photo->imgTandrel()->size(), helper->getImageFromAsset(asset, AssetHelperImageFullScreen)->size());
    EXPECT_FALSE(helper->assetPhotos);
    driver_.drain();
    EXPECT_EQ(sheetImage(), photo->imgTandrel());
}

TEST_F(PhotoTest, CancelsAndPicksWithoutAnImageSendNothing) {
    auto photo = openPhoto();
    ASSERT_TRUE(photo);
    auto picker = openLibrary(*photo);
    ASSERT_TRUE(picker);
    picker->onCancel();
    driver_.drain();
    EXPECT_NE(driver_.topViewController(), picker);
    EXPECT_FALSE(driver_.visibleSheet());

    picker = openLibrary(*photo);
    ASSERT_TRUE(picker);
    photo->didSelectPhotosFromPSImagePickerController(*picker, {Value(UIImagePtr())});
    driver_.drain();
    EXPECT_NE(driver_.topViewController(), picker);
    EXPECT_FALSE(driver_.visibleSheet());
}

TEST_F(PhotoTest, TheCameraSendsItsCroppedPhotoAndABackOutSendsNothing) {
    auto photo = openPhoto();
    ASSERT_TRUE(photo);
    photo->loadCamera();
    driver_.drain();
    auto camera = photo->stillCam();
    ASSERT_TRUE(camera);
    EXPECT_EQ(driver_.topViewController(), camera);
    camera->captureBtnPressed();
    ASSERT_TRUE(runMainUntil([&] { return !camera->isCapturingImage(); }));
    camera->saveBtnPressed();
    driver_.drain();
    EXPECT_NE(driver_.topViewController(), camera);
    auto image = sheetImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), UIScreen::mainScreen()->bounds().size);
    EXPECT_EQ(image->scale(), 2.0);

    driver_.cancelSheet();
    driver_.drain();
    photo->loadCamera();
    driver_.drain();
    EXPECT_FALSE(photo->imgTandrel());
    photo->stillCam()->backBtnPressed();
    driver_.drain();
    EXPECT_TRUE(log_->contains("Error getting image, maybe user canceled?"));
    EXPECT_FALSE(driver_.visibleSheet());
    EXPECT_FALSE(photo->imgTandrel());
}

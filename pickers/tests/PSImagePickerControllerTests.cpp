#include "pickers/photopicker/PSImagePickerController.h"
#include "pickers/photopicker/PSPhotoCell.h"

#include "platform/foundation/NSUserDefaults.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestMediaLibrary.h"

#include <gtest/gtest.h>

namespace {

class Owner : public PSImagePickerControllerDelegate {
public:
    void didCancelPSImagePickerController() override { ++cancels; }
    void didSelectPhotosFromPSImagePickerController(PSImagePickerController&, const std::vector<Value>& result) override {
        results.push_back(result);
    }
    int cancels = 0;
    std::vector<std::vector<Value>> results;
};

std::string urlOf(const Value& asset) {
    return asset.objectAs<ALAsset>()->valueForProperty(ALAssetPropertyAssetURL).objectAs<NSURL>()->absoluteString();
}

class PSImagePickerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
        TestMediaLibrary::make();
    }

    std::shared_ptr<PSImagePickerController> open(long maxCount, long resultType = 1) {
        auto picker = std::make_shared<PSImagePickerController>();
        picker->delegate = owner;
        picker->nMaxCount = maxCount;
        picker->nResultType = resultType;
        picker->view();
        // The album button takes the album's name when the albums have been read.
        EXPECT_TRUE(runMainUntil([&] { return !picker->btSelectAlbum->titleForState(UIControlStateNormal).empty(); }));
        picker->cvPhotoList->layoutIfNeeded();
        return picker;
    }

    static bool touch(const std::shared_ptr<PSImagePickerController>& picker, long item) {
        UIScreenReply reply;
        return picker->cvPhotoList->touchItem(item, reply);
    }

    std::shared_ptr<Owner> owner = std::make_shared<Owner>();
};

TEST_F(PSImagePickerTest, TheCounterFollowsTheSelectionUpToTheLimit) {
    auto picker = open(2);
    EXPECT_EQ(picker->lbSelectCount->text(), "(0/2)");
    touch(picker, 0);
    touch(picker, 1);
    EXPECT_EQ(picker->lbSelectCount->text(), "(2/2)");
    touch(picker, 2);
    EXPECT_EQ(picker->lbSelectCount->text(), "(2/2)") << "a photo past the limit stays unselected";
    EXPECT_NEAR(std::static_pointer_cast<PSPhotoCell>(picker->cvPhotoList->cellForItemAtIndexPath({0, 2}))->photo()->alpha(), 1.0, 1e-6);
    EXPECT_NEAR(std::static_pointer_cast<PSPhotoCell>(picker->cvPhotoList->cellForItemAtIndexPath({0, 0}))->photo()->alpha(), 0.2, 1e-6);
    touch(picker, 0);
    EXPECT_EQ(picker->lbSelectCount->text(), "(1/2)");

    auto unlimited = open(-1);
    EXPECT_EQ(unlimited->lbSelectCount->text(), "(0)");
    for (long item : {0L, 1L, 2L}) touch(unlimited, item);
    EXPECT_EQ(unlimited->lbSelectCount->text(), "(3)");
}

TEST_F(PSImagePickerTest, OKReturnsThePhotosInTheOrderTheyWereChosen) {
    auto picker = open(3);
    std::vector<std::string> urls;
    for (long i = 0; i < 3; ++i) urls.push_back(urlOf(Value(AssetHelper::sharedAssetHelper()->getAssetAtIndex(i))));
    touch(picker, 2);
    touch(picker, 1);
    touch(picker, 2);  // deselected: the next choice still comes after photo 1
    touch(picker, 0);
    picker->onSelectPhoto();
    ASSERT_EQ(owner->results.size(), 1u);
    ASSERT_EQ(owner->results[0].size(), 2u);
    EXPECT_EQ(urlOf(owner->results[0][0]), urls[1]);
    EXPECT_EQ(urlOf(owner->results[0][1]), urls[0]);

    picker->onCancel();
    EXPECT_EQ(owner->cancels, 1);
}

TEST_F(PSImagePickerTest, ASinglePickAnswersAtOnceWithTheFullScreenImage) {
    auto picker = open(1, 0);
    EXPECT_TRUE(picker->btOK->isHidden());
    EXPECT_TRUE(picker->lbSelectCount->isHidden());
    EXPECT_FALSE(picker->dSelected);
    touch(picker, 1);
    ASSERT_EQ(owner->results.size(), 1u);
    ASSERT_EQ(owner->results[0].size(), 1u);
    EXPECT_TRUE(owner->results[0][0].objectAs<UIImage>());
}

TEST_F(PSImagePickerTest, TheAlbumShownIsRememberedAndAChangeEmptiesTheSelection) {
    auto picker = open(3);
    EXPECT_EQ(picker->btSelectAlbum->titleForState(UIControlStateNormal), "Camera Roll");
    touch(picker, 0);
    picker->tableViewDidSelectRowAtIndexPath(*picker->tvAlbumList, {0, 1});
    EXPECT_EQ(picker->btSelectAlbum->titleForState(UIControlStateNormal), "Holidays");
    EXPECT_EQ(picker->lbSelectCount->text(), "(0/3)");
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->stringForKey(PSImagePickerController::kSelectedAlbumKey), "Holidays");

    auto again = open(3);
    EXPECT_EQ(again->btSelectAlbum->titleForState(UIControlStateNormal), "Holidays");
    EXPECT_EQ(again->cvPhotoList->numberOfItemsInSection(0), 2);
}

} // namespace

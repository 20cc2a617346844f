#include "app/TDPhoto.h"

#include "app/TDAirDropSheet.h"
#include "app/TDMedia.h"
#include "platform/foundation/NSLog.h"
#include "platform/uikit/UITabBarController.h"
#include "sdk/analytics/Vuderu.h"

void TDPhoto::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto buttons = TDMedia::addPanelButtons(
        *view(), self<TDPhoto>(), &TDPhoto::loadCamera, &TDPhoto::loadLibrary);
    photoFromCamera_ = buttons.camera;
    photoFromLibrary_ = buttons.library;
}

void TDPhoto::viewWillLayoutSubviews() {
    UIViewController::viewWillLayoutSubviews();
    TDMedia::layoutPanelButtons(*view(), {photoFromCamera_, photoFromLibrary_});
}

void TDPhoto::loadCamera() {
    imgTandrel_ = nullptr;
    stillCam_ = StillCam::init();
    stillCam_->setDelegate(self<TDPhoto>());
    presentViewControllerAnimatedCompletion(stillCam_, true, nullptr);
}

void TDPhoto::stillCamDidFinishWithImage(StillCam& camera, const UIImagePtr& image) {
    std::weak_ptr<TDPhoto> weak = self<TDPhoto>();
    camera.closeWithCompletion([weak, image] {
        auto me = weak.lock();
        if (!me) return;
        if (!image) {
            NSLog("Error getting image, maybe user canceled?");
            return;
        }
        me->imgTandrel_ = image;
        me->airDropImage();
    });
}

void TDPhoto::loadLibrary() {
    imgTandrel_ = nullptr;
    cont_ = std::make_shared<PSImagePickerController>();
    cont_->delegate = self<TDPhoto>();
    cont_->nResultType = 0;
    cont_->nMaxCount = 1;
    cont_->nColumnCount = 2;
    presentViewControllerAnimatedCompletion(cont_, true, nullptr);
}

void TDPhoto::didSelectPhotosFromPSImagePickerController(PSImagePickerController& picker, const std::vector<Value>& result) {
    if (!result.empty()) {
        if (picker.nResultType == 0) {
            imgTandrel_ = result.front().objectAs<UIImage>();
        } else if (picker.nResultType == 1) {
            auto helper = AssetHelper::sharedAssetHelper();
            imgTandrel_ = helper->getImageFromAsset(result.front().objectAs<ALAsset>(), AssetHelperImageFullScreen);
            helper->clearData();
        }
    }
    std::weak_ptr<TDPhoto> weak = self<TDPhoto>();
    dismissViewControllerAnimatedCompletion(true, [weak] {
        if (auto me = weak.lock()) me->airDropImage();
    });
}

void TDPhoto::didCancelPSImagePickerController() { dismissViewControllerAnimatedCompletion(true, nullptr); }

void TDPhoto::airDropImage() {
    if (!imgTandrel_) return;
    auto sheet = TDAirDropSheet::sheetForItem(Value(imgTandrel_));
    if (auto tabs = tabBarController())
        tabs->presentViewControllerAnimatedCompletion(sheet, true, [] { Vuderu::logEvent(Value("Photo sent through AirDrop")); });
}

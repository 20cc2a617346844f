#include "app/TDVideos.h"

#include "app/TDAirDropSheet.h"
#include "app/TDMedia.h"
#include "platform/foundation/NSTimer.h"
#include "platform/uikit/UITabBarController.h"
#include "sdk/analytics/Vuderu.h"

namespace {
// The sheet opens a second after the picker closes, once its dismissal is over.
constexpr double kSendDelay = 1.0;
constexpr char kPickVideoTitle[] = "Pick Video";
constexpr char kVideoSentEvent[] = "File sent through AirDrop";

template <void (TDVideos::*Send)()>
void sendLater(const std::weak_ptr<TDVideos>& weak) {
    NSTimer::scheduledTimerWithTimeInterval(kSendDelay, false, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto self = weak.lock()) ((*self).*Send)();
    });
}
} // namespace

void TDVideos::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto buttons = TDMedia::addPanelButtons(
        *view(), self<TDVideos>(), &TDVideos::loadCamera, &TDVideos::loadLibrary);
    videoFromCamera_ = buttons.camera;
    videoFromLibrary_ = buttons.library;
}

void TDVideos::viewWillLayoutSubviews() {
    UIViewController::viewWillLayoutSubviews();
    TDMedia::layoutPanelButtons(*view(), {videoFromCamera_, videoFromLibrary_});
}

void TDVideos::loadCamera() {
    vidSendURL_ = nullptr;
    vidPicker_ = std::make_shared<UIImagePickerController>();
    vidPicker_->setDelegate(self<TDVideos>());
    vidPicker_->setAllowsEditing(true);
    vidPicker_->setSourceType(UIImagePickerControllerSourceTypeCamera);
    vidPicker_->setMediaTypes({kUTTypeMovie});
    presentViewControllerAnimatedCompletion(vidPicker_, true, nullptr);
}

void TDVideos::imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController& picker, const Value::Dictionary& info) {
    picker.dismissViewControllerAnimatedCompletion(false, nullptr);
    auto type = info.find(UIImagePickerControllerMediaType);
    if (type == info.end() || type->second.stringValue() != kUTTypeMovie) return;
    auto url = info.find(UIImagePickerControllerMediaURL);
    vidSendURL_ = url != info.end() ? url->second.objectAs<NSURL>() : nullptr;
    sendLater<&TDVideos::sendVidFromCameraAfterTimer>(self<TDVideos>());
}

void TDVideos::sendVidFromCameraAfterTimer() { airDropVideo(vidSendURL_); }

void TDVideos::loadLibrary() {
    videoAsset_ = nullptr;
    picker_ = APAssetsPickerController::init();
    picker_->setDelegate(self<TDVideos>());
    picker_->assetsFilter = ALAssetsFilter::allVideos();
    picker_->setTitle(kPickVideoTitle);
    presentViewControllerAnimatedCompletion(picker_, true, nullptr);
}

bool TDVideos::assetsPickerControllerShouldSelectAsset(APAssetsPickerController& picker, const ALAssetPtr&) {
    return picker.countOfSelectedAssets() == 0;
}

void TDVideos::assetsPickerControllerDidFinishPickingAssets(APAssetsPickerController& picker, const std::vector<ALAssetPtr>& assets) {
    picker.dismissViewControllerAnimatedCompletion(true, nullptr);
    videoAsset_ = assets.empty() ? nullptr : assets.front();
    if (videoAsset_) sendLater<&TDVideos::sendVidAfterTimer>(self<TDVideos>());
}

void TDVideos::sendVidAfterTimer() {
    auto representation = videoAsset_ ? videoAsset_->defaultRepresentation() : nullptr;
    airDropVideo(representation ? representation->url() : nullptr);
}

void TDVideos::airDropVideo(const NSURLPtr& url) {
    if (!url) return;
    auto sheet = TDAirDropSheet::sheetForItem(Value(url));
    if (auto tabs = tabBarController())
        tabs->presentViewControllerAnimatedCompletion(sheet, true, [] { Vuderu::logEvent(Value(kVideoSentEvent)); });
}

#pragma once
// The Media tab's Videos panel: the top button records a video with the system camera screen
// (editing allowed, so a recording can be trimmed before it is used), the lower one picks one
// video from the photo library; either is offered through the AirDrop sheet a second later (a
// recording as its file, a library video as its library URL).

#include "pickers/assetpicker/APAssetsPickerController.h"
#include "platform/media/UIImagePickerController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIViewController.h"

#include <memory>

class TDVideos : public UIViewController,
                 public APAssetsPickerControllerDelegate,
                 public UINavigationControllerDelegate,
                 public UIImagePickerControllerDelegate {
public:
    void viewDidLoad() override;
    // The buttons follow the panel's bounds: chosen sideways or turned afterwards, both show.
    void viewWillLayoutSubviews() override;

    void loadCamera();
    void loadLibrary();
    void airDropVideo(const NSURLPtr& url);
    void sendVidFromCameraAfterTimer();
    void sendVidAfterTimer();

    void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController& picker, const Value::Dictionary& info) override;
    void assetsPickerControllerDidFinishPickingAssets(APAssetsPickerController& picker, const std::vector<ALAssetPtr>& assets) override;
    bool assetsPickerControllerShouldSelectAsset(APAssetsPickerController& picker, const ALAssetPtr& asset) override;

    const std::shared_ptr<UIButton>& videoFromCamera() const { return videoFromCamera_; }
    const std::shared_ptr<UIButton>& videoFromLibrary() const { return videoFromLibrary_; }
    const std::shared_ptr<APAssetsPickerController>& picker() const { return picker_; }
    const std::shared_ptr<UIImagePickerController>& vidPicker() const { return vidPicker_; }
    const ALAssetPtr& videoAsset() const { return videoAsset_; }
    const NSURLPtr& vidSendURL() const { return vidSendURL_; }

private:
    std::shared_ptr<UIButton> videoFromCamera_;
    std::shared_ptr<UIButton> videoFromLibrary_;
    std::shared_ptr<APAssetsPickerController> picker_;
    ALAssetPtr videoAsset_;
    std::shared_ptr<UIImagePickerController> vidPicker_;
    NSURLPtr vidSendURL_;
};

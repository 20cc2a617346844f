#pragma once
// The Photos panel: a camera button takes a photo with the still camera, a library button picks
// one from the photo library; either way the photo is offered at once through the AirDrop sheet.

#include "pickers/camera/StillCam.h"
#include "pickers/photopicker/PSImagePickerController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <vector>

class TDPhoto : public UIViewController, public StillCamDelegate, public PSImagePickerControllerDelegate {
public:
    void viewDidLoad() override;
    // The buttons follow the panel's bounds: chosen sideways or turned afterwards, both show.
    void viewWillLayoutSubviews() override;

    void loadCamera();
    void loadLibrary();
    // Offers imgTandrel through the AirDrop sheet; nothing without a photo.
    void airDropImage();

    void stillCamDidFinishWithImage(StillCam& camera, const UIImagePtr& image) override;
    void didSelectPhotosFromPSImagePickerController(PSImagePickerController& picker, const std::vector<Value>& result) override;
    void didCancelPSImagePickerController() override;

    const std::shared_ptr<UIButton>& photoFromCamera() const { return photoFromCamera_; }
    const std::shared_ptr<UIButton>& photoFromLibrary() const { return photoFromLibrary_; }
    const std::shared_ptr<StillCam>& stillCam() const { return stillCam_; }
    const std::shared_ptr<PSImagePickerController>& cont() const { return cont_; }
    const UIImagePtr& imgTandrel() const { return imgTandrel_; }
    const std::vector<Value>& aIVs() const { return aIVs_; }
    void setAIVs(std::vector<Value> views) { aIVs_ = std::move(views); }

private:
    std::shared_ptr<UIButton> photoFromCamera_;
    std::shared_ptr<UIButton> photoFromLibrary_;
    std::shared_ptr<StillCam> stillCam_;
    UIImagePtr imgTandrel_;
    std::shared_ptr<PSImagePickerController> cont_;
    std::vector<Value> aIVs_;
};

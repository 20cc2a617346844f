#pragma once
// The Music screen: Browse picks one song from the device's music library and exports it to the
// app folder; the song's artwork replaces the disc; Send offers the exported file through the
// AirDrop sheet.

#include "controls/flatbutton/FlatButton.h"
#include "platform/media/AVAssetExportSession.h"
#include "platform/media/MPMediaPickerController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <string>
#include <vector>

class NSTimer;

class TDMusic : public UIViewController, public MPMediaPickerControllerDelegate, public UIAlertViewDelegate {
public:
    void viewDidLoad() override;
    // The disc and the buttons follow the screen's bounds: chosen sideways or turned afterwards,
    // Browse and Send stand on the screen.
    void viewWillLayoutSubviews() override;

    void browseForMusic();
    void sendBtnPressed();
    void showProgressInNavigationBar();
    void airDropSongAtPath(const std::string& path);
    UIImagePtr imageWithImageScaledToSize(const UIImagePtr& image, CGSize size) const;

    void mediaPickerDidPickMediaItems(MPMediaPickerController& picker, const std::vector<MPMediaItemPtr>& items) override;
    void mediaPickerDidCancel(MPMediaPickerController& picker) override;

    const std::shared_ptr<UIImageView>& albumArt() const { return albumArt_; }
    const std::shared_ptr<FlatButton>& sendMusicBtn() const { return sendMusicBtn_; }
    const std::shared_ptr<MPMediaPickerController>& mediaPicker() const { return mediaPicker_; }
    const std::string& songTitle() const { return songTitle_; }

private:
    void layoutControls();
    std::shared_ptr<FlatButton> makeButton(const CGRect& frame, UIColorPtr color, const std::string& title,
                                           void (TDMusic::*action)(), unsigned long mask);

    std::shared_ptr<UIImageView> albumArt_;
    std::shared_ptr<MPMediaPickerController> mediaPicker_;
    std::string songTitle_;
    AVURLAssetPtr songURL_;
    std::shared_ptr<FlatButton> sendMusicBtn_;
    std::shared_ptr<FlatButton> browseBtn_;
    bool didLoad_ = false;
};

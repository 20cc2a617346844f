#include "app/TDMedia.h"

#include "app/TDDrag.h"
#include "app/TDMusic.h"
#include "app/TDPhoto.h"
#include "app/TDVideos.h"
#include "controls/flatbutton/UIButton+Curled.h"
#include "platform/uikit/UIColor.h"

namespace {
enum : int { kMusicIndex = 0, kPhotosIndex = 1, kVideosIndex = 2 };

constexpr CGFloat kPanelButtonSide = 96;

CGRect cameraButtonFrame(const CGRect& bounds) {
    const CGFloat w = bounds.size.width, h = bounds.size.height;
    return CGRectMake(w / 2 - kPanelButtonSide / 2, h / 5, kPanelButtonSide, kPanelButtonSide);
}

CGRect libraryButtonFrame(const CGRect& bounds) {
    const CGFloat w = bounds.size.width, h = bounds.size.height;
    return CGRectMake(w / 2 - kPanelButtonSide / 2, h - h / 2, kPanelButtonSide, kPanelButtonSide);
}

std::shared_ptr<UIButton> panelButton(const CGRect& frame, const std::string& imageName, const std::shared_ptr<NSObject>& target,
                                      UIControl::Action action) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(frame);
    button->setContentMode(UIViewContentModeScaleToFill);
    UIButton_Curled::setImageBorderWidthShadowDepthControlPointXOffsetControlPointYOffsetForState(
        *button, UIImage::imageNamed(imageName), 5, 10, 30, 70, UIControlStateNormal);
    button->addTargetActionForControlEvents(
        target, std::move(action), UIControlEventTouchUpInside);
    button->layer()->setBorderColor(UIColor::blackColor());
    button->layer()->setBorderWidth(1);
    return button;
}
} // namespace

void TDMedia::viewDidLoad() {
    RSPenroseViewController::viewDidLoad();
    setTitle("Media");
    addButtonsToTopLeftRight("Music", "Photos", "Videos");
    setMainController(std::make_shared<TDDrag>());
    penroseView()->selectSide(0);
}

void TDMedia::didSelectPenroseButtonAtIndex(int index) {
    switch (index) {
    case kMusicIndex: setMainController(std::make_shared<TDMusic>()); break;
    case kPhotosIndex: setMainController(std::make_shared<TDPhoto>()); break;
    case kVideosIndex: setMainController(std::make_shared<TDVideos>()); break;
    default: return;
    }
    penroseView()->selectSide(index);
}

TDMedia::PanelButtons TDMedia::addPanelButtons(UIView& view, const std::shared_ptr<NSObject>& target, UIControl::Action camera,
                                               UIControl::Action library) {
    // The curled pictures are drawn for the buttons' sizes: each is made at its place.
    PanelButtons buttons;
    buttons.camera = panelButton(cameraButtonFrame(view.bounds()), "camera", target, std::move(camera));
    buttons.library = panelButton(libraryButtonFrame(view.bounds()), "library", target, std::move(library));
    view.addSubview(buttons.camera);
    view.addSubview(buttons.library);
    return buttons;
}

void TDMedia::layoutPanelButtons(const UIView& view, const PanelButtons& buttons) {
    if (buttons.camera) buttons.camera->setFrame(cameraButtonFrame(view.bounds()));
    if (buttons.library) buttons.library->setFrame(libraryButtonFrame(view.bounds()));
}

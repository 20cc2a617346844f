// The picker's full-screen messages: no access to the library, and an empty library.
#include "pickers/assetpicker/APAssetsPickerController.h"

#include "platform/foundation/NSString.h"
#include "platform/media/AVCaptureDevice.h"
#include "platform/uikit/UIDevice.h"

#include <limits>

namespace {
// Wide enough for the messages on the narrowest screen, with room at the sides.
constexpr CGFloat kSpecialLabelWidth = 304;
constexpr long kSpecialLabelLines = 5;

UIColorPtr messageGrey() { return UIColor::colorWithRed(129 / 255.0, 136 / 255.0, 148 / 255.0, 1); }
UIColorPtr emptyGrey() { return UIColor::colorWithRed(0.6, 0.6, 0.6, 1); }
} // namespace

std::shared_ptr<UIImageView> APAssetsPickerController::padlockImageView() {
    auto view = std::make_shared<UIImageView>(UIImage::imageNamed("APAssetsPickerLocked"));
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    return view;
}

std::shared_ptr<UILabel> APAssetsPickerController::specialViewLabelWithFontColorText(const UIFontPtr& font, const UIColorPtr& color,
                                                                                     const std::string& text) {
    auto label = std::make_shared<UILabel>();
    label->setFont(font);
    label->setTextColor(color);
    label->setText(text);
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setNumberOfLines(kSpecialLabelLines);
    // The preferred layout width: the text wraps at it and the label takes the size it needs.
    auto size = label->sizeThatFits(CGSizeMake(kSpecialLabelWidth, std::numeric_limits<CGFloat>::max()));
    label->setFrame(CGRectMake(0, 0, size.width, size.height));
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    return label;
}

std::shared_ptr<NSLayoutConstraint> APAssetsPickerController::horizontallyAlignedConstraintWithItemToItem(const UIViewPtr& item,
                                                                                                        const UIViewPtr& toItem) {
    return NSLayoutConstraint::constraintWithItem(item, NSLayoutAttributeCenterX, NSLayoutRelationEqual, toItem, NSLayoutAttributeCenterX, 1, 0);
}

std::shared_ptr<NSLayoutConstraint> APAssetsPickerController::verticallyAlignedConstraintWithItemToItem(const UIViewPtr& item,
                                                                                                      const UIViewPtr& toItem) {
    return NSLayoutConstraint::constraintWithItem(item, NSLayoutAttributeCenterY, NSLayoutRelationEqual, toItem, NSLayoutAttributeCenterY, 1, 0);
}

UIViewPtr APAssetsPickerController::centerViewWithViews(const std::vector<UIViewPtr>& views) {
    auto centerView = std::make_shared<UIView>();
    centerView->setTranslatesAutoresizingMaskIntoConstraints(false);
    for (auto& view : views) {
        centerView->addSubview(view);
        centerView->addConstraint(horizontallyAlignedConstraintWithItemToItem(view, centerView));
    }
    return centerView;
}

UIViewPtr APAssetsPickerController::specialViewWithCenterView(const UIViewPtr& centerView) {
    auto view = std::make_shared<UIView>();
    view->addSubview(centerView);
    view->addConstraint(horizontallyAlignedConstraintWithItemToItem(centerView, view));
    view->addConstraint(verticallyAlignedConstraintWithItemToItem(centerView, view));
    return view;
}

UIViewPtr APAssetsPickerController::notAllowedView() const {
    auto padlock = padlockImageView();
    auto title = specialViewLabelWithFontColorText(UIFont::boldSystemFontOfSize(17), messageGrey(),
                                                   APLocalizedString("This app does not have access to your photos or videos."));
    auto message = specialViewLabelWithFontColorText(UIFont::systemFontOfSize(14), messageGrey(),
                                                     APLocalizedString("You can enable access in Privacy Settings."));
    auto centerView = centerViewWithViews({padlock, title, message});
    centerView->addConstraints(NSLayoutConstraint::constraintsWithVisualFormat(
        "V:|[padlock]-20-[title]-[message]|", 0, {}, {{"padlock", padlock}, {"title", title}, {"message", message}}));
    return specialViewWithCenterView(centerView);
}

UIViewPtr APAssetsPickerController::noAssetsView() const {
    auto title = specialViewLabelWithFontColorText(UIFont::systemFontOfSize(26), emptyGrey(), APLocalizedString("No Photos or Videos"));
    auto message = specialViewLabelWithFontColorText(UIFont::systemFontOfSize(18), emptyGrey(), noAssetsMessage());
    auto centerView = centerViewWithViews({title, message});
    centerView->addConstraints(NSLayoutConstraint::constraintsWithVisualFormat("V:|[title]-[message]|", 0, {}, {{"title", title}, {"message", message}}));
    return specialViewWithCenterView(centerView);
}

std::string APAssetsPickerController::noAssetsMessage() const {
    std::string format = isCameraDeviceAvailable()
                             ? APLocalizedString("You can take photos and videos using the camera, or sync photos and videos onto your %@") + "\n" +
                                   APLocalizedString("using iTunes.")
                             : APLocalizedString("You can sync photos and videos onto your %@ using iTunes.");
    return NSString::stringWithFormat(format, deviceModel());
}

std::string APAssetsPickerController::deviceModel() { return UIDevice::currentDevice()->model(); }

bool APAssetsPickerController::isCameraDeviceAvailable() {
    for (auto& device : AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo))
        if (device->position() == AVCaptureDevicePositionBack) return true;
    return false;
}

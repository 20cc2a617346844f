// Laying the sheet out: the panel with its title, content, button column and cancel button, and
// the window it shows in.

#include "controls/actionsheet/PSActionSheet.h"

#include "pickers/resize/UIImage+ResizeGeometry.h"
#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIScreen.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
UIColorPtr rgb(double red, double green, double blue, double alpha = 1) {
    return UIColor::colorWithRed(red / 255, green / 255, blue / 255, alpha);
}
UIColorPtr panelColour() { return rgb(109, 175, 255); }
UIColorPtr darkColour() { return rgb(65, 65, 65); }
UIColorPtr destructiveColour() { return rgb(124, 192, 134); }
UIColorPtr cancelColour() { return rgb(97, 97, 97); }
constexpr double kDimAlpha = 0.7;
constexpr double kLineAlpha = 0.2;
constexpr CGFloat kMargin = 20;
constexpr CGFloat kTitleTop = 10;
constexpr CGFloat kLineHeight = 0.5;
constexpr CGFloat kImageFit = 360;
constexpr CGFloat kMapWidth = 240, kMapHeight = 180;
constexpr double kMapPitch = 70;
constexpr const char* kTitleFont = "Avenir-Heavy";
constexpr const char* kButtonFont = "Avenir-Medium";
constexpr CGFloat kFontSize = 14;
} // namespace

void PSActionSheet::setLabelAttributes(UILabel& label) {
    label.setBackgroundColor(UIColor::clearColor());
    label.setTextAlignment(NSTextAlignmentCenter);
    label.setNumberOfLines(0);
    label.setFont(UIFont::fontWithNameSize(kTitleFont, kFontSize));
    label.setTextColor(darkColour());
}

CGFloat PSActionSheet::getTextHeight(const UILabel& label) {
    NSStringAttributes attributes;
    attributes.font = label.font();
    auto rect = NSStringBoundingRectWithSize(label.text(), CGSizeMake(label.frame().size.width, std::numeric_limits<CGFloat>::max()),
                                             NSStringDrawingUsesLineFragmentOrigin, attributes);
    return std::ceil(rect.size.height);
}

void PSActionSheet::setButtonAttributesCancel(UIButton& button, bool cancel) {
    button.setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    button.setBackgroundColor(cancel ? cancelColour() : darkColour());
    button.titleLabel()->setFont(UIFont::fontWithNameSize(cancel ? kTitleFont : kButtonFont, kFontSize));
    button.setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
    if (dButtonRound_ > 0) {
        button.layer()->setCornerRadius(dButtonRound_);
        button.layer()->setMasksToBounds(true);
    }
    button.addTargetActionForControlEvents(
        self<NSObject>(), [](NSObject& me, UIControl& sender, UIEvent*) { static_cast<PSActionSheet&>(me).buttonTarget(sender); },
        UIControlEventTouchUpInside);
}

CGFloat PSActionSheet::addContent(const std::shared_ptr<UIScrollView>& container) {
    CGFloat centreX = container->bounds().size.width / 2;
    if (nContentMode_ == kContentImage && iImage_) {
        auto scaled = UIImage_ResizeGeometry::resizedImageWithMaximumSize(iImage_, CGSizeMake(kImageFit, kImageFit));
        if (!scaled) return 0;
        auto view = std::make_shared<UIImageView>(scaled);
        view->setContentMode(UIViewContentModeScaleAspectFit);
        view->setFrame(CGRectMake(kMargin, 5, scaled->size().width / 2, scaled->size().height / 2));
        view->setCenter(CGPointMake(centreX, view->center().y));
        view->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin);
        container->addSubview(view);
        return view->frame().size.height + 10;
    }
    if (nContentMode_ == kContentMap && dLocation_) {
        auto map = std::make_shared<MKMapView>(CGRectMake(kMargin, 5, kMapWidth, kMapHeight));
        map->setCenter(CGPointMake(centreX, map->center().y));
        map->setDelegate(std::static_pointer_cast<MKMapViewDelegate>(self<PSActionSheet>()));
        map->setCenterCoordinate({dLocation_->latitude, dLocation_->longitude});
        map->camera()->setAltitude(dLocation_->altitude);
        map->camera()->setPitch(kMapPitch);
        map->setShowsBuildings(true);
        map->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin);
        container->addSubview(map);
        return kMapHeight + 5;
    }
    return 0;
}

void PSActionSheet::showActionSheet() {
    setBackgroundColor(UIColor::colorWithWhite(0, kDimAlpha));
    // A sheet shown again replaces its panel rather than stacking a second one under it.
    if (vActionSheet_) vActionSheet_->removeFromSuperview();
    vActionSheet_ = std::make_shared<UIView>(CGRectMake(0, 0, kPanelWidth, 0));
    vActionSheet_->setBackgroundColor(panelColour());
    addSubview(vActionSheet_);
    CGFloat width = vActionSheet_->frame().size.width;

    CGFloat top = kTitleTop;
    if (!strTitle_.empty()) {
        auto label = std::make_shared<UILabel>(CGRectMake(kMargin, kTitleTop, width - 2 * kMargin, 0));
        label->setText(strTitle_);
        setLabelAttributes(*label);
        auto f = label->frame();
        f.size.height = getTextHeight(*label);
        label->setFrame(f);
        label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        vActionSheet_->addSubview(label);
        titleLabel_ = label;
        top = f.size.height + kTitleTop;
        auto line = std::make_shared<UIView>(CGRectMake(f.origin.x, f.origin.y + f.size.height - 3, f.size.width, kLineHeight));
        line->setBackgroundColor(darkColour());
        line->setAlpha(kLineAlpha);
        line->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin);
        vActionSheet_->addSubview(line);
    }

    column_ = std::make_shared<UIScrollView>(CGRectMake(0, top + 5, width, kColumnHeight));
    column_->setBackgroundColor(UIColor::clearColor());
    column_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    vActionSheet_->addSubview(column_);
    CGFloat content = addContent(column_);
    CGFloat y = content > 0 ? content + 10 : 0;
    for (std::size_t i = 0; i < aButtons_.size(); ++i) {
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setTag(static_cast<long>(i));
        button->setTitleForState(aButtons_[i], UIControlStateNormal);
        setButtonAttributesCancel(*button, false);
        button->setFrame(CGRectMake(kMargin, y, width - 2 * kMargin, kButtonHeight));
        column_->addSubview(button);
        if (static_cast<long>(i) == nDestructiveIndex_) button->setBackgroundColor(destructiveColour());
        y += kButtonStep;
    }
    column_->setContentSize(CGSizeMake(column_->frame().size.width, y));

    CGFloat bottom = top + std::min(y, kColumnHeight) + 5;
    CGFloat extra = 5;
    if (!strCancel_.empty()) {
        auto cancel = UIButton::buttonWithType(UIButtonTypeCustom);
        cancel->setTag(kCancelIndex);
        cancel->setTitleForState(strCancel_, UIControlStateNormal);
        setButtonAttributesCancel(*cancel, true);
        cancel->setFrame(CGRectMake(kMargin, bottom + 10, width - 2 * kMargin, kButtonHeight));
        vActionSheet_->addSubview(cancel);
        extra = 60;
    }
    vActionSheet_->setFrame(CGRectMake(0, 0, width, bottom + extra + 10));

    auto controller = std::make_shared<PSActionSheetController>();
    controller->setActionSheet(self<PSActionSheet>());
    placeWindow(controller);
    if (dRound_ > 0) {
        vActionSheet_->layer()->setCornerRadius(dRound_);
        vActionSheet_->layer()->setMasksToBounds(true);
        vActionSheet_->setClipsToBounds(true);
    }
    showAnimation();
}

void PSActionSheet::placeWindow(const std::shared_ptr<PSActionSheetController>& controller) {
    auto app = UIApplication::sharedApplication();
    if (auto key = app->keyWindow(); key && key != actionWindow_) previousKeyWindow_ = key;
    if (!actionWindow_) {
        actionWindow_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        actionWindow_->setWindowLevel(UIWindowLevelAlert);
        actionWindow_->setRootViewController(controller);
        setFrame(actionWindow_->frame());
        vActionSheet_->setCenter(actionWindow_->center());
    }
    actionWindow_->makeKeyAndVisible();
}

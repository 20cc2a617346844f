#include "app/TDDrag.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIScreenDescription.h"

namespace {
// A quarter turn short of a full one: the arrow drawn pointing right points up.
constexpr CGFloat kArrowTurn = 4.71238899230957;
constexpr CGFloat kHintWidth = 150;
constexpr CGFloat kHintHeight = 30;
} // namespace

void TDDrag::viewDidLoad() {
    UIViewController::viewDidLoad();
    arrow_ = std::make_shared<UIImageView>(UIImage::imageNamed("arrow"));
    arrow_->setTransform(CGAffineTransformMakeRotation(kArrowTurn));
    arrow_->setAlpha(0.4);

    label_ = std::make_shared<UILabel>(CGRectMake(0, 0, kHintWidth, kHintHeight));
    label_->setBackgroundColor(UIColor::clearColor());
    label_->setTextColor(UIColor::grayColor());
    label_->setFont(UIFont::systemFontOfSize(10.5));
    label_->setTextAlignment(NSTextAlignmentCenter);
    label_->setUserInteractionEnabled(false);
    label_->setText(kHint);
    viewWillLayoutSubviews();

    view()->addSubview(label_);
    view()->addSubview(arrow_);
}

void TDDrag::viewWillLayoutSubviews() {
    UIViewController::viewWillLayoutSubviews();
    if (!arrow_ || !label_) return;
    const CGRect bounds = view()->bounds();
    const CGFloat w = bounds.size.width, h = bounds.size.height;
    // The arrow is placed as its upright frame would be, (w - its width) / 2 and h / 7, and turned
    // about its centre.
    auto image = arrow_->image();
    const CGSize size = image ? image->size() : CGSizeZero;
    arrow_->setBounds(CGRectMake(0, 0, size.width, size.height));
    arrow_->setCenter(CGPointMake(w / 2, h / 7 + size.height / 2));
    label_->setFrame(CGRectMake(w / 2 - kHintWidth / 2, h / 2, kHintWidth, kHintHeight));
}

void TDDrag::describeToScreen(UIScreenDescription& screen) {
    // The hint shows where the screen shows it: under a bar or the dropped menu it is not listed.
    if (!isViewLoaded()) return UIViewController::describeToScreen(screen);
    if (label_ && UIScreenDescription::seen(label_)) screen.addLine(std::string("hint: ") + UIScreenDescription::quoted(kHint));
    UIViewController::describeToScreen(screen);
}

#include "app/TDDrag.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreenDescription.h"

namespace {
// A quarter turn short of a full one: the arrow drawn pointing right points up.
constexpr CGFloat kArrowTurn = 4.71238899230957;
} // namespace

void TDDrag::viewDidLoad() {
    UIViewController::viewDidLoad();
    const CGRect bounds = view()->bounds();
    const CGFloat w = bounds.size.width, h = bounds.size.height;

    auto image = UIImage::imageNamed("arrow");
    const CGSize size = image ? image->size() : CGSizeZero;
    auto arrow = std::make_shared<UIImageView>(image);
    arrow->setFrame(CGRectMake(w / 2 - size.width / 2, h / 7, size.width, size.height));
    arrow->setTransform(CGAffineTransformMakeRotation(kArrowTurn));
    arrow->setAlpha(0.4);

    auto label = std::make_shared<UILabel>(CGRectMake(w / 2 - 75, h / 2, 150, 30));
    label->setBackgroundColor(UIColor::clearColor());
    label->setTextColor(UIColor::grayColor());
    label->setFont(UIFont::systemFontOfSize(10.5));
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setUserInteractionEnabled(false);
    label->setText(kHint);

    view()->addSubview(label);
    view()->addSubview(arrow);
}

void TDDrag::describeToScreen(UIScreenDescription& screen) {
    // The hint keeps the place it was given at load: after a turn it may lie off the screen or
    // under the tab bar, and then the screen does not show it.
    if (!isViewLoaded()) return UIViewController::describeToScreen(screen);
    for (const auto& subview : view()->subviews())
        if (auto label = std::dynamic_pointer_cast<UILabel>(subview); label && label->text() == kHint && UIScreenDescription::seen(label))
            screen.addLine(std::string("hint: ") + UIScreenDescription::quoted(kHint));
    UIViewController::describeToScreen(screen);
}

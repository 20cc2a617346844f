#include "controls/popover/PVPopoverBackgroundView.h"

#include "controls/popover/PVSystemVersion.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr CGFloat kInstallHeight = 100;
constexpr const char* kBubbleLayerName = "parent";

bool isVertical(unsigned long direction) {
    return direction == PVPopoverArrowDirectionUp || direction == PVPopoverArrowDirectionDown;
}
bool isHorizontal(unsigned long direction) {
    return direction == PVPopoverArrowDirectionLeft || direction == PVPopoverArrowDirectionRight;
}
} // namespace

PVPopoverBackgroundView::PVPopoverBackgroundView(CGSize contentSize)
    : UIView(CGRectMake(0, 0, contentSize.width, contentSize.height)), contentSize_(contentSize), look_(appearance()) {
    setBackgroundColor(UIColor::clearColor());
    layer()->setName(kBubbleLayerName);
    layer()->setDrawsAsynchronously(!PVSystemVersionIsBelow("6.0"));
    layer()->setContentsScale(UIScreen::mainScreen()->scale());
}

PVPopoverThemeValues& PVPopoverBackgroundView::appearance() {
    static PVPopoverThemeValues store;
    return store;
}

UIEdgeInsets PVPopoverBackgroundView::outerShadowInsets() const {
    auto b = static_cast<CGFloat>(look_.outerShadowBlurRadius);
    CGSize o = look_.outerShadowOffset;
    return UIEdgeInsetsMake(b - o.height, b - o.width, b + o.height, b + o.width);
}

CGRect PVPopoverBackgroundView::outerRectArrowDirection(const CGRect& rect, unsigned long direction) const {
    auto h = static_cast<CGFloat>(look_.arrowHeight);
    CGRect r = rect;
    switch (direction) {
    case PVPopoverArrowDirectionUp: r.origin.y += h; r.size.height -= h; break;
    case PVPopoverArrowDirectionDown: r.size.height -= h; break;
    case PVPopoverArrowDirectionLeft: r.origin.x += h; r.size.width -= h; break;
    case PVPopoverArrowDirectionRight: r.size.width -= h; break;
    default: break;
    }
    auto blur = static_cast<CGFloat>(look_.outerShadowBlurRadius);
    r = CGRectInset(r, blur, blur);
    return CGRectOffset(r, -look_.outerShadowOffset.width, -look_.outerShadowOffset.height);
}

CGRect PVPopoverBackgroundView::innerRectArrowDirection(const CGRect& rect, unsigned long direction) const {
    CGRect o = outerRectArrowDirection(rect, direction);
    auto w = static_cast<CGFloat>(look_.borderWidth);
    const UIEdgeInsets& in = look_.viewContentInsets;
    CGRect r = CGRectMake(o.origin.x + w + in.left, o.origin.y, o.size.width - 2 * w - in.left - in.right, o.size.height - w);
    // A content navigation bar runs to the top of the body; anything else gets the top border too.
    if (navigationBarHeight_ == 0 || wantsDefaultContentAppearance_) {
        r.origin.y += w;
        r.size.height -= w;
    }
    r.origin.y += in.top;
    r.size.height -= in.top + in.bottom;
    if (w != 0) r = CGRectInset(r, -1, -1);
    return r;
}

CGRect PVPopoverBackgroundView::arrowRectArrowDirection(const CGRect& rect, unsigned long direction) const {
    if (look_.arrowHeight == 0) return CGRectZero;
    auto base = static_cast<CGFloat>(look_.arrowBase);
    auto height = static_cast<CGFloat>(look_.arrowHeight);
    // Half the base in whole points, as the stored numbers are whole.
    auto halfBase = static_cast<CGFloat>(look_.arrowBase / 2);
    CGRect o = outerRectArrowDirection(rect, direction);
    CGFloat a = arrowOffset_;
    switch (direction) {
    case PVPopoverArrowDirectionUp: return CGRectMake(CGRectGetMidX(o) - halfBase + a, CGRectGetMinY(o) - height, base, height);
    case PVPopoverArrowDirectionDown: return CGRectMake(CGRectGetMidX(o) - halfBase + a, CGRectGetMaxY(o), base, height);
    case PVPopoverArrowDirectionLeft: return CGRectMake(CGRectGetMinX(o) - height, CGRectGetMidY(o) - halfBase + a, height, base);
    case PVPopoverArrowDirectionRight: return CGRectMake(CGRectGetMaxX(o), CGRectGetMidY(o) - halfBase + a, height, base);
    default: return CGRectMake(0, 0, base, height);
    }
}

bool PVPopoverBackgroundView::isTouchedAtPoint(CGPoint point) const {
    return CGRectContainsPoint(outerRect(), point) || CGRectContainsPoint(arrowRect(), point);
}

CGSize PVPopoverBackgroundView::sizeThatFits(CGSize content) const {
    auto w = static_cast<CGFloat>(look_.borderWidth);
    auto s = static_cast<CGFloat>(look_.outerShadowBlurRadius);
    auto h = static_cast<CGFloat>(look_.arrowHeight);
    CGSize size{content.width + 2 * w + 2 * s, content.height + w + 2 * s};
    if (navigationBarHeight_ == 0) size.height += w;
    if (isHorizontal(arrowDirection_)) size.width += h;
    if (isVertical(arrowDirection_)) size.height += h;
    return size;
}

void PVPopoverBackgroundView::sizeToFit() {
    CGSize size = sizeThatFits(contentSize_);
    setBounds(CGRectMake(0, 0, size.width, size.height));
}

void PVPopoverBackgroundView::setArrowOffset(float offset) {
    CGSize shadow = look_.outerShadowOffset;
    auto along = static_cast<float>(isVertical(arrowDirection_) ? shadow.width : isHorizontal(arrowDirection_) ? shadow.height : 0);
    if (offset == 0) {
        arrowOffset_ = along;
        return;
    }
    float sign = offset < 0 ? -1.0f : 1.0f;
    float m = std::fabs(offset) + sign * along;
    auto inset = static_cast<CGFloat>(look_.arrowBase / 2) + 0.5 +
                 static_cast<CGFloat>(std::min(look_.minOuterCornerRadius, look_.outerCornerRadius));
    CGRect straight = CGRectInset(outerRect(), inset, inset);
    CGFloat half = (isVertical(arrowDirection_) ? straight.size.width : straight.size.height) / 2;
    // A bubble too small for any straight edge keeps the arrow centred rather than flipping it over.
    m = std::min(m, static_cast<float>(std::max<CGFloat>(half, 0)));
    arrowOffset_ = sign * m;
}

void PVPopoverBackgroundView::setViewController(const std::shared_ptr<UIViewController>& controller) {
    contentView_ = controller->view();
    contentView_->setFrame(CGRectIntegral(CGRectMake(0, 0, bounds().size.width, kInstallHeight)));
    addSubview(contentView_);
    // Lays a navigation controller's bar out, so that its height can be read.
    contentView_->layoutIfNeeded();
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(controller);
    navigationBarHeight_ = navigation ? static_cast<float>(navigation->navigationBar()->bounds().size.height) : 0;
    contentView_->setFrame(CGRectIntegral(innerRect()));
    if (!innerView_) {
        innerView_ = std::make_shared<PVPopoverBackgroundInnerView>(contentView_->frame());
        innerView_->setUserInteractionEnabled(false);
        passStyleToInnerView();
    }
    passLayoutToInnerView();
    insertSubviewAboveSubview(innerView_, contentView_);
    innerView_->setFrame(CGRectIntegral(contentView_->frame()));
    layer()->setNeedsDisplay();
}

void PVPopoverBackgroundView::passStyleToInnerView() {
    innerView_->setGradientTopColor(look_.fillTopColor);
    innerView_->setGradientBottomColor(look_.fillBottomColor);
    innerView_->setInnerShadowColor(look_.innerShadowColor);
    innerView_->setInnerStrokeColor(look_.innerStrokeColor);
    innerView_->setInnerShadowOffset(look_.innerShadowOffset);
    innerView_->setInnerCornerRadius(static_cast<float>(look_.innerCornerRadius));
    innerView_->setInnerShadowBlurRadius(static_cast<float>(look_.innerShadowBlurRadius));
    innerView_->setBorderWidth(static_cast<float>(look_.borderWidth));
}

void PVPopoverBackgroundView::passLayoutToInnerView() {
    innerView_->setNavigationBarHeight(navigationBarHeight_);
    innerView_->setGradientHeight(static_cast<float>(frame().size.height - 2 * static_cast<CGFloat>(look_.outerShadowBlurRadius)));
    innerView_->setGradientTopPosition(static_cast<float>(contentView_->frame().origin.y - outerShadowInsets().top));
    innerView_->setWantsDefaultContentAppearance(wantsDefaultContentAppearance_);
}

void PVPopoverBackgroundView::setNeedsDisplay() {
    UIView::setNeedsDisplay();
    if (!innerView_) return;
    passStyleToInnerView();
    if (contentView_) passLayoutToInnerView();
    innerView_->setNeedsDisplay();
}

void PVPopoverBackgroundView::touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    touchedOutside_ = false;
    if (touches.empty()) return;
    auto self = std::static_pointer_cast<PVPopoverBackgroundView>(shared_from_this());
    if (isTouchedAtPoint(touches.front()->locationInView(self))) return;
    touchedOutside_ = true;
    if (auto delegate = delegate_.lock()) delegate->popoverBackgroundViewDidTouchOutside(self);
}

void PVPopoverBackgroundView::touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (!touchedOutside_) UIView::touchesMovedWithEvent(touches, event);
}

void PVPopoverBackgroundView::touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (!touchedOutside_) UIView::touchesEndedWithEvent(touches, event);
    touchedOutside_ = false;
}

void PVPopoverBackgroundView::touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (!touchedOutside_) UIView::touchesCancelledWithEvent(touches, event);
    touchedOutside_ = false;
}

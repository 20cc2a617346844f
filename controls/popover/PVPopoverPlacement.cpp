// Where the bubble goes: the arrow's side, the bubble's size and place beside its anchor within
// the window margins, out of the keyboard's way and turned for the interface orientation.
#include "controls/popover/PVPopoverArea.h"
#include "controls/popover/PVPopoverController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr CGFloat kMinimumHeight = 160; // arrows up and down
constexpr CGFloat kMinimumWidth = 240;  // arrows left and right
constexpr float kRepositionDuration = 0.1f;
constexpr CGFloat kAppearScale = 0.01;
constexpr unsigned long kCollectionOrder[] = {PVPopoverArrowDirectionDown, PVPopoverArrowDirectionUp,
                                              PVPopoverArrowDirectionLeft, PVPopoverArrowDirectionRight, PVPopoverNoArrow};

long interfaceOrientation() { return UIApplication::sharedApplication()->statusBarOrientation(); }

bool isLandscape(long orientation) {
    return orientation == UIInterfaceOrientationLandscapeLeft || orientation == UIInterfaceOrientationLandscapeRight;
}

CGSize keyWindowSize() {
    auto window = UIApplication::sharedApplication()->keyWindow();
    return window ? window->bounds().size : CGSizeZero;
}

// The interface's turn on the screen, as the window turns its controllers' views: a quarter turn
// clockwise for orientation 3 (the device on its left side), back for 4.
float rotationAngle(long orientation) {
    switch (orientation) {
    case UIInterfaceOrientationPortraitUpsideDown: return static_cast<float>(std::numbers::pi);
    case UIInterfaceOrientationLandscapeRight: return static_cast<float>(std::numbers::pi / 2);
    case UIInterfaceOrientationLandscapeLeft: return static_cast<float>(-std::numbers::pi / 2);
    default: return 0;
    }
}

CGAffineTransform translated(const CGAffineTransform& t, CGFloat tx, CGFloat ty) {
    return CGAffineTransformConcat(CGAffineTransformMakeTranslation(tx, ty), t);
}

// Slides q within minX..maxX; the arrow moves the other way by what the bubble slid.
float fitHorizontally(CGRect& q, CGFloat minX, CGFloat maxX) {
    if (q.origin.x < minX) {
        float offset = static_cast<float>(-(minX - q.origin.x));
        q.origin.x = minX;
        return offset;
    }
    if (q.origin.x + q.size.width > maxX) {
        float offset = static_cast<float>(q.origin.x + q.size.width - maxX);
        q.origin.x -= offset;
        return offset;
    }
    return 0;
}

float fitVertically(CGRect& q, CGFloat minY, CGFloat maxY) {
    if (q.origin.y < minY) {
        float offset = static_cast<float>(-(minY - q.origin.y));
        q.origin.y = minY;
        return offset;
    }
    if (q.origin.y + q.size.height > maxY) {
        float offset = static_cast<float>(q.origin.y + q.size.height - maxY);
        q.origin.y -= offset;
        return offset;
    }
    return 0;
}
} // namespace

float PVStatusBarHeight() {
    CGRect frame = UIApplication::sharedApplication()->statusBarFrame();
    return static_cast<float>(isLandscape(interfaceOrientation()) ? frame.size.width : frame.size.height);
}

CGRect PVRectInWindowBounds(const CGRect& r, long orientation) {
    CGSize window = keyWindowSize();
    const auto W = static_cast<float>(window.width), H = static_cast<float>(window.height);
    const CGFloat x = r.origin.x, y = r.origin.y, w = r.size.width, h = r.size.height;
    switch (orientation) {
    case UIInterfaceOrientationPortraitUpsideDown: return CGRectMake(W - x - w, H - y - h, w, h);
    case UIInterfaceOrientationLandscapeRight: return CGRectMake(y, W - x - w, h, w);
    case UIInterfaceOrientationLandscapeLeft: return CGRectMake(H - y - h, x, h, w);
    default: return r;
    }
}

bool PVPopoverController::ignoresKeyboard() const {
    auto d = delegate();
    return d && d->popoverControllerShouldIgnoreKeyboardBounds(const_cast<PVPopoverController&>(*this)).value_or(false);
}

CGFloat PVPopoverController::keyboardHeight() const {
    if (ignoresKeyboard()) return 0;
    return isLandscape(interfaceOrientation()) ? keyboardRect_.size.width : keyboardRect_.size.height;
}

PVPopoverController::FreeBounds PVPopoverController::freeBounds(const CGRect& rect, const UIViewPtr& view) const {
    const long orientation = interfaceOrientation();
    FreeBounds free;
    free.anchor = PVRectInWindowBounds(view ? view->convertRectToView(rect, nullptr) : rect, orientation);
    free.keyboard = keyboardHeight();
    CGSize overlay = overlayView_ ? overlayView_->bounds().size : CGSizeZero;
    if (isLandscape(orientation)) std::swap(overlay.width, overlay.height);
    const UIEdgeInsets& m = popoverLayoutMargins_;
    free.minX = m.left;
    free.maxX = overlay.width - m.right;
    free.minY = PVStatusBarHeight() + m.top;
    free.maxY = overlay.height - m.bottom - free.keyboard;
    return free;
}

CGSize PVPopoverController::sizeForRectInViewArrowHeightArrowDirection(const CGRect& rect, const UIViewPtr& view,
                                                                       float arrowHeight, unsigned long direction) const {
    const FreeBounds f = freeBounds(rect, view);
    const CGRect& v = f.anchor;
    switch (direction) {
    case PVPopoverArrowDirectionUp: return {f.maxX - f.minX, f.maxY - (v.origin.y + v.size.height) - arrowHeight};
    case PVPopoverArrowDirectionDown: return {f.maxX - f.minX, v.origin.y - f.minY - arrowHeight};
    case PVPopoverArrowDirectionLeft: return {f.maxX - (v.origin.x + v.size.width) - arrowHeight, f.maxY - f.minY};
    case PVPopoverArrowDirectionRight: return {v.origin.x - f.minX - arrowHeight, f.maxY - f.minY};
    case PVPopoverNoArrow: return {f.maxX - f.minX, f.maxY - f.minY};
    default: return CGSizeZero;
    }
}

unsigned long PVPopoverController::arrowDirectionForRectInViewContentSizeArrowHeightPermittedArrowDirections(
    const CGRect& rect, const UIViewPtr& view, CGSize contentSize, float arrowHeight, unsigned long directions) const {
    std::vector<std::shared_ptr<PVPopoverArea>> areas;
    for (unsigned long direction : kCollectionOrder)
        if (directions & direction)
            areas.push_back(std::make_shared<PVPopoverArea>(
                direction, sizeForRectInViewArrowHeightArrowDirection(rect, view, arrowHeight, direction)));
    if (areas.size() > 1)
        std::erase_if(areas, [](const auto& a) { return a->areaSize().width <= 0 || a->areaSize().height <= 0; });
    // Stable: sides of equal room keep the order they were collected in.
    std::stable_sort(areas.begin(), areas.end(), [](const auto& a, const auto& b) { return a->value() > b->value(); });
    for (const auto& area : areas)
        if (area->areaSize().width >= contentSize.width) return area->arrowDirection();
    if (!areas.empty()) return areas.front()->arrowDirection();
    for (unsigned long direction : {PVPopoverArrowDirectionDown, PVPopoverArrowDirectionUp, PVPopoverArrowDirectionLeft})
        if (directions & direction) return direction;
    return PVPopoverArrowDirectionRight;
}

CGRect PVPopoverController::placeBubble(unsigned long d, CGSize contentSize, const FreeBounds& f) {
    auto& bubble = *backgroundView_;
    const UIEdgeInsets in = bubble.outerShadowInsets();
    const CGRect& v = f.anchor;
    bubble.setArrowDirection(d);
    CGSize s = bubble.sizeThatFits(contentSize);
    CGRect frame = CGRectMake(0, 0, std::min(f.maxX - f.minX, s.width), std::min(f.maxY - f.minY, s.height));
    if (d == PVPopoverArrowDirectionDown || d == PVPopoverArrowDirectionRight || d == PVPopoverNoArrow)
        frame = CGRectIntegral(frame);
    bubble.setFrame(frame);
    if (d == PVPopoverNoArrow)
        bubble.setCenter({(f.minX + f.maxX) / 2, (f.minY + f.maxY) / 2});
    else
        bubble.setCenter({CGRectGetMidX(v), CGRectGetMidY(v)});
    CGRect q = bubble.frame();
    if (d == PVPopoverArrowDirectionLeft) q = CGRectIntegral(q);

    switch (d) {
    case PVPopoverArrowDirectionDown: {
        bubble.setArrowOffset(fitHorizontally(q, f.minX, f.maxX));
        q.origin.y -= q.size.height / 2 + v.size.height / 2 - in.bottom;
        if (q.origin.y < f.minY) {
            // Shrink to fit above the anchor, but never below the minimum: then run past the top.
            CGFloat cut = f.minY - q.origin.y;
            q.size.height -= cut;
            if (q.size.height < kMinimumHeight) {
                cut -= kMinimumHeight - q.size.height;
                q.size.height = kMinimumHeight;
            }
            q.origin.y += cut;
        }
        break;
    }
    case PVPopoverArrowDirectionUp:
        bubble.setArrowOffset(fitHorizontally(q, f.minX, f.maxX));
        q.origin.y += q.size.height / 2 + v.size.height / 2 - in.top;
        if (q.origin.y + q.size.height > f.maxY)
            q.size.height = std::max(kMinimumHeight, q.size.height - (q.origin.y + q.size.height - f.maxY));
        break;
    case PVPopoverArrowDirectionRight: {
        q.origin.x -= q.size.width / 2 + v.size.width / 2 - in.right;
        if (q.origin.x < f.minX) {
            CGFloat cut = f.minX - q.origin.x;
            q.size.width -= cut;
            if (q.size.width < kMinimumWidth) {
                cut -= kMinimumWidth - q.size.width;
                q.size.width = kMinimumWidth;
            }
            q.origin.x += cut;
        }
        bubble.setArrowOffset(fitVertically(q, f.minY, f.maxY));
        break;
    }
    case PVPopoverArrowDirectionLeft:
        q.origin.x += q.size.width / 2 + v.size.width / 2 - in.left;
        if (q.origin.x + q.size.width > f.maxX)
            q.size.width = std::max(kMinimumWidth, q.size.width - (q.origin.x + q.size.width - f.maxX));
        bubble.setArrowOffset(fitVertically(q, f.minY, f.maxY));
        break;
    default:
        bubble.setArrowOffset(0);
        break;
    }
    return CGRectIntegral(q);
}

CGRect PVPopoverController::moveOutOfKeyboard(CGRect q, const FreeBounds& f) {
    if (f.keyboard <= 0) return q;
    const bool landscape = isLandscape(interfaceOrientation());
    auto y = static_cast<float>(q.origin.y + q.size.height - (landscape ? keyboardRect_.origin.x : keyboardRect_.origin.y));
    if (y <= 0) return q;
    if (q.origin.y - y < f.minY) y -= static_cast<float>(f.minY - (q.origin.y - y));
    if (auto d = delegate()) d->popoverControllerWillTranslatePopoverWithYOffset(*this, &y);
    q.origin.y -= y;
    return q;
}

CGRect PVPopoverController::rotateIntoInterface(const CGRect& q) {
    const long orientation = interfaceOrientation();
    backgroundView_->setTransform(CGAffineTransformMakeRotation(rotationAngle(orientation)));
    const CGSize size = backgroundView_->frame().size;
    const CGSize window = keyWindowSize();
    const CGFloat W = window.width, H = window.height, x = q.origin.x, y = q.origin.y, w = size.width, h = size.height;
    switch (orientation) {
    case UIInterfaceOrientationPortraitUpsideDown: return CGRectMake(W - x - w, H - y - h, w, h);
    case UIInterfaceOrientationLandscapeRight: return CGRectMake(W - y - w, x, w, h);
    case UIInterfaceOrientationLandscapeLeft: return CGRectMake(y, H - x - h, w, h);
    default: return CGRectMake(x, y, w, h);
    }
}

void PVPopoverController::positionPopover(bool animated) {
    if (!backgroundView_ || !overlayView_) return;
    const CGRect startFrame = backgroundView_->frame();
    const CGSize contentSize = popoverContentSize();
    if (auto window = hostWindow()) overlayView_->setBounds(window->bounds());
    backgroundView_->setTransform(CGAffineTransformIdentity);

    FreeBounds f = freeBounds(rect_, inView_);
    const auto arrowHeight = static_cast<float>(backgroundView_->arrowHeight());
    const unsigned long d = arrowDirectionForRectInViewContentSizeArrowHeightPermittedArrowDirections(
        rect_, inView_, contentSize, arrowHeight, permittedArrowDirections_);
    // The shadow may spill over the margins.
    const UIEdgeInsets in = backgroundView_->outerShadowInsets();
    f.minX = static_cast<float>(f.minX) - static_cast<float>(in.left);
    f.maxX = static_cast<float>(f.maxX) + static_cast<float>(in.right);
    f.minY = static_cast<float>(f.minY) - static_cast<float>(in.top);
    f.maxY = static_cast<float>(f.maxY) + static_cast<float>(in.bottom);

    CGRect q = placeBubble(d, contentSize, f);
    backgroundView_->setFrame(q);
    backgroundView_->setWantsDefaultContentAppearance(wantsDefaultContentAppearance_);
    if (viewController_) backgroundView_->setViewController(viewController_);
    q = moveOutOfKeyboard(q, f);
    const CGRect finalFrame = rotateIntoInterface(q);

    if (!animated) return backgroundView_->setFrame(finalFrame);
    backgroundView_->setFrame(startFrame);
    auto bubble = backgroundView_;
    UIView::animateWithDuration(kRepositionDuration, [bubble, finalFrame] { bubble->setFrame(finalFrame); });
}

CGAffineTransform PVPopoverController::transformForArrowDirection(unsigned long direction) const {
    if (!backgroundView_) return CGAffineTransformIdentity;
    CGAffineTransform t = backgroundView_->transform();
    if (backgroundView_->arrowHeight() != 0) {
        CGSize size = backgroundView_->frame().size;
        if (isLandscape(interfaceOrientation())) std::swap(size.width, size.height);
        const CGFloat a = backgroundView_->arrowOffset(), w = size.width, h = size.height;
        switch (direction) {
        case PVPopoverArrowDirectionUp: t = translated(t, a, -h / 2); break;
        case PVPopoverArrowDirectionDown: t = translated(t, a, h / 2); break;
        case PVPopoverArrowDirectionLeft: t = translated(t, -w / 2, a); break;
        case PVPopoverArrowDirectionRight: t = translated(t, w / 2, a); break;
        default: break;
        }
    }
    return CGAffineTransformConcat(CGAffineTransformMakeScale(kAppearScale, kAppearScale), t);
}

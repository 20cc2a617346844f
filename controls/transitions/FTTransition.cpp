#include "controls/transitions/FTTransition.h"

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSFoundationVersionNumber.h"
#include "platform/uikit/CAMediaTimingFunction.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"

#include <cmath>
#include <limits>

namespace {
// The last Foundation release that laid full-screen views out under the status bar.
constexpr double kLastFullScreenLayoutFoundation = 993.0;

// The status bar's frame as the view sees it (through its window).
CGRect statusBarIn(const UIViewPtr& view) {
    auto bar = UIApplication::sharedApplication()->statusBarFrame();
    if (auto window = view->window()) bar = window->convertRectFromWindow(bar, nullptr);
    return view->convertRectFromView(bar, nullptr);
}

std::shared_ptr<UIViewController> topmostAncestor(std::shared_ptr<UIViewController> controller) {
    while (auto parent = controller->parentViewController()) controller = parent;
    return controller;
}
} // namespace

FTTransition::FTTransition(UIViewPtr sourceView, UIViewPtr destinationView, double duration, std::int64_t timingCurve,
                           std::int32_t completionAction)
    : sourceView_(std::move(sourceView)), destinationView_(std::move(destinationView)), duration_(duration),
      rect_(sourceView_ ? sourceView_->bounds() : CGRectZero), completionAction_(completionAction),
      timingCurve_(timingCurve), m34_(std::numeric_limits<float>::infinity()) {}

void FTTransition::perform(Completion) {
    throw NSException(kFTIncompleteImplementation, "FTTransition must be subclassed and the perform: method implemented.");
}

void FTTransition::setPresentingController(const std::shared_ptr<UIViewController>& controller) {
    if (!controller) return;
    auto top = topmostAncestor(controller);
    auto view = top->view();
    sourceView_ = view;
    if (top->wantsFullScreenLayout() && NSFoundationVersionNumber <= kLastFullScreenLayoutFoundation) {
        auto frame = view->convertRectFromView(view->frame(), nullptr);
        CGFloat h = statusBarIn(view).size.height;
        rect_ = CGRectMake(frame.origin.x, frame.origin.y + h, frame.size.width, frame.size.height - h);
    } else {
        rect_ = view->bounds();
    }
}

void FTTransition::setPresentedController(const std::shared_ptr<UIViewController>& controller) {
    statusBarInFrame_ = std::dynamic_pointer_cast<UINavigationController>(controller) != nullptr;
}

CGRect FTTransition::calculateRect() {
    if (dismissing_ && statusBarInFrame_ && destinationView_) {
        CGFloat h = statusBarIn(destinationView_).size.height;
        rect_.origin.y += h;
        rect_.size.height -= h;
    }
    return rect_;
}

void FTTransition::transitionDidComplete() {
    switch (completionAction_) {
    case FTCompletionSwapViews:
        if (auto parent = sourceView_->superview()) parent->addSubview(destinationView_);
        sourceView_->removeFromSuperview();
        sourceView_->setHidden(false);
        break;
    case FTCompletionToggleHidden:
        destinationView_->setHidden(false);
        sourceView_->setHidden(true);
        break;
    case FTCompletionKeepViews: sourceView_->setHidden(false); break;
    default: break;
    }
}

std::string FTTransition::timingCurveFunctionName() const {
    switch (timingCurve_) {
    case 0: return kCAMediaTimingFunctionEaseInEaseOut;
    case 1: return kCAMediaTimingFunctionEaseIn;
    case 2: return kCAMediaTimingFunctionEaseOut;
    case 3: return kCAMediaTimingFunctionLinear;
    default: return kCAMediaTimingFunctionDefault;
    }
}

FTTransition::Split FTTransition::splitAcross(CGFloat across, CGFloat scale) {
    CGFloat half = across / 2;
    CGFloat first = static_cast<CGFloat>(std::round(static_cast<float>(half * scale))) / scale;
    return {half, first, across - first, first != half};
}

CGFloat FTTransition::perspective(CGFloat half) const {
    if (std::isfinite(m34_)) return m34_;
    return -1 / (half * 4.6666667);
}

void FTTransition::destinationSideRects(const CGRect& r, CGRect& first, CGRect& second) {
    if (!dismissing_)
        destinationView_->setBounds(statusBarInFrame_ ? CGRectMake(0, 0, r.size.width + r.origin.x, r.size.height + r.origin.y)
                                                      : CGRectMake(0, 0, r.size.width, r.size.height));
    first = CGRectOffset(first, -r.origin.x, -r.origin.y);
    second = CGRectOffset(second, -r.origin.x, -r.origin.y);
    if (dismissing_) {
        auto b = destinationView_->bounds();
        CGFloat dw = b.size.width - r.size.width, dh = b.size.height - r.size.height;
        first = CGRectOffset(first, dw, dh);
        second = CGRectOffset(second, dw, dh);
        if (!statusBarInFrame_) rect_ = CGRectOffset(rect_, dw, dh);
    } else if (statusBarInFrame_) {
        first = CGRectOffset(first, r.origin.x, r.origin.y);
        second = CGRectOffset(second, r.origin.x, r.origin.y);
    }
}

CGRect FTTransition::hostFrame(const UIViewPtr& view, const UIViewPtr& container, CGRect* firstConverted) const {
    auto frame = container->convertRectFromView(rect_, view);
    if (firstConverted) *firstConverted = frame;
    if (std::dynamic_pointer_cast<UIWindow>(container)) frame = view->convertRectFromView(frame, nullptr);
    return frame;
}

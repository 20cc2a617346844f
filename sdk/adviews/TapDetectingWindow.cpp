#include "sdk/adviews/TapDetectingWindow.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/adviews/VuderuAdWindowBasedMraidViewController.h"

namespace {
// How long a single tap waits for a second one before it is forwarded.
constexpr double kForwardDelay = 0.5;
} // namespace

TapDetectingWindow::TapDetectingWindow(const CGRect& frame) : UIWindow(frame) {}

std::shared_ptr<TapDetectingWindow> TapDetectingWindow::initWithViewToObserverAndDelegate(const CGRect& frame, const UIViewPtr& view,
                                                                                          const std::shared_ptr<NSObject>& delegate) {
    auto window = std::make_shared<TapDetectingWindow>(frame);
    window->setViewToObserve(view);
    window->setControllerThatObserves(delegate);
    return window;
}

TapDetectingWindow::~TapDetectingWindow() { cancelPendingForward(); }

void TapDetectingWindow::cancelPendingForward() {
    if (pendingForward_) pendingForward_->invalidate();
    pendingForward_.reset();
}

void TapDetectingWindow::sendEvent(const std::shared_ptr<UIEvent>& event) {
    auto keep = self<TapDetectingWindow>();
    UIWindow::sendEvent(event);
    auto observed = viewToObserve_;
    auto observer = controllerThatObserves();
    if (!event || !observed || !observer) return;
    const auto& touches = event->allTouches();
    if (touches.size() != 1 || touches.front()->phase() != UITouchPhaseEnded) return;
    const auto& touch = touches.front();
    CGPoint point = touch->locationInView(observed);
    // The MRAID takeover's close corner acts at once.
    if (std::dynamic_pointer_cast<VuderuAdWindowBasedMraidViewController>(observer) && forwardTap(point)) return;
    auto view = touch->view();
    if (!view || (view != observed && !view->isDescendantOfView(observed.get()))) return;
    if (touch->tapCount() > 1) return cancelPendingForward();
    if (touch->tapCount() != 1) return;
    cancelPendingForward();
    // Only the window is held weakly here, and the observer is looked up when the time comes:
    // a window or observer gone meanwhile takes the forward with it.
    std::weak_ptr<TapDetectingWindow> weak = keep;
    pendingForward_ = NSTimer::scheduledTimerWithTimeInterval(kForwardDelay, false, [weak, point](const std::shared_ptr<NSTimer>&) {
        auto window = weak.lock();
        if (!window) return;
        window->pendingForward_.reset();
        window->forwardTap(point);
    });
}

bool TapDetectingWindow::forwardTap(CGPoint point) {
    auto observer = std::dynamic_pointer_cast<TapDetectingWindowDelegate>(controllerThatObserves());
    return observer && observer->userDidTapView(point);
}

void TapDetectingWindow::touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    std::shared_ptr<UITouch> ended;
    for (auto& t : touches)
        if (t->phase() == UITouchPhaseEnded) ended = t;
    if (ended) NSNotificationCenter::defaultCenter()->postNotificationName(kVuderuTapWindowTouchEvent, {}, {{"touch", ended}});
    // On along the chain, so the touch still reads as unhandled where nothing took it.
    UIWindow::touchesEndedWithEvent(touches, event);
}

void TapDetectingWindow::describeToScreen(UIScreenDescription& screen) {
    UIWindow::describeToScreen(screen);
    auto controller = rootViewController();
    for (const auto& view : subviews())
        if (!controller) controller = view->viewController();
    screen.addLine("window: " + (controller ? controller->className() : className()));
}

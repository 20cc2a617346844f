#pragma once
// A window that watches single taps on one view and forwards them, half a second after the
// finger lifts, to an observer; a second tap in time cancels the forward. The in-app browser and
// the window-based takeovers use it; the MRAID takeover closes the ad on a tap in its close corner.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSTimer.h"
#include "platform/uikit/UIWindow.h"

#include <memory>

// Notification posted on every touch that ends in the window (user info "touch": the touch).
inline constexpr const char* kVuderuTapWindowTouchEvent = "VuderuTapWindowTouchEvent";

class TapDetectingWindowDelegate {
public:
    virtual ~TapDetectingWindowDelegate() = default;
    // A tap at a point of the observed view; YES when the observer handled it.
    virtual bool userDidTapView(CGPoint point) = 0;
};

class TapDetectingWindow : public UIWindow {
public:
    // A window over the frame watching `view` for `delegate` (any object; held weakly).
    static std::shared_ptr<TapDetectingWindow> initWithViewToObserverAndDelegate(const CGRect& frame, const UIViewPtr& view,
                                                                                 const std::shared_ptr<NSObject>& delegate);
    explicit TapDetectingWindow(const CGRect& frame);
    ~TapDetectingWindow() override;

    const UIViewPtr& viewToObserve() const { return viewToObserve_; }
    void setViewToObserve(const UIViewPtr& view) { viewToObserve_ = view; }
    std::shared_ptr<NSObject> controllerThatObserves() const { return controllerThatObserves_.lock(); }
    void setControllerThatObserves(const std::shared_ptr<NSObject>& observer) { controllerThatObserves_ = observer; }

    // Delivers the event as any window does, then watches it for a tap on the observed view.
    void sendEvent(const std::shared_ptr<UIEvent>& event) override;
    // The observer's answer for the point; NO when it is gone or takes no taps.
    bool forwardTap(CGPoint point);
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    // In front of the app's window the screen text names the controller shown in it.
    void describeToScreen(UIScreenDescription& screen) override;

private:
    void cancelPendingForward();

    UIViewPtr viewToObserve_;
    std::weak_ptr<NSObject> controllerThatObserves_;
    // The forward a single tap scheduled, until it runs or a second tap cancels it.
    std::shared_ptr<NSTimer> pendingForward_;
};

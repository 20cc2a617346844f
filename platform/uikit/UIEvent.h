#pragma once
// Events: touches with their locations, and motion (the shake).

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <vector>

class UIView;
class UIWindow;

enum UIEventType : long { UIEventTypeTouches = 0, UIEventTypeMotion = 1 };
enum UIEventSubtype : long { UIEventSubtypeNone = 0, UIEventSubtypeMotionShake = 1 };

class UITouch : public NSObject {
public:
    // A touch at a point of the window, landing on the view.
    UITouch(const std::shared_ptr<UIWindow>& window, const std::shared_ptr<UIView>& view, CGPoint locationInWindow);

    std::shared_ptr<UIView> view() const { return view_.lock(); }
    std::shared_ptr<UIWindow> window() const { return window_.lock(); }
    // The touch's location in the view's coordinates (the window's when view is nil).
    CGPoint locationInView(const std::shared_ptr<UIView>& view) const;
    long tapCount() const { return 1; }

private:
    std::weak_ptr<UIWindow> window_;
    std::weak_ptr<UIView> view_;
    CGPoint location_;
};

class UIEvent : public NSObject {
public:
    UIEvent(UIEventType type, UIEventSubtype subtype, std::vector<std::shared_ptr<UITouch>> touches = {});

    UIEventType type() const { return type_; }
    UIEventSubtype subtype() const { return subtype_; }
    double timestamp() const { return timestamp_; }
    const std::vector<std::shared_ptr<UITouch>>& allTouches() const { return touches_; }
    std::vector<std::shared_ptr<UITouch>> touchesForView(const std::shared_ptr<UIView>& view) const;

private:
    UIEventType type_;
    UIEventSubtype subtype_;
    double timestamp_;
    std::vector<std::shared_ptr<UITouch>> touches_;
};

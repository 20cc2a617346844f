#pragma once
// The responder chain: first responder, touches and motion events.

#include "platform/foundation/NSObject.h"
#include "platform/uikit/UIEvent.h"

#include <memory>

class UIResponder : public NSObject {
public:
    virtual std::shared_ptr<UIResponder> nextResponder() const { return nullptr; }

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool becomeFirstResponder();
    virtual bool canResignFirstResponder() const { return true; }
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    // The process's one first responder (the device has one key window), or nil.
    static std::shared_ptr<UIResponder> currentFirstResponder();

    // Touches travel up the chain until a responder handles them (overrides without calling the
    // base); past the last responder they are marked unhandled.
    virtual void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);
    virtual void touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);
    virtual void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);
    virtual void touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);

    // Motion events travel up the chain until a responder handles them.
    virtual void motionBeganWithEvent(UIEventSubtype motion, const std::shared_ptr<UIEvent>& event);
    virtual void motionEndedWithEvent(UIEventSubtype motion, const std::shared_ptr<UIEvent>& event);
    virtual void motionCancelledWithEvent(UIEventSubtype motion, const std::shared_ptr<UIEvent>& event);
};

#pragma once
// UIKit Dynamics behaviours, without the physics: a snap holds its item at a point and an
// attachment holds its item at its anchor, which may move. Their springs (damping, frequency,
// length) are kept as given so that callers can be checked, but the item simply rests where the
// behaviour puts it once its animator next settles (see UIDynamicAnimator). Behaviours do not keep
// their items alive (an item commonly holds its own behaviour): a gone item is left out.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <vector>

class UIDynamicAnimator;
class UIView;

class UIDynamicBehavior : public NSObject {
public:
    // The animator the behaviour was added to, while it is there.
    std::shared_ptr<UIDynamicAnimator> dynamicAnimator() const { return animator_.lock(); }
    // Puts the behaviour's items where it holds them; nothing by default.
    virtual void settle() {}

protected:
    // Asks the animator, if any, to settle again at its next pass.
    void changed();

private:
    friend class UIDynamicAnimator;
    std::weak_ptr<UIDynamicAnimator> animator_;
};

class UISnapBehavior : public UIDynamicBehavior {
public:
    UISnapBehavior(std::shared_ptr<UIView> item, CGPoint snapToPoint);
    std::shared_ptr<UIView> item() const { return item_.lock(); }
    CGPoint snapPoint() const { return snapPoint_; }
    CGFloat damping() const { return damping_; }
    void setDamping(CGFloat damping) { damping_ = damping; }
    void settle() override;

private:
    std::weak_ptr<UIView> item_;
    CGPoint snapPoint_;
    CGFloat damping_ = 0.5;
};

class UIAttachmentBehavior : public UIDynamicBehavior {
public:
    // Ties the item's centre to the anchor (in the animator's reference view).
    UIAttachmentBehavior(std::shared_ptr<UIView> item, CGPoint attachedToAnchor);
    std::shared_ptr<UIView> item() const { return item_.lock(); }
    CGPoint anchorPoint() const { return anchorPoint_; }
    // A moved anchor takes the item along at the animator's next pass.
    void setAnchorPoint(CGPoint anchor);
    CGFloat damping() const { return damping_; }
    void setDamping(CGFloat damping) { damping_ = damping; }
    CGFloat frequency() const { return frequency_; }
    void setFrequency(CGFloat frequency) { frequency_ = frequency; }
    CGFloat length() const { return length_; }
    void setLength(CGFloat length) { length_ = length; }
    void settle() override;

private:
    std::weak_ptr<UIView> item_;
    CGPoint anchorPoint_;
    CGFloat damping_ = 0;
    CGFloat frequency_ = 0;
    CGFloat length_ = 0;
};

// Properties of the items' motion; with no physics they change nothing.
class UIDynamicItemBehavior : public UIDynamicBehavior {
public:
    explicit UIDynamicItemBehavior(const std::vector<std::shared_ptr<UIView>>& items = {});
    // The items still alive.
    std::vector<std::shared_ptr<UIView>> items() const;
    void addItem(std::shared_ptr<UIView> item);
    void removeItem(const std::shared_ptr<UIView>& item);
    bool allowsRotation() const { return allowsRotation_; }
    void setAllowsRotation(bool allows) { allowsRotation_ = allows; }

private:
    std::vector<std::weak_ptr<UIView>> items_;
    bool allowsRotation_ = true;
};

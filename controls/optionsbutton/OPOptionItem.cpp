#include "controls/optionsbutton/OPOptionItem.h"

#include "platform/uikit/UIDynamicAnimator.h"
#include "platform/uikit/UIEvent.h"

OPOptionItem::OPOptionItem() : UIButton(UIButtonTypeCustom) {
    setFrame(CGRectMake(0, 0, kSide, kSide));
    setupButton();
}

OPOptionItem::OPOptionItem(std::int64_t index) : OPOptionItem() { index_ = index; }

OPOptionItem::~OPOptionItem() { attachment_.reset(); }

void OPOptionItem::setupButton() {
    layer()->setCornerRadius(frame().size.height / 2);
    // The springs move the centre, which is the item's lower-right corner.
    layer()->setAnchorPoint(CGPointMake(1.0, 1.0));
    setBackgroundColor(UIColor::blueColor());
    layer()->setShadowColor(UIColor::blackColor());
    layer()->setShadowOffset(CGSizeMake(0, 1));
    layer()->setShadowRadius(5);
    layer()->setShadowOpacity(0.5);
}

void OPOptionItem::setImageForState(UIImagePtr image, unsigned long state) {
    UIButton::setImageForState(std::move(image), state);
    setBackgroundColor(UIColor::clearColor());
}

void OPOptionItem::touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    if (touches.empty()) return;
    CGPoint p = (*touches.begin())->locationInView(superview());
    CGSize size = frame().size;
    dragAttachement_ = std::make_shared<UIAttachmentBehavior>(self<UIView>(),
                                                              CGPointMake(p.x + size.width / 2, p.y + size.height / 2));
    setHighlighted(true);
    auto animator = attachment_ ? attachment_->dynamicAnimator() : nullptr;
    if (!animator) return;
    animator->addBehavior(dragAttachement_);
    animator->removeBehavior(attachment_);
}

void OPOptionItem::touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    if (touches.empty() || !dragAttachement_) return;
    CGPoint q = (*touches.begin())->locationInView(self<UIView>());
    CGSize size = frame().size;
    dragAttachement_->setAnchorPoint(
        convertPointToView(CGPointMake(q.x + size.width / 2, q.y + size.height / 2), superview()));
    // Any movement makes the touch a drag.
    setHighlighted(false);
}

void OPOptionItem::touchesEndedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) {
    releaseDrag();
    if (isHighlighted()) {
        setHighlighted(false);
        sendActionsForControlEvents(UIControlEventTouchUpInside);
    }
    setHighlighted(false);
}

void OPOptionItem::touchesCancelledWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) {
    releaseDrag();
    setHighlighted(false);
}

void OPOptionItem::releaseDrag() {
    if (!dragAttachement_) return;
    auto animator = dragAttachement_->dynamicAnimator();
    if (!animator) return;
    animator->removeBehavior(dragAttachement_);
    if (attachment_) animator->addBehavior(attachment_);
}

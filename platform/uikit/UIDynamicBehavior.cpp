#include "platform/uikit/UIDynamicBehavior.h"

#include "platform/uikit/UIDynamicAnimator.h"
#include "platform/uikit/UIView.h"

#include <algorithm>

UISnapBehavior::UISnapBehavior(std::shared_ptr<UIView> item, CGPoint snapToPoint)
    : item_(std::move(item)), snapPoint_(snapToPoint) {}

void UISnapBehavior::settle() {
    if (!item_) return;
    item_->setCenter(snapPoint_);
    if (auto animator = dynamicAnimator()) animator->recordPlacement(item_, snapPoint_);
}

UIAttachmentBehavior::UIAttachmentBehavior(std::shared_ptr<UIView> item, CGPoint attachedToAnchor)
    : item_(std::move(item)), anchorPoint_(attachedToAnchor) {}

void UIAttachmentBehavior::setAnchorPoint(CGPoint anchor) {
    anchorPoint_ = anchor;
    changed();
}

void UIAttachmentBehavior::settle() {
    if (!item_) return;
    item_->setCenter(anchorPoint_);
    if (auto animator = dynamicAnimator()) animator->recordPlacement(item_, anchorPoint_);
}

void UIDynamicItemBehavior::addItem(std::shared_ptr<UIView> item) {
    if (item && std::find(items_.begin(), items_.end(), item) == items_.end()) items_.push_back(std::move(item));
}

void UIDynamicItemBehavior::removeItem(const std::shared_ptr<UIView>& item) {
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
}

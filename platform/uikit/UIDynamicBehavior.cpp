#include "platform/uikit/UIDynamicBehavior.h"

#include "platform/uikit/UIDynamicAnimator.h"
#include "platform/uikit/UIView.h"

#include <algorithm>

UISnapBehavior::UISnapBehavior(std::shared_ptr<UIView> item, CGPoint snapToPoint)
    : item_(std::move(item)), snapPoint_(snapToPoint) {}

void UISnapBehavior::settle() {
    auto item = item_.lock();
    if (!item) return;
    item->setCenter(snapPoint_);
    if (auto animator = dynamicAnimator()) animator->recordPlacement(item, snapPoint_);
}

UIAttachmentBehavior::UIAttachmentBehavior(std::shared_ptr<UIView> item, CGPoint attachedToAnchor)
    : item_(std::move(item)), anchorPoint_(attachedToAnchor) {}

void UIAttachmentBehavior::setAnchorPoint(CGPoint anchor) {
    anchorPoint_ = anchor;
    changed();
}

void UIAttachmentBehavior::settle() {
    auto item = item_.lock();
    if (!item) return;
    item->setCenter(anchorPoint_);
    if (auto animator = dynamicAnimator()) animator->recordPlacement(item, anchorPoint_);
}

UIDynamicItemBehavior::UIDynamicItemBehavior(const std::vector<std::shared_ptr<UIView>>& items) {
    for (auto& item : items) addItem(item);
}

std::vector<std::shared_ptr<UIView>> UIDynamicItemBehavior::items() const {
    std::vector<std::shared_ptr<UIView>> alive;
    for (auto& weak : items_)
        if (auto item = weak.lock()) alive.push_back(item);
    return alive;
}

void UIDynamicItemBehavior::addItem(std::shared_ptr<UIView> item) {
    if (!item) return;
    // Gone items leave their places to new ones.
    std::erase_if(items_, [](const std::weak_ptr<UIView>& weak) { return weak.expired(); });
    auto same = [&](const std::weak_ptr<UIView>& weak) { return weak.lock() == item; };
    if (std::none_of(items_.begin(), items_.end(), same)) items_.push_back(item);
}

void UIDynamicItemBehavior::removeItem(const std::shared_ptr<UIView>& item) {
    std::erase_if(items_, [&](const std::weak_ptr<UIView>& weak) { return weak.expired() || weak.lock() == item; });
}

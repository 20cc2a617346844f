// The options on their half circle: thrown out, pulled back, chosen.

#include "controls/optionsbutton/OPOptionsButton.h"

#include "platform/dispatch/dispatch.h"

#include <algorithm>
#include <cmath>
#include <numbers>

void OPOptionsButton::showOptions() {
    auto delegate = delegate_.lock();
    auto superview = host();
    auto bar = tabBar_.lock();
    if (!delegate || !superview || !bar) return;
    std::int64_t n = delegate->opOptionsButtonNumberOfItems(*this);
    if (n < 1) return;
    double step = 180.0 / static_cast<double>(n) / 180.0 * std::numbers::pi;
    auto radius = static_cast<CGFloat>(kRadiusPerItem * n);
    CGFloat screenHeight = screenSize().height;
    CGFloat buttonHeight = frame().size.height;
    CGPoint origin = superview->convertPointFromView(center(), superview);
    for (std::int64_t i = 0; i < n; ++i) {
        auto angle = static_cast<float>(step / 2 + step * static_cast<double>(i));
        CGPoint anchor = CGPointMake(origin.x + radius * std::cos(angle) - 10,
                                     screenHeight - buttonHeight - radius * std::sin(angle));
        auto item = createButtonItemAtIndex(i);
        item->setCenter(origin);
        auto attachment = std::make_shared<UIAttachmentBehavior>(item, anchor);
        attachment->setDamping(kItemDamping);
        attachment->setFrequency(kItemFrequency);
        attachment->setLength(kItemLength);
        item->setAttachment(attachment);
        dynamicItem_->addItem(item);
        delegate->opOptionsButtonWillDisplayButtonItem(*this, *item);
        superview->insertSubviewBelowSubview(item, bar);
        dynamicsAnimator_->addBehavior(attachment);
        items_.push_back(item);
    }
}

std::shared_ptr<OPOptionItem> OPOptionsButton::createButtonItemAtIndex(std::int64_t index) {
    auto item = std::make_shared<OPOptionItem>(index);
    std::weak_ptr<OPOptionItem> weakItem = item;
    item->addTargetActionForControlEvents(
        self<OPOptionsButton>(),
        [weakItem](OPOptionsButton& button) {
            if (auto chosen = weakItem.lock()) button.buttonItemPressed(chosen);
        },
        UIControlEventTouchUpInside);
    if (auto delegate = delegate_.lock()) {
        if (auto image = delegate->opOptionsButtonImageForItemAtIndex(*this, index))
            item->setImageForState(image, UIControlStateNormal);
        if (auto title = delegate->opOptionsButtonTitleForItemAtIndex(*this, index))
            item->setTitleForState(*title, UIControlStateNormal);
    }
    return item;
}

void OPOptionsButton::hideButtons() {
    if (dynamicsAnimator_) dynamicsAnimator_->removeAllBehaviors();
    std::weak_ptr<OPOptionsButton> weak = self<OPOptionsButton>();
    dispatch_async(dispatch_get_main_queue(), [weak] {
        auto button = weak.lock();
        auto superview = button ? button->host() : nullptr;
        if (!superview) return;
        CGPoint home = superview->convertPointFromView(button->center(), superview);
        auto moved = std::make_shared<std::size_t>(0);
        auto items = button->items_;
        UIView::animateWithDuration(
            kPullBackDuration,
            [items, home, moved] {
                for (auto& item : items) {
                    item->setCenter(home);
                    ++*moved;
                }
            },
            [weak, moved](bool finished) {
                auto owner = weak.lock();
                if (!owner || !finished || *moved < owner->items_.size()) return;
                // The main queue is serial: a plain submission runs after everything before it.
                dispatch_async(dispatch_get_main_queue(), [weak] {
                    if (auto later = weak.lock()) later->removeItems();
                });
            });
    });
}

void OPOptionsButton::removeItems() {
    for (auto& item : items_) item->removeFromSuperview();
    items_.clear();
}

void OPOptionsButton::buttonItemPressed(const std::shared_ptr<OPOptionItem>& item) {
    // Only an open menu takes a choice; an item still on its way back is no longer offered.
    if (currentState_ != OPOptionsButtonStateOpen) return;
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
    if (item->attachment()) dynamicsAnimator_->removeBehavior(item->attachment());
    buttonPressed();
    if (auto delegate = delegate_.lock()) delegate->opOptionsButtonDidSelectItem(*this, *item);
    UIView::animateWithDuration(
        kChoiceDuration,
        [item] {
            item->setTransform(CGAffineTransformMakeScale(kChoiceScale, kChoiceScale));
            item->setAlpha(0);
            auto superview = item->superview();
            CGSize host = superview ? superview->frame().size : CGSizeZero;
            item->setCenter(CGPointMake(host.width / 2 + item->frame().size.width / 2, host.height / 2));
        },
        [item](bool finished) {
            if (finished) item->removeFromSuperview();
        });
}

#include "platform/uikit/UITabBar.h"

#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIGraphics.h"

CGRect UITabBar::frameForItemAtIndex(std::size_t index) const {
    if (items_.empty()) return CGRectZero;
    CGFloat width = bounds().size.width / static_cast<CGFloat>(items_.size());
    return CGRectMake(width * static_cast<CGFloat>(index), 0, width, bounds().size.height);
}

void UITabBar::setItems(std::vector<std::shared_ptr<UITabBarItem>> items) {
    for (auto& v : itemViews_) v->removeFromSuperview();
    itemViews_.clear();
    items_ = std::move(items);
    for (auto& item : items_) {
        auto view = std::make_shared<UIView>();
        view->setUserInteractionEnabled(false);
        addSubview(view);
        itemViews_.push_back(view);
        item->setView(view, std::static_pointer_cast<UITabBar>(self<UIView>()));
    }
    placeItemViews();
}

// Observers hear every set, the same item again included, as with the device's automatic
// notifications.
void UITabBar::setSelectedItem(std::shared_ptr<UITabBarItem> item) {
    willChangeValueForKey("selectedItem");
    selectedItem_ = std::move(item);
    didChangeValueForKey("selectedItem");
}

void UITabBar::placeItemViews() {
    for (std::size_t i = 0; i < itemViews_.size(); ++i) itemViews_[i]->setFrame(frameForItemAtIndex(i));
}

void UITabBar::layoutSubviews() {
    placeItemViews();
    UIView::layoutSubviews();
}

void UITabBar::drawRect(const CGRect&) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) return;
    auto tint = barTintColor_ ? barTintColor_ : UIColor::colorWithRed(247 / 255.0, 247 / 255.0, 247 / 255.0, 1);
    tint->setFill();
    c->fillRect(bounds());
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const auto& item = items_[i];
        auto frame = frameForItemAtIndex(i);
        bool selected = item == selectedItem_;
        auto image = selected && item->selectedImage() ? item->selectedImage() : item->image();
        if (image) {
            auto s = image->size();
            image->drawInRect(CGRectMake(CGRectGetMidX(frame) - s.width / 2, frame.origin.y + 4, s.width, s.height));
        }
        // The selected item takes the highlighted state's attributes (then the selected state's),
        // each item its own before the appearance proxy's.
        auto attributes = item->effectiveTitleTextAttributesForState(UIControlStateNormal);
        if (selected) {
            auto chosen = item->effectiveTitleTextAttributesForState(UIControlStateHighlighted);
            if (!chosen.textColor) chosen = item->effectiveTitleTextAttributesForState(UIControlStateSelected);
            if (!chosen.font) chosen.font = attributes.font;
            attributes = chosen;
        }
        auto color = attributes.textColor ? attributes.textColor
                     : selected && tintColor_ ? tintColor_
                                              : UIColor::colorWithWhite(0.57, 1);
        NSStringAttributes text{attributes.font ? attributes.font : UIFont::systemFontOfSize(10), color, NSTextAlignmentCenter};
        NSStringDrawInRect(item->title(), CGRectMake(frame.origin.x, CGRectGetMaxY(frame) - 16, frame.size.width, 14), text);
    }
}

#pragma once
// The bar of a tab bar controller: one item per controller.

#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <vector>

// The selected item is observable (key "selectedItem").
class UITabBar : public UIView, public NSKeyValueObserving {
public:
    using UIView::UIView;
    const std::vector<std::shared_ptr<UITabBarItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<UITabBarItem>> items) { items_ = std::move(items); }
    std::shared_ptr<UITabBarItem> selectedItem() const { return selectedItem_; }
    void setSelectedItem(std::shared_ptr<UITabBarItem> item) {
        willChangeValueForKey("selectedItem");
        selectedItem_ = std::move(item);
        didChangeValueForKey("selectedItem");
    }
    UIColorPtr barTintColor() const { return barTintColor_; }
    void setBarTintColor(UIColorPtr color) { barTintColor_ = std::move(color); }
    UIColorPtr tintColor() const { return tintColor_; }
    void setTintColor(UIColorPtr color) { tintColor_ = std::move(color); }
    // The frame, in the bar's coordinates, of the item at the index (items share the width).
    CGRect frameForItemAtIndex(std::size_t index) const;
    // The bar tint and each item's image and title, the selected one in the tint colour.
    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }

private:
    std::vector<std::shared_ptr<UITabBarItem>> items_;
    std::shared_ptr<UITabBarItem> selectedItem_;
    UIColorPtr barTintColor_;
    UIColorPtr tintColor_;
};

#pragma once
// The bar of a tab bar controller: one item per controller. Each item has a view of its own in the
// bar, covering its share of the width (it takes no touches: the bar handles them). A change of
// the selected item is announced to key-value observers of "selectedItem".

#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <vector>

class UITabBar : public UIView, public NSKeyValueObserving {
public:
    using UIView::UIView;
    const std::vector<std::shared_ptr<UITabBarItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<UITabBarItem>> items);
    std::shared_ptr<UITabBarItem> selectedItem() const { return selectedItem_; }
    void setSelectedItem(std::shared_ptr<UITabBarItem> item);
    // Puts each item's view on its share of the bar.
    void placeItemViews();
    void layoutSubviews() override;
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
    std::vector<UIViewPtr> itemViews_;
    std::shared_ptr<UITabBarItem> selectedItem_;
    UIColorPtr barTintColor_;
    UIColorPtr tintColor_;
};

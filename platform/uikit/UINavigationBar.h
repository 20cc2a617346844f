#pragma once
// The bar at the top of a navigation controller, whose items come from the controllers on the
// stack; or a bar on its own, showing the top of the items it is given (its bar buttons reach the
// driver's tap by their titles).

#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIView.h"

#include <map>
#include <memory>
#include <vector>

class UINavigationBar;

// Every method is optional; a bar on its own asks nothing yet.
class UINavigationBarDelegate {
public:
    virtual ~UINavigationBarDelegate() = default;
};

enum UIBarStyle : long { UIBarStyleDefault = 0, UIBarStyleBlack = 1 };
enum UIBarMetrics : long { UIBarMetricsDefault = 0, UIBarMetricsLandscapePhone = 1 };

class UINavigationBar : public UIView {
public:
    using UIView::UIView;
    UIColorPtr barTintColor() const { return barTintColor_; }
    void setBarTintColor(UIColorPtr color) { barTintColor_ = std::move(color); }
    UIColorPtr tintColor() const { return tintColor_; }
    void setTintColor(UIColorPtr color) { tintColor_ = std::move(color); }
    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style) { barStyle_ = style; }
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent) { translucent_ = translucent; }
    // The bar tint and, from the controller on top, its title and bar button titles.
    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }
    // The image behind the bar for the metrics (nil for none).
    UIImagePtr backgroundImageForBarMetrics(UIBarMetrics metrics) const {
        auto it = backgroundImages_.find(metrics);
        return it == backgroundImages_.end() ? nullptr : it->second;
    }
    void setBackgroundImageForBarMetrics(UIImagePtr image, UIBarMetrics metrics) { backgroundImages_[metrics] = std::move(image); }

    // A bar on its own: its items, the last on top.
    const std::vector<std::shared_ptr<UINavigationItem>>& items() const { return items_; }
    void setItemsAnimated(std::vector<std::shared_ptr<UINavigationItem>> items, bool animated);
    void setItems(std::vector<std::shared_ptr<UINavigationItem>> items) { setItemsAnimated(std::move(items), false); }
    void pushNavigationItemAnimated(const std::shared_ptr<UINavigationItem>& item, bool animated);
    std::shared_ptr<UINavigationItem> topItem() const { return items_.empty() ? nullptr : items_.back(); }
    std::shared_ptr<UINavigationBarDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UINavigationBarDelegate> delegate) { delegate_ = std::move(delegate); }
    void describeToScreen(UIScreenDescription& screen) override;

private:
    std::vector<std::shared_ptr<UINavigationItem>> items_;
    std::weak_ptr<UINavigationBarDelegate> delegate_;
    UIColorPtr barTintColor_;
    UIColorPtr tintColor_;
    UIBarStyle barStyle_ = UIBarStyleDefault;
    bool translucent_ = true;
    std::map<UIBarMetrics, UIImagePtr> backgroundImages_;
};

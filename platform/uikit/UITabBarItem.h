#pragma once
// An item of the tab bar. appearance() is the proxy whose title text attributes every item
// without its own takes.

#include "platform/uikit/UIBarItem.h"

class UITabBar;
class UIView;

class UITabBarItem : public UIBarItem {
public:
    UITabBarItem() = default;
    static std::shared_ptr<UITabBarItem> initWithTitleImageTag(const std::string& title, UIImagePtr image, long tag);
    static std::shared_ptr<UITabBarItem> appearance();

    UIImagePtr selectedImage() const { return selectedImage_; }
    void setSelectedImage(UIImagePtr image) { selectedImage_ = std::move(image); }
    const std::string& badgeValue() const { return badgeValue_; }
    void setBadgeValue(std::string value) { badgeValue_ = std::move(value); }

    // The item's view in the bar that shows it (key "view"), placed on the bar's current width;
    // nil until the item is in a bar.
    std::shared_ptr<UIView> view() const;
    void setView(const std::shared_ptr<UIView>& view, const std::shared_ptr<UITabBar>& bar);

    // The item's own attributes for the state, else the appearance proxy's.
    UITextAttributes effectiveTitleTextAttributesForState(unsigned long state) const;

private:
    UIImagePtr selectedImage_;
    std::string badgeValue_;
    std::weak_ptr<UIView> view_;
    std::weak_ptr<UITabBar> bar_;
};

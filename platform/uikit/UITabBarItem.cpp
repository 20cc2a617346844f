#include "platform/uikit/UITabBarItem.h"

#include "platform/uikit/UITabBar.h"

std::shared_ptr<UITabBarItem> UITabBarItem::initWithTitleImageTag(const std::string& title, UIImagePtr image, long tag) {
    auto item = std::make_shared<UITabBarItem>();
    item->setTitle(title);
    item->setImage(std::move(image));
    item->setTag(tag);
    return item;
}

std::shared_ptr<UITabBarItem> UITabBarItem::appearance() {
    static auto proxy = std::make_shared<UITabBarItem>();
    return proxy;
}

UITextAttributes UITabBarItem::effectiveTitleTextAttributesForState(unsigned long state) const {
    auto own = titleTextAttributesForState(state);
    auto proxy = appearance()->titleTextAttributesForState(state);
    return {own.textColor ? own.textColor : proxy.textColor, own.font ? own.font : proxy.font};
}

std::shared_ptr<UIView> UITabBarItem::view() const {
    if (auto bar = bar_.lock()) bar->placeItemViews();
    return view_.lock();
}

void UITabBarItem::setView(const std::shared_ptr<UIView>& view, const std::shared_ptr<UITabBar>& bar) {
    view_ = view;
    bar_ = bar;
}

#include "platform/uikit/UIBarButtonItem.h"

namespace {
const char* systemTitle(UIBarButtonSystemItem item) {
    switch (item) {
    case UIBarButtonSystemItemDone: return "Done";
    case UIBarButtonSystemItemCancel: return "Cancel";
    case UIBarButtonSystemItemEdit: return "Edit";
    case UIBarButtonSystemItemSave: return "Save";
    case UIBarButtonSystemItemAdd: return "Add";
    case UIBarButtonSystemItemAction: return "Action";
    case UIBarButtonSystemItemRefresh: return "Refresh";
    case UIBarButtonSystemItemFlexibleSpace: return "";
    }
    return "";
}
} // namespace

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithImage(UIImagePtr image, UIBarButtonItemStyle style,
                                                                const std::shared_ptr<NSObject>& target, Action action) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->setImage(std::move(image));
    item->style_ = style;
    item->setTargetAction(target, std::move(action));
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithTitle(const std::string& title, UIBarButtonItemStyle style,
                                                                const std::shared_ptr<NSObject>& target, Action action) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->setTitle(title);
    item->style_ = style;
    item->setTargetAction(target, std::move(action));
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem systemItem,
                                                                              const std::shared_ptr<NSObject>& target,
                                                                              Action action) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->setTitle(systemTitle(systemItem));
    item->systemItem_ = systemItem;
    item->style_ = systemItem == UIBarButtonSystemItemDone ? UIBarButtonItemStyleDone : UIBarButtonItemStyleBordered;
    item->setTargetAction(target, std::move(action));
    return item;
}

void UIBarButtonItem::setTargetAction(const std::shared_ptr<NSObject>& target, Action action) {
    target_ = target;
    action_ = std::move(action);
}

void UIBarButtonItem::performAction() {
    if (!isEnabled() || !action_) return;
    auto keep = self<UIBarButtonItem>();
    if (auto target = target_.lock()) action_(*target, *this);
}

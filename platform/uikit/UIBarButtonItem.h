#pragma once
// A button of a navigation bar or toolbar: an image or title with a style, or a system item,
// and a target–action.

#include "platform/uikit/UIBarItem.h"
#include "platform/uikit/UITargetAction.h"

#include <functional>
#include <memory>

class UIView;

enum UIBarButtonItemStyle : long {
    UIBarButtonItemStylePlain = 0,
    UIBarButtonItemStyleBordered = 1,
    UIBarButtonItemStyleDone = 2,
};

enum UIBarButtonSystemItem : long {
    UIBarButtonSystemItemDone = 0,
    UIBarButtonSystemItemCancel = 1,
    UIBarButtonSystemItemEdit = 2,
    UIBarButtonSystemItemSave = 3,
    UIBarButtonSystemItemAdd = 4,
    UIBarButtonSystemItemAction = 9,
    UIBarButtonSystemItemRefresh = 13,
    UIBarButtonSystemItemFlexibleSpace = 5,
};

class UIBarButtonItem : public UIBarItem {
public:
    using Action = std::function<void(NSObject& target, UIBarButtonItem& sender)>;

    UIBarButtonItem() = default;
    static std::shared_ptr<UIBarButtonItem> initWithImage(UIImagePtr image, UIBarButtonItemStyle style,
                                                          const std::shared_ptr<NSObject>& target, Action action);
    static std::shared_ptr<UIBarButtonItem> initWithTitle(const std::string& title, UIBarButtonItemStyle style,
                                                          const std::shared_ptr<NSObject>& target, Action action);
    // The system items show their platform titles ("Edit", "Done", "Cancel", …).
    static std::shared_ptr<UIBarButtonItem> initWithBarButtonSystemItem(UIBarButtonSystemItem item,
                                                                        const std::shared_ptr<NSObject>& target, Action action);
    // The same with the target as what it is (UITargetAction.h): a member function of T, or a
    // callable taking a T& and, if it wants it, the item.
    template <class T, class F>
    static std::shared_ptr<UIBarButtonItem> initWithImage(UIImagePtr image, UIBarButtonItemStyle style, const std::shared_ptr<T>& target,
                                                          F action) {
        return initWithImage(std::move(image), style, std::shared_ptr<NSObject>(target), typed<T>(std::move(action)));
    }
    template <class T, class F>
    static std::shared_ptr<UIBarButtonItem> initWithTitle(const std::string& title, UIBarButtonItemStyle style,
                                                          const std::shared_ptr<T>& target, F action) {
        return initWithTitle(title, style, std::shared_ptr<NSObject>(target), typed<T>(std::move(action)));
    }
    template <class T, class F>
    static std::shared_ptr<UIBarButtonItem> initWithBarButtonSystemItem(UIBarButtonSystemItem item, const std::shared_ptr<T>& target,
                                                                        F action) {
        return initWithBarButtonSystemItem(item, std::shared_ptr<NSObject>(target), typed<T>(std::move(action)));
    }

    UIBarButtonItemStyle style() const { return style_; }
    void setStyle(UIBarButtonItemStyle style) { style_ = style; }
    bool isSystemItem() const { return systemItem_ >= 0; }
    std::shared_ptr<NSObject> target() const { return target_.lock(); }
    void setTargetAction(const std::shared_ptr<NSObject>& target, Action action);
    template <class T, class F>
    void setTargetAction(const std::shared_ptr<T>& target, F action) {
        setTargetAction(std::shared_ptr<NSObject>(target), typed<T>(std::move(action)));
    }
    UIColorPtr tintColor() const { return tintColor_; }
    void setTintColor(UIColorPtr color) { tintColor_ = std::move(color); }

    // What a tap does: the action with its target, when the item is enabled and the target lives.
    void performAction();

    // The view that shows the item in its bar (key "view"): made by the bar that lays the item
    // out, nil while the item is in no bar on screen. A finger on it performs the action.
    std::shared_ptr<UIView> view() const { return shownIn_.lock() ? view_ : nullptr; }
    // The bar's side: the item's view, made on first use, now shown in the bar.
    std::shared_ptr<UIView> viewForBar(const std::shared_ptr<UIView>& bar);

private:
    template <class T, class F>
    static Action typed(F action) {
        return UITargetAction::erased<T, UIBarButtonItem&>(std::move(action));
    }

    UIBarButtonItemStyle style_ = UIBarButtonItemStylePlain;
    long systemItem_ = -1;
    std::weak_ptr<NSObject> target_;
    Action action_;
    UIColorPtr tintColor_;
    std::shared_ptr<UIView> view_;
    std::weak_ptr<UIView> shownIn_;
};

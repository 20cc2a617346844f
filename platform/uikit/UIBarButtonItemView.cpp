#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIControl.h"

#include <algorithm>

namespace {
// The item's width in its bar: its title (about 9 points a letter) or image, with padding.
constexpr CGFloat kBarButtonItemViewPadding = 16;
constexpr CGFloat kLetterWidth = 9;
constexpr CGFloat kBarButtonItemViewBarHeight = 44;

// Shows a bar button item; a touch that ends inside performs the item's action.
class UIBarButtonItemView : public UIControl {
public:
    explicit UIBarButtonItemView(const std::shared_ptr<UIBarButtonItem>& item) : item_(item) {}
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override {
        bool inside = !touches.empty() && pointInsideWithEvent(touches.front()->locationInView(self<UIView>()), event);
        UIControl::touchesEndedWithEvent(touches, event);
        if (auto item = item_.lock(); item && inside) item->performAction();
    }

private:
    std::weak_ptr<UIBarButtonItem> item_;
};
} // namespace

std::shared_ptr<UIView> UIBarButtonItem::viewForBar(const std::shared_ptr<UIView>& bar) {
    if (!view_) view_ = std::make_shared<UIBarButtonItemView>(self<UIBarButtonItem>());
    CGFloat width = kBarButtonItemViewPadding;
    if (!title().empty()) width += kLetterWidth * static_cast<CGFloat>(title().size());
    else if (auto img = image()) width += img->size().width;
    view_->setFrame(CGRectMake(0, 0, std::max(width, kBarButtonItemViewBarHeight), kBarButtonItemViewBarHeight));
    static_cast<UIControl&>(*view_).setEnabled(isEnabled());
    shownIn_ = bar;
    return view_;
}

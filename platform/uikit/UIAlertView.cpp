#include "platform/uikit/UIAlertView.h"

#include "platform/uikit/UIApplication.h"

UIAlertView::UIAlertView(std::string title, std::string message, const std::shared_ptr<UIAlertViewDelegate>& delegate,
                         const std::string& cancelButtonTitle, const std::vector<std::string>& otherButtonTitles)
    : title_(std::move(title)), message_(std::move(message)), delegate_(delegate) {
    if (!cancelButtonTitle.empty()) {
        buttons_.push_back(cancelButtonTitle);
        cancelButtonIndex_ = 0;
    }
    for (auto& t : otherButtonTitles) buttons_.push_back(t);
}

std::shared_ptr<UIAlertView> UIAlertView::initWithTitle(const std::string& title, const std::string& message,
                                                        const std::shared_ptr<UIAlertViewDelegate>& delegate,
                                                        const std::string& cancelButtonTitle,
                                                        const std::vector<std::string>& otherButtonTitles) {
    return std::make_shared<UIAlertView>(title, message, delegate, cancelButtonTitle, otherButtonTitles);
}

long UIAlertView::addButtonWithTitle(const std::string& title) {
    buttons_.push_back(title);
    return static_cast<long>(buttons_.size()) - 1;
}

std::string UIAlertView::buttonTitleAtIndex(long index) const {
    return index >= 0 && index < numberOfButtons() ? buttons_[index] : std::string();
}

long UIAlertView::firstOtherButtonIndex() const {
    long first = cancelButtonIndex_ == 0 ? 1 : 0;
    return first < numberOfButtons() ? first : -1;
}

void UIAlertView::setAccessoryView(const UIViewPtr& view) {
    if (accessoryView_) accessoryView_->removeFromSuperview();
    accessoryView_ = view;
    if (view) addSubview(view);
}

void UIAlertView::show() {
    if (visible_) return;
    visible_ = true;
    UIApplication::sharedApplication()->alertDidShow(self<UIAlertView>());
}

std::shared_ptr<UIWindow> UIAlertView::window() const {
    return visible_ ? UIApplication::sharedApplication()->alertWindow() : nullptr;
}

void UIAlertView::dismissWithClickedButtonIndexAnimated(long index, bool) {
    if (!visible_) return;
    auto keep = self<UIAlertView>();
    if (auto d = delegate()) d->alertViewWillDismissWithButtonIndex(*this, index);
    visible_ = false;
    UIApplication::sharedApplication()->alertDidDismiss(this);
    if (auto d = delegate()) d->alertViewDidDismissWithButtonIndex(*this, index);
}

void UIAlertView::clickButtonAtIndex(long index) {
    if (!visible_ || index < 0 || index >= numberOfButtons()) return;
    auto keep = self<UIAlertView>();
    if (auto d = delegate()) d->alertViewClickedButtonAtIndex(*this, index);
    dismissWithClickedButtonIndexAnimated(index, true);
}

void UIAlertView::describeToScreen(UIScreenDescription& screen) {
    std::string line = "alert: " + UIScreenDescription::quoted(title_);
    if (!message_.empty()) line += " " + UIScreenDescription::quoted(message_);
    line += " buttons:";
    for (auto& button : buttons_) line += " [" + button + "]";
    if (auto mention = accessoryView_ ? accessoryView_->screenMention() : std::nullopt)
        line += mention->pressable ? " " + mention->bracketed() : " image: " + mention->text;
    screen.addLine(line);
    screen.beginLayer("an alert", buttons_.empty() ? "wait until it goes" : "tap one of its buttons");
    UIView::describeToScreen(screen);
    auto me = self<UIAlertView>();
    for (long i = 0; i < numberOfButtons(); ++i) {
        screen.addTappable(buttons_[i], [me, i](UIScreenReply&) {
            me->clickButtonAtIndex(i);
            return true;
        });
    }
    screen.addCommand("press", [me](const std::string& title, UIScreenReply& reply) {
        for (long i = 0; i < me->numberOfButtons(); ++i) {
            if (me->buttons_[i] != title) continue;
            me->clickButtonAtIndex(i);
            return true;
        }
        return reply.refuse("the alert has no button " + UIScreenDescription::quoted(title));
    });
}

#pragma once
// Alerts: a title, a message, buttons (the cancel button first) and an optional accessory view.
// A shown alert stays on screen, above everything, until it is dismissed.

#include "platform/uikit/UIView.h"

#include <memory>
#include <string>
#include <vector>

class UIAlertView;

class UIAlertViewDelegate {
public:
    virtual ~UIAlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(UIAlertView&, long) {}
    virtual void alertViewCancel(UIAlertView&) {}
    virtual void alertViewWillDismissWithButtonIndex(UIAlertView&, long) {}
    virtual void alertViewDidDismissWithButtonIndex(UIAlertView&, long) {}
};

class UIAlertView : public UIView {
public:
    UIAlertView(std::string title, std::string message, const std::shared_ptr<UIAlertViewDelegate>& delegate,
                const std::string& cancelButtonTitle, const std::vector<std::string>& otherButtonTitles);
    static std::shared_ptr<UIAlertView> initWithTitle(const std::string& title, const std::string& message,
                                                      const std::shared_ptr<UIAlertViewDelegate>& delegate,
                                                      const std::string& cancelButtonTitle,
                                                      const std::vector<std::string>& otherButtonTitles = {});

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::string& message() const { return message_; }
    void setMessage(std::string message) { message_ = std::move(message); }
    std::shared_ptr<UIAlertViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIAlertViewDelegate>& delegate) { delegate_ = delegate; }

    long addButtonWithTitle(const std::string& title);
    long numberOfButtons() const { return static_cast<long>(buttons_.size()); }
    std::string buttonTitleAtIndex(long index) const;
    long cancelButtonIndex() const { return cancelButtonIndex_; }
    long firstOtherButtonIndex() const;

    // The view shown under the message (set on the device through key-value coding under
    // "accessoryView").
    UIViewPtr accessoryView() const { return accessoryView_; }
    void setAccessoryView(const UIViewPtr& view);

    void show();
    // While shown, the system's alert window holds the alert.
    std::shared_ptr<UIWindow> window() const;
    bool isVisible() const { return visible_; }
    void dismissWithClickedButtonIndexAnimated(long index, bool animated);
    // What a tap on a button does: the delegate hears of the click, then the alert goes.
    void clickButtonAtIndex(long index);

    // The driver: one line (title, message, buttons, the accessory by name) and a layer of its
    // own, whose buttons a tap or "press TITLE" finds; nothing beneath is reachable while it shows.
    void describeToScreen(UIScreenDescription& screen) override;

    // The look: a rounded box in the middle of the screen, sized by its texts and accessory, with
    // the buttons in a row (two) or stacked (one, or more than two), the cancel button in bold.
    // The alert window dims what lies beneath and paints the front-most alert.
    CGRect frameOnScreen() const;
    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }
    void layoutSubviews() override;

private:
    struct Metrics;
    Metrics measure() const;

    std::string title_;
    std::string message_;
    std::weak_ptr<UIAlertViewDelegate> delegate_;
    std::vector<std::string> buttons_;
    long cancelButtonIndex_ = -1;
    UIViewPtr accessoryView_;
    bool visible_ = false;
};

#pragma once
// What a controller shows in the navigation bar while it is on top: title and bar buttons.

#include "platform/uikit/UIBarButtonItem.h"

#include <memory>
#include <string>

class UINavigationItem : public NSObject {
public:
    UINavigationItem() = default;
    explicit UINavigationItem(std::string title) : title_(std::move(title)) {}

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    std::shared_ptr<UIBarButtonItem> leftBarButtonItem() const { return left_; }
    void setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem> item) { left_ = std::move(item); }
    std::shared_ptr<UIBarButtonItem> rightBarButtonItem() const { return right_; }
    void setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item) { right_ = std::move(item); }
    std::shared_ptr<UIBarButtonItem> backBarButtonItem() const { return back_; }
    void setBackBarButtonItem(std::shared_ptr<UIBarButtonItem> item) { back_ = std::move(item); }
    bool hidesBackButton() const { return hidesBackButton_; }
    void setHidesBackButton(bool hides) { hidesBackButton_ = hides; }

private:
    std::string title_;
    std::shared_ptr<UIBarButtonItem> left_, right_, back_;
    bool hidesBackButton_ = false;
};

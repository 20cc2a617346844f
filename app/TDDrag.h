#pragma once
// The Media tab's hint before the first menu choice: an arrow pointing up at the triangle and one
// line telling the user to drag it.

#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIViewController.h"

class TDDrag : public UIViewController {
public:
    static constexpr const char* kHint = "Drag the triangle from the top";
    void viewDidLoad() override;
    // The arrow and the line follow the screen's bounds, upright or turned.
    void viewWillLayoutSubviews() override;
    // The driver: the hint's text.
    void describeToScreen(UIScreenDescription& screen) override;

private:
    std::shared_ptr<UIImageView> arrow_;
    std::shared_ptr<UILabel> label_;
};

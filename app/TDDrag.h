#pragma once
// The Media tab's hint before the first menu choice: an arrow pointing up at the triangle and one
// line telling the user to drag it.

#include "platform/uikit/UIViewController.h"

class TDDrag : public UIViewController {
public:
    static constexpr const char* kHint = "Drag the triangle from the top";
    void viewDidLoad() override;
    // The driver: the hint's text.
    void describeToScreen(UIScreenDescription& screen) override;
};

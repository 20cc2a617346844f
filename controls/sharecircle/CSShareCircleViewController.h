#pragma once
// The controller of the share circle's own window: its view is the share circle view, set up
// when it loads, laid out again when the device turns.

#include "controls/sharecircle/CSShareCircleView.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

class CSShareCircleViewController : public UIViewController {
public:
    const std::shared_ptr<CSShareCircleView>& shareCircleView() const { return shareCircleView_; }
    void setShareCircleView(std::shared_ptr<CSShareCircleView> view) { shareCircleView_ = std::move(view); }

    void loadView() override;
    void viewDidLoad() override;
    void willRotateToInterfaceOrientationDuration(UIInterfaceOrientation, double) override { shareCircleView_->invalidateLayout(); }
    unsigned long supportedInterfaceOrientations() const override { return 30; }
    bool shouldAutorotate() const override { return true; }

private:
    std::shared_ptr<CSShareCircleView> shareCircleView_;
};

// The circle's window; nothing of its own.
class CSShareCircleBackgroundWindow : public UIWindow {
public:
    using UIWindow::UIWindow;
};

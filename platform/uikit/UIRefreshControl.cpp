#include "platform/uikit/UIRefreshControl.h"

UIRefreshControl::UIRefreshControl() : UIControl(CGRectMake(0, -60, 320, 60)) {}

void UIRefreshControl::pull() {
    beginRefreshing();
    sendActionsForControlEvents(UIControlEventValueChanged);
}

void UIRefreshControl::describeToScreen(UIScreenDescription& screen) {
    UIControl::describeToScreen(screen);
    // A pull is a finger on the table the control sits atop.
    screen.addCommand("refresh", [me = self<UIRefreshControl>()](const std::string&, UIScreenReply&) {
        me->pull();
        return true;
    }, superview());
}

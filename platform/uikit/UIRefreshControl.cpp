#include "platform/uikit/UIRefreshControl.h"

UIRefreshControl::UIRefreshControl() : UIControl(CGRectMake(0, -60, 320, 60)) {}

void UIRefreshControl::pull() {
    beginRefreshing();
    sendActionsForControlEvents(UIControlEventValueChanged);
}

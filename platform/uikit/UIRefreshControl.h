#pragma once
// Pull-to-refresh: sends its value-changed event when the user pulls the table down.

#include "platform/uikit/UIControl.h"

class UIRefreshControl : public UIControl {
public:
    UIRefreshControl();
    bool isRefreshing() const { return refreshing_; }
    void beginRefreshing() { refreshing_ = true; }
    void endRefreshing() { refreshing_ = false; }
    // What the user's pull does: starts refreshing and sends the value-changed event.
    void pull();
    // The driver's "refresh" command pulls.
    void describeToScreen(UIScreenDescription& screen) override;

private:
    bool refreshing_ = false;
};

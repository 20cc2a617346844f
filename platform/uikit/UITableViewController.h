#pragma once
// A controller whose view is a table it serves as data source and delegate.

#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"

class UITableViewController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
public:
    explicit UITableViewController(UITableViewStyle style = UITableViewStylePlain) : style_(style) {}

    std::shared_ptr<UITableView> tableView();
    bool clearsSelectionOnViewWillAppear() const { return clearsSelectionOnViewWillAppear_; }
    void setClearsSelectionOnViewWillAppear(bool clears) { clearsSelectionOnViewWillAppear_ = clears; }

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void setEditingAnimated(bool editing, bool animated) override;

    long tableViewNumberOfRowsInSection(UITableView&, long) override { return 0; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return nullptr; }

private:
    UITableViewStyle style_;
    bool clearsSelectionOnViewWillAppear_ = true;
    bool hasAppeared_ = false;
};

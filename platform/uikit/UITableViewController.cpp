#include "platform/uikit/UITableViewController.h"

#include "platform/uikit/UIScreen.h"

std::shared_ptr<UITableView> UITableViewController::tableView() { return std::dynamic_pointer_cast<UITableView>(view()); }

void UITableViewController::loadView() {
    auto table = std::make_shared<UITableView>(UIScreen::mainScreen()->bounds(), style_);
    auto me = self<UITableViewController>();
    table->setDelegate(me);
    table->setDataSource(me);
    setView(table);
}

void UITableViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    auto table = tableView();
    if (!hasAppeared_) {
        hasAppeared_ = true;
        table->reloadData();
    } else if (clearsSelectionOnViewWillAppear_) {
        if (auto selected = table->indexPathForSelectedRow()) table->deselectRowAtIndexPathAnimated(*selected, animated);
    }
}

void UITableViewController::setEditingAnimated(bool editing, bool animated) {
    UIViewController::setEditingAnimated(editing, animated);
    tableView()->setEditingAnimated(editing, animated);
}

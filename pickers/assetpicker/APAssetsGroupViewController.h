#pragma once
// The picker's first screen: the library's albums, camera roll first, one row each under the
// picker's filter; a row pushes the album's grid. It follows the library's changes and the
// picker's selection (Done, the toolbar's summary).

#include "platform/media/ALAssetsGroup.h"
#include "platform/uikit/UITableViewController.h"

#include <memory>
#include <vector>

class APAssetsPickerController;
class NSNotification;

class APAssetsGroupViewController : public UITableViewController {
public:
    // Registers its notification observers at once.
    static std::shared_ptr<APAssetsGroupViewController> init();
    ~APAssetsGroupViewController() override;

    std::shared_ptr<APAssetsPickerController> picker() const;
    std::vector<ALAssetsGroupPtr> groups;

    void viewDidLoad() override;
    bool shouldAutorotate() const override { return true; }
    unsigned long supportedInterfaceOrientations() const override;

    void setupGroup();
    void reloadData();
    void assetsLibraryChanged(const std::shared_ptr<NSNotification>& notification);
    void updateAssetsGroupForURL(const NSURLPtr& url);
    void insertAssetsGroupForURL(const NSURLPtr& url);
    void deleteAssetsGroupForURL(const NSURLPtr& url);
    void selectedAssetsChanged(const std::shared_ptr<NSNotification>& notification);

    long tableViewNumberOfRowsInSection(UITableView&, long) override { return static_cast<long>(groups.size()); }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) override;

private:
    void setupViews();
    void setupButtons();
    void setupToolbar();
    void localize();
    // The picker's filter and the delegate's veto, as every album gets them before it is listed;
    // false when the album is refused.
    bool admitGroup(const ALAssetsGroupPtr& group);

    std::weak_ptr<UIView> emptyMessage_;
};

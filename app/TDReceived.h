#pragma once
// The received-files list: the app folder (and its subfolders) in the Files browser's popover. A
// folder's row opens its list inside the popover, a file's row offers it to other apps, a swipe
// or the edit button deletes an entry (a folder with its contents), and pulling down reads the
// folder again. Every level is titled "Received Files".

#include "platform/uikit/UIDocumentInteractionController.h"
#include "platform/uikit/UIRefreshControl.h"
#include "platform/uikit/UITableViewController.h"

#include <memory>
#include <string>
#include <vector>

class TDReceived : public UITableViewController, public UIDocumentInteractionControllerDelegate {
public:
    static constexpr const char* kTitle = "Received Files";
    // The document menu's anchor: a square of this side at the centre of the list.
    static constexpr CGFloat kMenuAnchorSide = 50;

    TDReceived() : UITableViewController(UITableViewStylePlain) {}
    // The list of a folder, its listing read. An unreadable folder lists nothing.
    static std::shared_ptr<TDReceived> initWithPath(const std::string& path);

    const std::string& path() const { return path_; }
    void setPath(const std::string& path) { path_ = path; }
    const std::vector<std::string>& files() const { return files_; }
    void setFiles(std::vector<std::string> files) { files_ = std::move(files); }
    const std::vector<std::string>& hiddenFiles() const { return hiddenFiles_; }
    void setHiddenFiles(std::vector<std::string> hiddenFiles) { hiddenFiles_ = std::move(hiddenFiles); }

    // The document menu last shown, or nil.
    const std::shared_ptr<UIDocumentInteractionController>& docController() const { return docController_; }

    void viewDidLoad() override;
    void didReceiveMemoryWarning() override { UITableViewController::didReceiveMemoryWarning(); }
    void refreshTriggered(UIRefreshControl& sender);

    long numberOfSectionsInTableView(UITableView&) override { return 1; }
    long tableViewNumberOfRowsInSection(UITableView&, long) override { return static_cast<long>(files_.size()); }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) override;
    bool tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath&) override { return true; }
    void tableViewCommitEditingStyleForRowAtIndexPath(UITableView& tableView, UITableViewCellEditingStyle editingStyle,
                                                      const NSIndexPath& indexPath) override;

private:
    void readListing();
    std::string fullPathOfRow(long row) const;

    std::string path_;
    std::vector<std::string> files_;
    std::vector<std::string> hiddenFiles_;
    // The menu last shown, kept while it is on screen.
    std::shared_ptr<UIDocumentInteractionController> docController_;
};

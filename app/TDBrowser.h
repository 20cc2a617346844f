#pragma once
// The Files tab: one table screen per folder of the whole file system. A folder's row opens
// another browser; a file's row, or its send button, offers the file through the AirDrop-only
// sheet; a folder's zip button packs it into "/tmp/<name>.zip" and offers that; a swipe deletes.

#include "controls/popover/PVPopoverController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIRefreshControl.h"
#include "platform/uikit/UITableViewController.h"

#include <memory>
#include <string>
#include <vector>

// The folder the Files screen writes its zips into.
inline constexpr const char* TDZipFolderPath = "/tmp";

class TDBrowser : public UITableViewController, public UIAlertViewDelegate {
public:
    // The accessory images' size and the footer's height, in points.
    static constexpr CGFloat kAccessoryImageSide = 26;
    static constexpr CGFloat kFooterHeight = 20;
    static constexpr CGFloat kFooterFontSize = 10;

    TDBrowser() : UITableViewController(UITableViewStylePlain) {}
    // The screen for a folder, its listing read.
    static std::shared_ptr<TDBrowser> initWithPath(const std::string& path);

    const std::string& path() const { return path_; }
    void setPath(const std::string& path) { path_ = path; }
    const std::vector<std::string>& files() const { return files_; }
    void setFiles(std::vector<std::string> files) { files_ = std::move(files); }
    const std::vector<std::string>& hiddenFiles() const { return hiddenFiles_; }
    void setHiddenFiles(std::vector<std::string> hiddenFiles) { hiddenFiles_ = std::move(hiddenFiles); }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    bool canBecomeFirstResponder() const override { return true; }
    void didReceiveMemoryWarning() override { UITableViewController::didReceiveMemoryWarning(); }

    long numberOfSectionsInTableView(UITableView&) override { return 1; }
    long tableViewNumberOfRowsInSection(UITableView&, long) override { return static_cast<long>(files_.size()); }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) override;
    void tableViewAccessoryButtonTappedForRowWithIndexPath(UITableView& tableView, const NSIndexPath& indexPath) override;
    bool tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath&) override { return true; }
    void tableViewCommitEditingStyleForRowAtIndexPath(UITableView& tableView, UITableViewCellEditingStyle editingStyle,
                                                      const NSIndexPath& indexPath) override;

    // Target of a row's accessory button: finds the row under the touch.
    void checkButtonTappedEvent(UIControl& sender, UIEvent* event);
    // Packs the folder into "/tmp/<name>.zip" and offers the zip.
    void zipFolderAtPath(const std::string& path);
    // Pull-to-refresh redraws the rows; the listing is not read again.
    void refreshTriggered(UIRefreshControl& sender);

    // The app folder's received files in a popover under the bar button.
    void showReceivedFiles();
    const std::shared_ptr<PVPopoverController>& importedFiles() const { return importedFiles_; }

    // The received-files button's image side and the popover anchor's distance from the right edge.
    static constexpr CGFloat kReceivedButtonSide = 29;
    static constexpr CGFloat kPopoverAnchorInset = 55;
    static constexpr CGFloat kPopoverAnchorInsetPad = 60;
    static constexpr CGFloat kPopoverAnchorSide = 50;

    // A shake brings up the Clipvane screen and, once it is up, the egg for a moment.
    void motionEndedWithEvent(UIEventSubtype motion, const std::shared_ptr<UIEvent>& event) override;
    void dismissAlert(const std::shared_ptr<UIAlertView>& alertView);
    static constexpr double kEggAlertSeconds = 2.0;
    static constexpr CGFloat kEggWidth = 50;
    static constexpr CGFloat kEggHeight = 69;

    UIImagePtr imageWithImageScaledToSize(const UIImagePtr& image, CGSize newSize) const;

private:
    // Reads the folder's listing into files and hiddenFiles, and sets the title.
    void readListing();
    std::string fullPathOfRow(long row) const;
    void showEasterEggAlert();
    void presentAirDropSheetForPath(const std::string& path, std::function<void()> completion);

    std::string path_;
    std::vector<std::string> files_;
    std::vector<std::string> hiddenFiles_;
    std::shared_ptr<UILabel> tableViewFooter_;
    // Kept while shown, until the next showing replaces it.
    std::shared_ptr<PVPopoverController> importedFiles_;
};

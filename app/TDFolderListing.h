#pragma once
// A folder's listing as the app's file lists show it: the names in the order the file manager
// returns them, without hidden names (those beginning with ".", each logged and kept apart) and
// without "$RECYCLE.BIN".

#include "platform/foundation/NSError.h"
#include "platform/uikit/UITableViewCell.h"

#include <functional>
#include <string>
#include <vector>

class UITableView;

struct TDFolderListing {
    std::vector<std::string> files;
    std::vector<std::string> hiddenFiles;
    // False when the folder could not be read: files is then empty and error says why.
    bool readable = false;
    NSErrorPtr error;
};

TDFolderListing TDReadFolderListing(const std::string& path);

// A file list's swipe to delete (the browser's and the received files'): the item at the row's
// path is removed (logged), then the list is read again and the table reloaded. Nothing happens
// for another editing style or a row without a path.
void TDCommitDeleteOfListedItem(UITableView& tableView, UITableViewCellEditingStyle editingStyle,
                                const std::function<std::string()>& pathOfRow, const std::function<void()>& readListing);

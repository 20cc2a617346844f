#include "app/TDFolderListing.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UITableView.h"

#include <algorithm>
#include <unordered_set>

namespace {
constexpr const char* kRecycleBinName = "$RECYCLE.BIN";
} // namespace

TDFolderListing TDReadFolderListing(const std::string& path) {
    TDFolderListing listing;
    auto contents = NSFileManager::defaultManager()->contentsOfDirectoryAtPath(path, &listing.error);
    listing.readable = contents.has_value();
    if (!contents) return listing;
    listing.files = std::move(*contents);
    for (auto& name : listing.files) {
        if (NSString::hasPrefix(name, ".")) {
            NSLog("Removed %@ from array", name);
            listing.hiddenFiles.push_back(name);
        }
    }
    // One pass over the names with a set, so a folder of many hidden names costs no more than its listing.
    std::unordered_set<std::string> hidden(listing.hiddenFiles.begin(), listing.hiddenFiles.end());
    std::erase_if(listing.files, [&](const std::string& name) { return hidden.count(name) > 0 || name == kRecycleBinName; });
    return listing;
}

void TDCommitDeleteOfListedItem(UITableView& tableView, UITableViewCellEditingStyle editingStyle,
                                const std::function<std::string()>& pathOfRow, const std::function<void()>& readListing) {
    if (editingStyle != UITableViewCellEditingStyleDelete) return;
    std::string fullPath = pathOfRow();
    if (fullPath.empty()) return;
    NSLog("Removing %@", fullPath);
    NSFileManager::defaultManager()->removeItemAtPath(fullPath, nullptr);
    readListing();
    tableView.reloadSectionsWithRowAnimation({0}, UITableViewRowAnimationFade);
}

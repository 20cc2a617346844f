#pragma once
// A folder's listing as the app's file lists show it: the names in the order the file manager
// returns them, without hidden names (those beginning with ".", each logged and kept apart) and
// without "$RECYCLE.BIN".

#include "platform/foundation/NSError.h"

#include <string>
#include <vector>

struct TDFolderListing {
    std::vector<std::string> files;
    std::vector<std::string> hiddenFiles;
    // False when the folder could not be read: files is then empty and error says why.
    bool readable = false;
    NSErrorPtr error;
};

TDFolderListing TDReadFolderListing(const std::string& path);

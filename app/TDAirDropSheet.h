#pragma once
// The AirDrop-only activity sheet: one item (a file URL, an image, a library URL), every system
// activity but AirDrop excluded. Every screen that sends something builds its sheet here.

#include "platform/foundation/Value.h"
#include "platform/uikit/UIActivityViewController.h"

#include <memory>
#include <string>
#include <vector>

class TDAirDropSheet {
public:
    static std::shared_ptr<UIActivityViewController> sheetForFileAtPath(const std::string& path);
    static std::shared_ptr<UIActivityViewController> sheetForItem(const Value& item);
    // The thirteen excluded activity types, in the order the sheet is given them.
    static const std::vector<std::string>& excludedActivityTypes();
};

#pragma once
// The AirDrop-only activity sheet: one file URL, every system activity but AirDrop excluded.
// Every screen that sends a file builds its sheet here.

#include "platform/uikit/UIActivityViewController.h"

#include <memory>
#include <string>
#include <vector>

class TDAirDropSheet {
public:
    static std::shared_ptr<UIActivityViewController> sheetForFileAtPath(const std::string& path);
    // The thirteen excluded activity types, in the order the sheet is given them.
    static const std::vector<std::string>& excludedActivityTypes();
};

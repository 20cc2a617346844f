#pragma once
// The sample device the binary runs on when no device folder is given: a small, realistic tree
// made once in the user's data folder.

#include <string>

class SampleDevice {
public:
    // $XDG_DATA_HOME/tandrel/device, or ~/.local/share/tandrel/device.
    static std::string defaultFolder();
    // Fills the host folder with the sample tree unless it is already there; false on failure.
    static bool ensureAt(const std::string& hostFolder);
};

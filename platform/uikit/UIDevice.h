#pragma once
// The device: model and system, as the device profile describes them.

#include "platform/foundation/NSObject.h"

#include <string>

enum UIUserInterfaceIdiom : long { UIUserInterfaceIdiomPhone = 0, UIUserInterfaceIdiomPad = 1 };

class UIDevice : public NSObject {
public:
    static std::shared_ptr<UIDevice> currentDevice();
    std::string model() const;          // "iPhone" or "iPad"
    std::string localizedModel() const { return model(); }
    std::string name() const;
    std::string systemName() const;
    std::string systemVersion() const;  // "8.0"
    UIUserInterfaceIdiom userInterfaceIdiom() const;
};

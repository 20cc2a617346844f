#pragma once
// The device's screen, as the device profile describes it (320 by 568 points at scale 2 by default).

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"

class UIScreen : public NSObject {
public:
    static std::shared_ptr<UIScreen> mainScreen();
    CGRect bounds() const;
    CGFloat scale() const;
};

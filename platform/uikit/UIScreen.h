#pragma once
// The device's screen, as the device profile describes it (320 by 568 points at scale 2 by default).

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"

class UIScreen : public NSObject {
public:
    static std::shared_ptr<UIScreen> mainScreen();
    // The screen held upright, in its own fixed coordinates (the windows' coordinates).
    CGRect bounds() const;
    CGFloat scale() const;

    // The screen as the user sees it with the interface upright: the displayed interface
    // orientation of UIApplication (568 by 320 points in landscape). The display's pictures, the
    // driver's points and the screen text's places are in these coordinates.
    CGRect interfaceBounds() const;
    // The affine map from the screen's fixed coordinates to the interface's upright ones.
    CGAffineTransform interfaceTransform() const;
    CGPoint pointToInterface(CGPoint screenPoint) const;
    CGPoint pointFromInterface(CGPoint interfacePoint) const;
};

#include "platform/uikit/UIScreen.h"

#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIApplication.h"

std::shared_ptr<UIScreen> UIScreen::mainScreen() {
    static auto screen = std::make_shared<UIScreen>();
    return screen;
}

CGRect UIScreen::bounds() const {
    auto p = DeviceProfile::current();
    return CGRectMake(0, 0, p.screenWidth, p.screenHeight);
}

CGFloat UIScreen::scale() const { return DeviceProfile::current().screenScale; }

CGRect UIScreen::interfaceBounds() const {
    auto b = bounds();
    auto o = UIApplication::sharedApplication()->displayedInterfaceOrientation();
    if (o == UIInterfaceOrientationLandscapeLeft || o == UIInterfaceOrientationLandscapeRight)
        return CGRectMake(0, 0, b.size.height, b.size.width);
    return b;
}

CGAffineTransform UIScreen::interfaceTransform() const {
    auto b = bounds();
    CGFloat w = b.size.width, h = b.size.height;
    // The inverse of the turn a window gives its controllers' views: landscape right turns them
    // by π/2 (the interface's top left at the screen's top right), landscape left by −π/2.
    switch (UIApplication::sharedApplication()->displayedInterfaceOrientation()) {
    case UIInterfaceOrientationLandscapeRight: return {0, -1, 1, 0, 0, w};
    case UIInterfaceOrientationLandscapeLeft: return {0, 1, -1, 0, h, 0};
    case UIInterfaceOrientationPortraitUpsideDown: return {-1, 0, 0, -1, w, h};
    default: return {1, 0, 0, 1, 0, 0};
    }
}

CGPoint UIScreen::pointToInterface(CGPoint screenPoint) const {
    return CGPointApplyAffineTransform(screenPoint, interfaceTransform());
}

CGPoint UIScreen::pointFromInterface(CGPoint interfacePoint) const {
    return CGPointApplyAffineTransform(interfacePoint, CGAffineTransformInvert(interfaceTransform()));
}

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace {
// How long the interface takes to turn.
constexpr double kRotationDuration = 0.4;
} // namespace

void UIApplication::setStatusBarHiddenWithAnimation(bool hidden, UIStatusBarAnimation animation) {
    statusBarHidden_ = hidden;
    statusBarAnimation_ = animation;
}

CGRect UIApplication::statusBarFrame() const {
    if (statusBarHidden_) return CGRectZero;
    auto screen = UIScreen::mainScreen()->bounds();
    CGFloat w = screen.size.width, h = screen.size.height;
    switch (statusBarOrientation()) {
    case UIInterfaceOrientationPortraitUpsideDown: return CGRectMake(0, h - kStatusBarHeight, w, kStatusBarHeight);
    case UIInterfaceOrientationLandscapeRight: return CGRectMake(0, 0, kStatusBarHeight, h);
    case UIInterfaceOrientationLandscapeLeft: return CGRectMake(w - kStatusBarHeight, 0, kStatusBarHeight, h);
    default: return CGRectMake(0, 0, w, kStatusBarHeight);
    }
}

void UIApplication::rotateDevice(UIDeviceOrientation orientation) {
    auto before = statusBarOrientation();
    DeviceProfile::update([&](DeviceProfile& p) { p.orientation = orientation; });
    auto after = statusBarOrientation();
    auto center = NSNotificationCenter::defaultCenter();
    auto me = std::static_pointer_cast<UIApplication>(self<UIResponder>());
    if (after != before) {
        auto window = keyWindow();
        auto root = window ? window->rootViewController() : nullptr;
        center->postNotificationName(UIApplicationWillChangeStatusBarOrientationNotification, me,
                                     {{UIApplicationStatusBarOrientationUserInfoKey, static_cast<long>(after)}});
        if (root) {
            root->willRotateToInterfaceOrientationDuration(after, kRotationDuration);
            root->willAnimateRotationToInterfaceOrientationDuration(after, kRotationDuration);
        }
        center->postNotificationName(UIApplicationDidChangeStatusBarOrientationNotification, me,
                                     {{UIApplicationStatusBarOrientationUserInfoKey, static_cast<long>(before)}});
        if (root) root->didRotateFromInterfaceOrientation(before);
    }
    center->postNotificationName(UIDeviceOrientationDidChangeNotification, UIDevice::currentDevice());
}

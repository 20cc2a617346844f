#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

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

namespace {
constexpr const char* kSupportedOrientationsInfoKey = "UISupportedInterfaceOrientations";

unsigned long orientationMaskOfInfoList(const Value& list) {
    static const std::pair<const char*, unsigned long> names[] = {
        {"UIInterfaceOrientationPortrait", UIInterfaceOrientationMaskPortrait},
        {"UIInterfaceOrientationPortraitUpsideDown", UIInterfaceOrientationMaskPortraitUpsideDown},
        {"UIInterfaceOrientationLandscapeLeft", UIInterfaceOrientationMaskLandscapeLeft},
        {"UIInterfaceOrientationLandscapeRight", UIInterfaceOrientationMaskLandscapeRight},
    };
    unsigned long mask = 0;
    if (list.isArray())
        for (const Value& item : list.array())
            for (auto& [name, bit] : names)
                if (item.isString() && item.string() == name) mask |= bit;
    return mask ? mask : UIInterfaceOrientationMaskAll;
}
} // namespace

unsigned long UIApplication::supportedInterfaceOrientationsForWindow(const std::shared_ptr<UIWindow>& window) const {
    if (delegate_)
        if (auto mask = delegate_->applicationSupportedInterfaceOrientationsForWindow(*sharedApplication(), window))
            return *mask;
    return orientationMaskOfInfoList(NSBundle::mainBundle()->objectForInfoDictionaryKey(kSupportedOrientationsInfoKey));
}

void UIApplication::rotateDevice(UIDeviceOrientation orientation) {
    auto before = statusBarOrientation();
    // Face up, face down and unknown leave the interface as it stands.
    auto after = orientation >= UIDeviceOrientationPortrait && orientation <= UIDeviceOrientationLandscapeRight
                     ? interfaceOrientationFor(orientation)
                     : before;
    if (after != before) {
        // The window the user works in decides, as the app allows it.
        auto screen = keyWindowUnderAlerts();
        bool allowed = (supportedInterfaceOrientationsForWindow(screen) & (1ul << after)) != 0;
        if (allowed && screen)
            if (auto decider = UIViewController::decidingOrientationOfWindow(*screen))
                allowed = decider->turnsToInterfaceOrientation(after);
        if (!allowed) after = before;
    }
    // Controllers that turn hear of it before the status bar moves, and after.
    if (after != before) UIViewController::deviceWillTurn(before, after);
    DeviceProfile::update([&](DeviceProfile& p) { p.orientation = orientation; });
    displayed_ = after;
    turnedAtDevice_ = orientation;
    auto center = NSNotificationCenter::defaultCenter();
    auto me = std::static_pointer_cast<UIApplication>(self<UIResponder>());
    if (after != before) {
        center->postNotificationName(UIApplicationWillChangeStatusBarOrientationNotification, me,
                                     {{UIApplicationStatusBarOrientationUserInfoKey, static_cast<long>(after)}});
        center->postNotificationName(UIApplicationDidChangeStatusBarOrientationNotification, me,
                                     {{UIApplicationStatusBarOrientationUserInfoKey, static_cast<long>(before)}});
        UIViewController::deviceDidTurn(before, after);
    }
    center->postNotificationName(UIDeviceOrientationDidChangeNotification, UIDevice::currentDevice());
}

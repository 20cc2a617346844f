// VuderuUtil's screen, orientation and window questions, asked on the main thread.

#include "sdk/analytics/VuderuUtil.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/foundation/NSString.h"
#include "sdk/analytics/VuderuLog.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

namespace {

// Added to the screen's height, as the ad views have always been laid out with it.
constexpr double kScreenHeightExtra = 0.1;
constexpr double kRetinaScale = 2.0;

UIInterfaceOrientation statusBarOrientation() { return UIApplication::sharedApplication()->statusBarOrientation(); }

bool sameOrientationName(const std::optional<std::string>& a, std::string_view b) {
    return a && NSString::caseInsensitiveCompare(*a, b) == NSOrderedSame;
}

CGRect screenBoundsFor(bool landscape) {
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    if (landscape) return CGRectMake(0, 0, screen.height + kScreenHeightExtra, screen.width);
    return CGRectMake(0, 0, screen.width, screen.height + kScreenHeightExtra);
}

// The system's alert windows, by class name: the one of iOS 7 and later, and the older one.
constexpr const char* kAlertWindowClassNames[] = {"_UIAlertNormalizingOverlayWindow", "_UIAlertOverlayWindow"};
constexpr const char* kSupportedOrientationsKey = "UISupportedInterfaceOrientations";
constexpr const char* kPortraitOrientationNames[] = {"UIInterfaceOrientationPortrait", "UIInterfaceOrientationPortraitUpsideDown"};
constexpr unsigned long kPortraitOrientationsMask = UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskPortraitUpsideDown;

} // namespace

std::optional<std::string> VuderuUtil::getOrientationStrFromInterfaceOrientation(long orientation) {
    switch (orientation) {
    case UIInterfaceOrientationPortrait: return "portrait";
    case UIInterfaceOrientationPortraitUpsideDown: return "portraitUpsideDown";
    case UIInterfaceOrientationLandscapeRight: return "landscapeRight";
    case UIInterfaceOrientationLandscapeLeft: return "landscapeLeft";
    default: return std::nullopt;
    }
}

bool VuderuUtil::canvasInLandscapeRight() { return statusBarOrientation() == UIInterfaceOrientationLandscapeRight; }
bool VuderuUtil::canvasInLandscapeLeft() { return statusBarOrientation() == UIInterfaceOrientationLandscapeLeft; }
bool VuderuUtil::canvasInPortraitUpsideDown() { return statusBarOrientation() == UIInterfaceOrientationPortraitUpsideDown; }
bool VuderuUtil::canvasInLandscape() { return canvasInLandscapeRight() || canvasInLandscapeLeft(); }

std::string VuderuUtil::getCanvasOrientation() {
    if (canvasInLandscapeRight()) return "landscapeRight";
    if (canvasInLandscapeLeft()) return "landscapeLeft";
    if (canvasInPortraitUpsideDown()) return "portraitUpsideDown";
    return "portrait";
}

bool VuderuUtil::canvasInLandscapeRight(const std::optional<std::string>& orientation) {
    return orientation ? sameOrientationName(orientation, "landscapeRight") : canvasInLandscapeRight();
}

bool VuderuUtil::canvasInLandscapeLeft(const std::optional<std::string>& orientation) {
    return orientation ? sameOrientationName(orientation, "landscapeLeft") : canvasInLandscapeLeft();
}

bool VuderuUtil::canvasInLandscape(const std::optional<std::string>& orientation) {
    if (!orientation) return canvasInLandscape();
    return canvasInLandscapeRight(orientation) || canvasInLandscapeLeft(orientation);
}

CGRect VuderuUtil::screenBounds() { return screenBoundsFor(canvasInLandscape()); }

CGRect VuderuUtil::screenBounds(const std::optional<std::string>& orientation) {
    if (!orientation) return screenBounds();
    return screenBoundsFor(canvasInLandscape(orientation));
}

bool VuderuUtil::isIPad() { return UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad; }

bool VuderuUtil::isRetina() { return UIScreen::mainScreen()->scale() == kRetinaScale; }

bool VuderuUtil::theAppIsActive() {
    UIApplicationState state = UIApplication::sharedApplication()->applicationState();
    if (state == UIApplicationStateInactive || state == UIApplicationStateBackground) {
        VuderuLog("VuderuSession: The App is not active");
        return false;
    }
    return true;
}

bool VuderuUtil::viewIsVisible(const std::shared_ptr<UIView>& view) {
    try {
        if (!view) return false;
        auto keyWindow = UIApplication::sharedApplication()->keyWindow();
        if (!keyWindow || view->window() != keyWindow || view->isHidden()) return false;
        // A view's layer shows all of its bounds: no enclosing layer scrolls it.
        CGRect inWindow = view->convertRectToView(view->bounds(), keyWindow);
        CGPoint centre = CGPointMake(CGRectGetMidX(inWindow), CGRectGetMidY(inWindow));
        return CGRectContainsPoint(keyWindow->bounds(), centre);
    } catch (...) {
        handleException(std::current_exception());
        return false;
    }
}

bool VuderuUtil::isKeyWindowAlertView() {
    auto keyWindow = UIApplication::sharedApplication()->keyWindow();
    if (!keyWindow) return false;
    for (const char* name : kAlertWindowClassNames) {
        if (NSClassFromString(name) && keyWindow->className() == name) return true;
    }
    return false;
}

bool VuderuUtil::isPortaitOrientationSupportedForWindow(const std::shared_ptr<UIWindow>& window) {
    return isPortaitOrientationSupported(NSBundle::mainBundle()->objectForInfoDictionaryKey(kSupportedOrientationsKey), window);
}

bool VuderuUtil::isPortaitOrientationSupported(const Value& supportedOrientations, const std::shared_ptr<UIWindow>& window) {
    bool listed = supportedOrientations.isArray() && !supportedOrientations.array().empty();
    if (listed) {
        for (const Value& orientation : supportedOrientations.array()) {
            for (const char* portrait : kPortraitOrientationNames) {
                if (orientation.isString() && orientation.string() == portrait) return true;
            }
        }
    }
    auto application = UIApplication::sharedApplication();
    if (auto delegate = application->delegate()) {
        if (auto mask = delegate->applicationSupportedInterfaceOrientationsForWindow(*application, window)) {
            return (*mask & kPortraitOrientationsMask) != 0;
        }
    }
    return !listed;
}

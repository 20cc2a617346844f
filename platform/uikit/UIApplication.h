#pragma once
// The application object: its delegate, its state, its key window, the status bar's orientation,
// the alerts on screen and the URLs it hands to other apps.

#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIResponder.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIAlertView;
class UIApplication;
class UIWindow;

enum UIApplicationState : long {
    UIApplicationStateActive = 0,
    UIApplicationStateInactive = 1,
    UIApplicationStateBackground = 2,
};

enum UIInterfaceOrientation : long {
    UIInterfaceOrientationUnknown = 0,
    UIInterfaceOrientationPortrait = 1,
    UIInterfaceOrientationPortraitUpsideDown = 2,
    UIInterfaceOrientationLandscapeRight = 3,
    UIInterfaceOrientationLandscapeLeft = 4,
};

// One bit per interface orientation, at the orientation's number.
enum UIInterfaceOrientationMask : unsigned long {
    UIInterfaceOrientationMaskPortrait = 1ul << UIInterfaceOrientationPortrait,
    UIInterfaceOrientationMaskPortraitUpsideDown = 1ul << UIInterfaceOrientationPortraitUpsideDown,
    UIInterfaceOrientationMaskLandscapeRight = 1ul << UIInterfaceOrientationLandscapeRight,
    UIInterfaceOrientationMaskLandscapeLeft = 1ul << UIInterfaceOrientationLandscapeLeft,
    UIInterfaceOrientationMaskLandscape = UIInterfaceOrientationMaskLandscapeLeft | UIInterfaceOrientationMaskLandscapeRight,
    UIInterfaceOrientationMaskAllButUpsideDown = UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskLandscape,
    UIInterfaceOrientationMaskAll = UIInterfaceOrientationMaskAllButUpsideDown | UIInterfaceOrientationMaskPortraitUpsideDown,
};

enum UIStatusBarStyle : long {
    UIStatusBarStyleDefault = 0,
    UIStatusBarStyleLightContent = 1,
    UIStatusBarStyleBlackTranslucent = 1,
    UIStatusBarStyleBlackOpaque = 2,
};

enum UIStatusBarAnimation : long {
    UIStatusBarAnimationNone = 0,
    UIStatusBarAnimationFade = 1,
    UIStatusBarAnimationSlide = 2,
};

// Turning the device posts these, in this order (object: the application; userInfo
// UIApplicationStatusBarOrientationUserInfoKey: the new orientation for "will", the old for "did").
inline constexpr const char* UIApplicationWillChangeStatusBarOrientationNotification =
    "UIApplicationWillChangeStatusBarOrientationNotification";
inline constexpr const char* UIApplicationDidChangeStatusBarOrientationNotification =
    "UIApplicationDidChangeStatusBarOrientationNotification";
inline constexpr const char* UIApplicationStatusBarOrientationUserInfoKey = "UIApplicationStatusBarOrientationUserInfoKey";

// Background tasks: work the app asks the system to let finish after it leaves the foreground.
using UIBackgroundTaskIdentifier = std::uint64_t;
inline constexpr UIBackgroundTaskIdentifier UIBackgroundTaskInvalid = 0;

class UIApplicationDelegate {
public:
    virtual ~UIApplicationDelegate() = default;
    virtual bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value& launchOptions) = 0;
    // A URL the system hands to the app; nullopt when the delegate does not take URLs.
    virtual std::optional<bool> applicationOpenURLSourceApplicationAnnotation(UIApplication&, const NSURLPtr&,
                                                                              const std::string&, const Value&) {
        return std::nullopt;
    }
    // The orientations (a UIInterfaceOrientationMask) the app supports in a window; nullopt when
    // the delegate does not implement the method.
    virtual std::optional<unsigned long> applicationSupportedInterfaceOrientationsForWindow(UIApplication&,
                                                                                           const std::shared_ptr<UIWindow>&) {
        return std::nullopt;
    }
};

class UIApplication : public UIResponder {
public:
    static std::shared_ptr<UIApplication> sharedApplication();

    // Delegate classes by name, as UIApplicationMain finds the class it is given.
    using DelegateFactory = std::function<std::shared_ptr<UIApplicationDelegate>()>;
    static void registerDelegateClass(const std::string& name, DelegateFactory factory);
    static std::shared_ptr<UIApplicationDelegate> makeDelegate(const std::string& name);

    std::shared_ptr<UIApplicationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

    // Active unless the device put the app in the background or made it inactive (a call, the
    // lock screen); read from any thread.
    UIApplicationState applicationState() const { return applicationState_.load(); }
    void setApplicationState(UIApplicationState state) { applicationState_.store(state); }

    // The status bar follows the device's orientation (DeviceProfile): a device orientation of 1
    // to 4 is the interface orientation of the same number (the device turned to its left shows
    // the interface landscape right); face up, face down and unknown leave the status bar where
    // it stood. A turn that the screen's controller or the app refuses (rotateDevice) leaves it
    // where it stood too, while the device stays so.
    UIInterfaceOrientation statusBarOrientation() const;
    // The orientation the windows were turned to by the last turn of the device (portrait until
    // the device turns): the display and the screen's points stand upright in it.
    UIInterfaceOrientation displayedInterfaceOrientation() const { return displayed_.load(); }
    // The orientations the app allows in a window: its delegate's answer, else the main bundle's
    // "UISupportedInterfaceOrientations" (every orientation when the list is missing or empty).
    unsigned long supportedInterfaceOrientationsForWindow(const std::shared_ptr<UIWindow>& window) const;
    // The status bar's orientation for a device orientation.
    static UIInterfaceOrientation interfaceOrientationFor(long deviceOrientation);

    // The status bar: hidden or not (the last change's animation is kept for tests), its style,
    // and its frame in screen coordinates: a 20-point strip along the interface's top edge, empty
    // while hidden.
    static constexpr CGFloat kStatusBarHeight = 20;
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden) { setStatusBarHiddenWithAnimation(hidden, UIStatusBarAnimationNone); }
    void setStatusBarHiddenWithAnimation(bool hidden, UIStatusBarAnimation animation);
    UIStatusBarAnimation lastStatusBarAnimation() const { return statusBarAnimation_; }
    UIStatusBarStyle statusBarStyle() const { return statusBarStyle_; }
    void setStatusBarStyle(UIStatusBarStyle style) { statusBarStyle_ = style; }
    void setStatusBarStyleAnimated(UIStatusBarStyle style, bool) { statusBarStyle_ = style; }
    CGRect statusBarFrame() const;

    // The device turns (the driver's rotate). The interface turns with it when the app and the
    // controller in front of the screen's window allow the new orientation (a controller's
    // shouldAutorotate, supportedInterfaceOrientations and shouldAutorotateToInterfaceOrientation,
    // asked of the innermost child it shows): the controllers on screen hear of it, the windows
    // turn their controllers' views (UIWindow::turnToInterfaceOrientation) and the status bar's
    // will- and did-change notifications are posted. UIDevice's orientation change is posted in
    // any case.
    void rotateDevice(UIDeviceOrientation orientation);

    // While an alert is on screen the system's alert window (class name
    // "_UIAlertNormalizingOverlayWindow") is the key window; the window that was key before it
    // becomes key again when the last alert goes, unless another window was made key meanwhile.
    std::shared_ptr<UIWindow> keyWindow() const { return keyWindow_.lock(); }
    void setKeyWindow(const std::shared_ptr<UIWindow>& window);
    // The key window, or while the alert window is key, the window under it: the app's screen.
    std::shared_ptr<UIWindow> keyWindowUnderAlerts() const;
    // The app's windows, in the order they were first shown or made key; the system's alert
    // window is not among them. A window the app releases leaves the list (and the screen).
    std::vector<std::shared_ptr<UIWindow>> windows() const;
    // A window shown (made visible or unhidden) joins the list.
    void windowDidBecomeVisible(const std::shared_ptr<UIWindow>& window);
    // The app's own window: the first of its windows still on screen (else the key window under
    // the alerts). The screen text describes it; windows in front of it are outlined.
    std::shared_ptr<UIWindow> appWindow() const;
    // The windows on screen in front of the given one, the front-most first: a higher level, or
    // the same level shown later.
    std::vector<std::shared_ptr<UIWindow>> windowsInFrontOf(const std::shared_ptr<UIWindow>& window) const;

    bool applicationSupportsShakeToEdit() const { return shakeToEdit_; }
    void setApplicationSupportsShakeToEdit(bool supports) { shakeToEdit_ = supports; }

    // Another app takes the URL when the system or an installed app (InstalledApplications) has
    // its scheme, compared without case; the device records it.
    bool canOpenURL(const NSURLPtr& url) const;
    bool openURL(const NSURLPtr& url);
    const std::vector<NSURLPtr>& openedURLs() const { return openedURLs_; }
    // Documents the app handed to another app or to AirDrop (a document menu's choice): the
    // receiver's identifier and the document's URL, in the order handed.
    struct HandedDocument {
        std::string application;
        NSURLPtr url;
    };
    void recordHandedDocument(const std::string& application, const NSURLPtr& url) { handedDocuments_.push_back({application, url}); }
    const std::vector<HandedDocument>& handedDocuments() const { return handedDocuments_; }
    // The URL schemes of the apps installed beside this one.
    void setInstalledSchemes(std::vector<std::string> schemes) { schemes_ = std::move(schemes); }

    // What the system does when another app or AirDrop hands the app a URL.
    bool handleOpenURL(const NSURLPtr& url, const std::string& sourceApplication, const Value& annotation = {});
    // A shake: motion began and ended, sent to the first responder (or the key window).
    void sendShake();

    // The alerts on screen, the last shown on top.
    const std::vector<std::shared_ptr<UIAlertView>>& visibleAlerts() const { return alerts_; }
    void alertDidShow(const std::shared_ptr<UIAlertView>& alert);
    // The system's alert window while an alert shows, else nil.
    std::shared_ptr<UIWindow> alertWindow() const { return alertWindow_; }
    void alertDidDismiss(const UIAlertView* alert);

    // A new background task; the handler runs if the system's time for it runs out first. Any
    // thread.
    UIBackgroundTaskIdentifier beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
    // Ends a task; an unknown or invalid identifier is ignored.
    void endBackgroundTask(UIBackgroundTaskIdentifier identifier);
    std::size_t backgroundTaskCount() const;
    // The system's time for background work ran out: every running task's expiration handler is
    // called, in the order the tasks began (the device and the tests drive this).
    void expireBackgroundTasks();

    // Back to a fresh application (tests).
    void reset();

private:
    std::shared_ptr<UIApplicationDelegate> delegate_;
    std::atomic<UIApplicationState> applicationState_{UIApplicationStateActive};
    std::weak_ptr<UIWindow> keyWindow_;
    std::vector<std::weak_ptr<UIWindow>> windows_;
    std::shared_ptr<UIWindow> alertWindow_;
    std::weak_ptr<UIWindow> windowUnderAlerts_;
    bool shakeToEdit_ = true;
    bool statusBarHidden_ = false;
    // The interface orientation of the last turn, and the device orientation it was decided at.
    std::atomic<UIInterfaceOrientation> displayed_{UIInterfaceOrientationPortrait};
    // (-1: no turn yet, the status bar follows the device).
    std::atomic<long> turnedAtDevice_{-1};
    UIStatusBarAnimation statusBarAnimation_ = UIStatusBarAnimationNone;
    UIStatusBarStyle statusBarStyle_ = UIStatusBarStyleDefault;
    std::vector<NSURLPtr> openedURLs_;
    std::vector<HandedDocument> handedDocuments_;
    std::vector<std::string> schemes_ = {"http", "https", "mailto", "tel", "sms", "itms", "itms-apps", "cydia"};
    std::vector<std::shared_ptr<UIAlertView>> alerts_;
    mutable std::mutex backgroundLock_;
    UIBackgroundTaskIdentifier nextBackgroundTask_ = 1;
    std::map<UIBackgroundTaskIdentifier, std::function<void()>> backgroundTasks_;
};

#pragma once
// The application object: its delegate, its key window, the alerts on screen and the URLs it
// hands to other apps.

#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/UIResponder.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIAlertView;
class UIApplication;
class UIWindow;

class UIApplicationDelegate {
public:
    virtual ~UIApplicationDelegate() = default;
    virtual bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value& launchOptions) = 0;
    // A URL the system hands to the app; nullopt when the delegate does not take URLs.
    virtual std::optional<bool> applicationOpenURLSourceApplicationAnnotation(UIApplication&, const NSURLPtr&,
                                                                              const std::string&, const Value&) {
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

    std::shared_ptr<UIWindow> keyWindow() const { return keyWindow_.lock(); }
    void setKeyWindow(const std::shared_ptr<UIWindow>& window);
    std::vector<std::shared_ptr<UIWindow>> windows() const;

    bool applicationSupportsShakeToEdit() const { return shakeToEdit_; }
    void setApplicationSupportsShakeToEdit(bool supports) { shakeToEdit_ = supports; }

    // Another app takes the URL when one is installed for its scheme; the device records it.
    bool canOpenURL(const NSURLPtr& url) const;
    bool openURL(const NSURLPtr& url);
    const std::vector<NSURLPtr>& openedURLs() const { return openedURLs_; }
    // The URL schemes of the apps installed beside this one.
    void setInstalledSchemes(std::vector<std::string> schemes) { schemes_ = std::move(schemes); }

    // What the system does when another app or AirDrop hands the app a URL.
    bool handleOpenURL(const NSURLPtr& url, const std::string& sourceApplication, const Value& annotation = {});
    // A shake: motion began and ended, sent to the first responder (or the key window).
    void sendShake();

    // The alerts on screen, the last shown on top.
    const std::vector<std::shared_ptr<UIAlertView>>& visibleAlerts() const { return alerts_; }
    void alertDidShow(const std::shared_ptr<UIAlertView>& alert);
    void alertDidDismiss(const UIAlertView* alert);

    // Back to a fresh application (tests).
    void reset();

private:
    std::shared_ptr<UIApplicationDelegate> delegate_;
    std::weak_ptr<UIWindow> keyWindow_;
    std::vector<std::weak_ptr<UIWindow>> windows_;
    bool shakeToEdit_ = true;
    std::vector<NSURLPtr> openedURLs_;
    std::vector<std::string> schemes_ = {"http", "https", "mailto", "tel", "sms", "itms", "itms-apps", "cydia"};
    std::vector<std::shared_ptr<UIAlertView>> alerts_;
};

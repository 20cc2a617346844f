#pragma once
// The application delegate: builds the interface when the app has finished launching and owns it
// for the life of the process.

#include "platform/uikit/CLLocationManager.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UIWindow.h"

#include <memory>
#include <string>

// The folder the first Files screen shows.
extern const std::string startingPath; // "/"
// The app's own folder for received, exported and downloaded files.
extern const std::string TDAppFolderPath; // "/var/mobile/Tandrel"
// The key the analytics service issued for the app.
extern const std::string TDAnalyticsApplicationKey;

class TDAppDelegate : public UIResponder, public UIApplicationDelegate, public CLLocationManagerDelegate {
public:
    // The tab icons' side, in points.
    static constexpr CGFloat kTabIconSide = 30;

    // Registers the class with the application's delegate registry and returns its name, for
    // UIApplicationMain.
    static std::string registeredClassName();

    bool applicationDidFinishLaunchingWithOptions(UIApplication& application, const Value& launchOptions) override;

    // Every update reports the manager's current location to analytics, whatever it was given.
    void locationManagerDidUpdateLocations(CLLocationManager& manager, const std::vector<std::shared_ptr<CLLocation>>& locations) override;

    UIImagePtr imageWithImageScaledToSize(const UIImagePtr& image, CGSize newSize) const;

    std::shared_ptr<UIWindow> window() const { return window_; }
    void setWindow(std::shared_ptr<UIWindow> window) { window_ = std::move(window); }
    std::shared_ptr<UITabBarController> tabBarController() const { return tabBarController_; }

private:
    std::shared_ptr<UINavigationController> makeFilesTab();

    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UITabBarController> tabBarController_;
    std::shared_ptr<CLLocationManager> locationManager_;
};

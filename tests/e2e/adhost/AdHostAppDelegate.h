#pragma once
// The ad host's application delegate: a window whose root controller shows a plain white view
// with the container the ads go into, the analytics session started with a test key, the
// recording ad delegate set, the ads facade initialised with the root controller, and the ad
// manager's maker of ad-space views registered.

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/e2e/adhost/AdHostDelegate.h"

#include <memory>
#include <string>

// The analytics key the host starts its session with.
extern const std::string AdHostAnalyticsKey;

// The root controller: a white view filled by the container; its screen text lists what the ad
// host recorded and the ad shown per space.
class AdHostViewController : public UIViewController {
public:
    void loadView() override;
    void describeToScreen(UIScreenDescription& screen) override;
    const std::shared_ptr<UIView>& container() const { return container_; }

private:
    std::shared_ptr<UIView> container_;
};

class AdHostAppDelegate : public UIResponder, public UIApplicationDelegate {
public:
    static std::string registeredClassName();
    // With test views, the test ad-space view stays the maker whatever else is built in.
    static void setKeepsTestViews(bool keep);

    bool applicationDidFinishLaunchingWithOptions(UIApplication& application, const Value& launchOptions) override;

private:
    static void registerAdViewMaker();

    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<AdHostViewController> root_;
    std::shared_ptr<AdHostDelegate> adDelegate_ = std::make_shared<AdHostDelegate>();
};

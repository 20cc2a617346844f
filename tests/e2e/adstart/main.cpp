// The smallest host of the ads: it links the ad views and starts the facade as the README says,
// with no other call, and shows one ad. Run by ad_start.sh against the loopback ad server.
//
//   adstart [the app's options: --device DIR, --script FILE, ...]
//
// Its screen lists the delegate's calls; a rendered ad names the class of the view it is in.

#include "platform/device/UIApplicationMain.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScreenDescription.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/analytics/Vuderu.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

constexpr const char* kSpace = "start";
constexpr const char* kAnalyticsKey = "ADSTARTK2Q9X4M1B8C5V";

std::mutex heardLock;
std::vector<std::string> heard;

void hear(const std::string& line) {
    std::lock_guard guard(heardLock);
    heard.push_back(line);
}

class StartController : public UIViewController {
public:
    void describeToScreen(UIScreenDescription& screen) override {
        std::lock_guard guard(heardLock);
        for (const auto& line : heard) screen.addLine(line);
        UIViewController::describeToScreen(screen);
    }
};

class StartDelegate : public VuderuAdDelegate {
public:
    std::shared_ptr<UIView> container;
    void spaceDidRenderInterstitial(const std::string& space, bool) override {
        const auto& shown = container->subviews();
        hear("rendered " + space + " in " + (shown.empty() ? std::string("nothing") : shown.front()->className()));
    }
    void spaceDidFailToReceiveAdError(const std::string& space, const NSErrorPtr& error) override {
        hear("failed to receive " + space + " " + (error ? std::to_string(error->code()) : std::string("nil")));
    }
    void spaceDidFailToRenderError(const std::string& space, const NSErrorPtr& error) override {
        hear("failed to render " + space + " " + (error ? std::to_string(error->code()) : std::string("nil")));
    }
};

class StartAppDelegate : public UIResponder, public UIApplicationDelegate {
public:
    bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value&) override {
        window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        root_ = std::make_shared<StartController>();
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
        delegate_->container = std::make_shared<UIView>(CGRect{{0, 0}, {320, 50}});
        root_->view()->addSubview(delegate_->container);
        // The start, as the README gives it.
        Vuderu::startSession(Value(std::string(kAnalyticsKey)));
        VuderuAds::setAdDelegate(delegate_);
        VuderuAds::initialize(root_);
        VuderuAds::fetchAndDisplayAdForSpaceViewSize(std::string(kSpace), delegate_->container, 0);
        return true;
    }

private:
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<StartController> root_;
    std::shared_ptr<StartDelegate> delegate_ = std::make_shared<StartDelegate>();
};

} // namespace

int main(int argc, char** argv) {
    UIApplication::registerDelegateClass("StartAppDelegate", [] { return std::make_shared<StartAppDelegate>(); });
    int status = UIApplicationMain(argc, argv, "", "StartAppDelegate");
    std::fflush(nullptr);
    std::quick_exit(status);
}

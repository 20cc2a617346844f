#pragma once
// The in-app store page of an App Store item, loaded under an 8-second time-out and presented only
// once loaded: VuderuSKAppstoreController presents it on a controller the caller names (an ad shown
// modally), VuderuSKAppstoreWindowsBasedController from a window of its own above the status bar.
// The outcome goes out as one of three notifications, with no object: "VuderuSKAppstoreDidLoad"
// (on screen), "VuderuSKAppstoreDidFinish" (closed by the user), "VuderuSKAppstoreDidFailToLoad"
// (could not be shown; the ad then opens the store URL outside the app). Each controller turns its
// store page into a run-time subclass that sets its rotation and status bar. Main thread only; the
// shared instances live for the process.

#include "platform/foundation/NSTimer.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/SKStoreProductViewController.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <functional>
#include <memory>

extern const char* const VuderuSKAppstoreDidFinish;
extern const char* const VuderuSKAppstoreDidLoad;
extern const char* const VuderuSKAppstoreDidFailToLoad;

class VuderuSKAppstoreController : public UIViewController, public SKStoreProductViewControllerDelegate {
public:
    static constexpr double kLoadingTimeout = 8.0;
    static inline const std::string kSubclassName = "VuderuSKStoreProductViewControllerSubClass";

    static std::shared_ptr<VuderuSKAppstoreController> sharedInstance();
    // The item id: a number or numeric text.
    void openSKAppstoreOnViewController(const Value& itemId, const std::shared_ptr<UIViewController>& controller);

    void productViewControllerDidFinish(const std::shared_ptr<SKStoreProductViewController>& controller) override;
    void loadingProductTimedout();
    // YES before system 7.0.
    static bool shouldAutoRotate();
    bool prefersStatusBarHidden() const override { return true; }
    void dynamicallySubclassSKController();

    const std::shared_ptr<SKStoreProductViewController>& skController() const { return skController_; }
    const std::shared_ptr<NSTimer>& loadingTimer() const { return loadingTimer_; }

    VuderuSKAppstoreController() = default;

protected:
    // The opening both controllers share: `presenter` presents the page; `beforePresenting` runs
    // once the page has loaded; `afterDismissal` once the user's close is done.
    void open(const char* operation, const Value& itemId, const std::shared_ptr<UIViewController>& presenter,
              const std::function<void()>& beforePresenting);
    void finish(const std::function<void()>& afterDismissal);
    // Makes the store page and its subclass; false when the page could not be made.
    bool makeStorePage(const std::string& subclassName, bool statusBarHidden);

    std::shared_ptr<SKStoreProductViewController> skController_;
    std::shared_ptr<NSTimer> loadingTimer_;
};

class VuderuSKAppstoreWindowsBasedController : public VuderuSKAppstoreController {
public:
    static inline const std::string kWindowSubclassName = "VuderuSKStoreProductViewWindowControllerSubClass";

    static std::shared_ptr<VuderuSKAppstoreWindowsBasedController> sharedInstance();
    void openSKAppstore(const Value& itemId);
    void productViewControllerDidFinish(const std::shared_ptr<SKStoreProductViewController>& controller) override;
    void dynamicallySubclassSKController();

    const std::shared_ptr<UIWindow>& window() const { return window_; }

    VuderuSKAppstoreWindowsBasedController() = default;

private:
    std::shared_ptr<UIWindow> window_;
};

#pragma once
// The one object that decides how an ad which leaves its banner is put on screen: in a window of
// its own, modally over the host's controller, or as a modal banner. It keeps at most one
// takeover controller and one external (in-app browser) controller, each until it is removed;
// while a slot is filled, a further show of its kind reuses the kept controller.

#include "sdk/adviews/IVuderuAdExternalViewController.h"
#include "sdk/adviews/IVuderuAdViewController.h"

#include <memory>

class VuderuAdFullscreenController : public NSObject {
public:
    // Made on first use (main thread) and kept for the life of the process.
    static std::shared_ptr<VuderuAdFullscreenController> instance();

    // A takeover or a banner the host wants modal; NO for a banner shown in place.
    bool showFullscreenViewForAd(const IVuderuAdPtr& ad);
    // A video; NO for a banner layout.
    bool showFullscreenViewForVideoAd(const IVuderuAdPtr& ad);
    // A page in the in-app browser: presented over the takeover (or the host's controller) for a
    // modal ad, in a window of its own otherwise; a kept browser loads the page instead. Always YES.
    bool showFullscreenViewForAdWithRequest(const IVuderuAdPtr& ad, const NSURLRequestPtr& request);

    // The external controller, then the takeover controller.
    void removeWindows();
    // Takes the kept takeover controller off screen and drops it; harmless when there is none.
    void removeWindow();
    void removeExtAdWindow();

    const IVuderuAdViewControllerPtr& adViewController() const { return adViewController_; }
    void setAdViewController(const IVuderuAdViewControllerPtr& controller) { adViewController_ = controller; }
    const IVuderuAdExternalViewControllerPtr& extAdViewController() const { return extAdViewController_; }
    void setExtAdViewController(const IVuderuAdExternalViewControllerPtr& controller) { extAdViewController_ = controller; }

private:
    // Keeps the controller and, when it is one, presents it on the ad's host controller.
    void keepAndPresent(const IVuderuAdViewControllerPtr& controller, const IVuderuAdPtr& ad);

    IVuderuAdViewControllerPtr adViewController_;
    IVuderuAdExternalViewControllerPtr extAdViewController_;
};

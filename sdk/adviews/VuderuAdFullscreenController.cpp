#include "sdk/adviews/VuderuAdFullscreenController.h"

#include "sdk/adviews/VuderuAdExternalViewController.h"
#include "sdk/adviews/VuderuAdMraidViewController.h"
#include "sdk/adviews/VuderuAdViewController.h"
#include "sdk/adviews/VuderuAdWindowBasedMraidViewController.h"
#include "sdk/adviews/VuderuAdWindowBasedViewController.h"
#include "sdk/adviews/VuderuModalBannerViewController.h"
#include "sdk/ads/UIViewController+VuderuExtensions.h"

namespace {
bool takeoverLayout(const IVuderuAd& ad) {
    auto frame = ad.adFrame();
    return frame && frame->adSpaceLayout() && frame->adSpaceLayout()->isTakeover();
}
} // namespace

std::shared_ptr<VuderuAdFullscreenController> VuderuAdFullscreenController::instance() {
    static auto shared = std::make_shared<VuderuAdFullscreenController>();
    return shared;
}

void VuderuAdFullscreenController::keepAndPresent(const IVuderuAdViewControllerPtr& controller, const IVuderuAdPtr& ad) {
    adViewController_ = controller;
    auto presented = std::dynamic_pointer_cast<UIViewController>(controller);
    UIViewController_VuderuExtensions::com_vuderu_ads_presentViewController(ad->parentViewController(), presented, false);
}

bool VuderuAdFullscreenController::showFullscreenViewForAd(const IVuderuAdPtr& ad) {
    if (!ad) return false;
    if (adViewController_) {
        adViewController_->loadAd(ad);
        return true;
    }
    bool modal = ad->isShownModallyForViewController();
    if (takeoverLayout(*ad)) {
        if (!modal) {
            // It puts up a window of its own.
            if (ad->mraidAdLoaded()) adViewController_ = VuderuAdWindowBasedMraidViewController::initWithAd(ad);
            else adViewController_ = VuderuAdWindowBasedViewController::initWithAd(ad);
            return true;
        }
        if (ad->mraidAdLoaded()) keepAndPresent(VuderuAdMraidViewController::initWithAd(ad), ad);
        else keepAndPresent(VuderuAdViewController::initWithAd(ad), ad);
        return true;
    }
    if (!modal) return false;
    keepAndPresent(VuderuModalBannerViewController::initWithAd(ad), ad);
    return true;
}

bool VuderuAdFullscreenController::showFullscreenViewForVideoAd(const IVuderuAdPtr& ad) {
    if (!ad) return false;
    if (adViewController_) {
        adViewController_->loadAd(ad);
        return true;
    }
    if (!takeoverLayout(*ad)) return false;
    if (ad->isShownModallyForViewController()) keepAndPresent(VuderuAdViewController::initWithAd(ad), ad);
    else adViewController_ = VuderuAdWindowBasedViewController::initWithAd(ad);
    return true;
}

bool VuderuAdFullscreenController::showFullscreenViewForAdWithRequest(const IVuderuAdPtr& ad, const NSURLRequestPtr& request) {
    if (extAdViewController_) {
        extAdViewController_->loadAdWithRequest(ad, request);
        return true;
    }
    if (ad && ad->isShownModallyForViewController()) {
        auto controller = VuderuAdExternalViewController::initWithAdRequest(ad, request);
        auto takeover = std::dynamic_pointer_cast<UIViewController>(adViewController_);
        controller->setParentVC(takeover ? takeover : ad->parentViewController());
        extAdViewController_ = controller;
    } else {
        extAdViewController_ = VuderuAdExternalWindowBasedViewController::initWithAdRequest(ad, request);
    }
    return true;
}

void VuderuAdFullscreenController::removeWindows() {
    removeExtAdWindow();
    removeWindow();
}

void VuderuAdFullscreenController::removeWindow() {
    // The slot lets go only once the controller is off screen; removing may reach back here.
    auto controller = std::move(adViewController_);
    adViewController_.reset();
    if (controller) controller->removeWindow();
}

void VuderuAdFullscreenController::removeExtAdWindow() {
    auto controller = std::move(extAdViewController_);
    extAdViewController_.reset();
    if (controller) controller->removeWindow();
}

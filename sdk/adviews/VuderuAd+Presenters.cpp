// What the ad-space view hands to others: the full-screen controller that shows takeovers and
// modal ads, and the view state that expands and collapses MRAID banners.

#include "sdk/adviews/VuderuAd.h"

#include "platform/uikit/UIViewController.h"
#include "sdk/adviews/VuderuAdFullscreenController.h"
#include "sdk/ads/UIViewController+VuderuExtensions.h"

bool VuderuAd::fullscreenShowForAd() { return VuderuAdFullscreenController::instance()->showFullscreenViewForAd(self<VuderuAd>()); }

void VuderuAd::fullscreenRemoveWindows() { VuderuAdFullscreenController::instance()->removeWindows(); }

void VuderuAd::fullscreenRemoveExtAdWindow() { VuderuAdFullscreenController::instance()->removeExtAdWindow(); }

bool VuderuAd::fullscreenPresentsController() const {
    auto controller = std::dynamic_pointer_cast<UIViewController>(VuderuAdFullscreenController::instance()->adViewController());
    return controller && UIViewController_VuderuExtensions::com_vuderu_ads_presentedViewController(controller) != nullptr;
}

void VuderuAd::makeViewState() {}

std::int32_t VuderuAd::currentViewState() const { return viewStateValue_; }

void VuderuAd::setCurrentViewState(std::int32_t state) { viewStateValue_ = state; }

bool VuderuAd::viewStateExpand(const std::map<std::string, std::string>&) { return true; }

bool VuderuAd::viewStateCollapse() { return true; }

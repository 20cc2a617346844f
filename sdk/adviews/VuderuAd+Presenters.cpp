// What the ad-space view hands to others: the full-screen controller that shows takeovers and
// modal ads, and the view state that expands and collapses MRAID banners.

#include "sdk/adviews/VuderuAd.h"

#include "platform/uikit/UIViewController.h"
#include "sdk/adviews/VuderuAdFullscreenController.h"
#include "sdk/ads/UIViewController+VuderuExtensions.h"

bool VuderuAd::fullscreenShowForAd() { return VuderuAdFullscreenController::instance()->showFullscreenViewForAd(self<VuderuAd>()); }

bool VuderuAd::fullscreenShowForVideoAd() {
    return VuderuAdFullscreenController::instance()->showFullscreenViewForVideoAd(self<VuderuAd>());
}

void VuderuAd::fullscreenRemoveWindows() { VuderuAdFullscreenController::instance()->removeWindows(); }

void VuderuAd::fullscreenRemoveExtAdWindow() { VuderuAdFullscreenController::instance()->removeExtAdWindow(); }

std::shared_ptr<UIViewController> VuderuAd::fullscreenAdViewController() const {
    return std::dynamic_pointer_cast<UIViewController>(VuderuAdFullscreenController::instance()->adViewController());
}

bool VuderuAd::fullscreenPresentsController() const {
    auto controller = fullscreenAdViewController();
    return controller && UIViewController_VuderuExtensions::com_vuderu_ads_presentedViewController(controller) != nullptr;
}

void VuderuAd::makeViewState() { adViewState_ = VuderuAdViewState::initWithAd(self<VuderuAd>()); }

std::int32_t VuderuAd::currentViewState() const { return adViewState_ ? adViewState_->currentViewState() : kViewStateDefault; }

void VuderuAd::setCurrentViewState(std::int32_t state) {
    if (adViewState_) adViewState_->setCurrentViewState(state);
}

bool VuderuAd::viewStateExpand(const std::map<std::string, std::string>& params) {
    return adViewState_ && adViewState_->processExpandAction(params);
}

bool VuderuAd::viewStateCollapse() { return adViewState_ && adViewState_->processCollapseAction(); }

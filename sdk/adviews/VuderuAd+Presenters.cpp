// What the ad-space view hands to others: the full-screen controller that shows takeovers and
// modal ads, the view state that expands and collapses MRAID banners, and the overlay's spinner.

#include "sdk/adviews/VuderuAd.h"

bool VuderuAd::fullscreenShowForAd() { return false; }

void VuderuAd::fullscreenRemoveWindows() {}

void VuderuAd::fullscreenRemoveExtAdWindow() {}

bool VuderuAd::fullscreenPresentsController() const { return false; }

void VuderuAd::makeViewState() {}

std::int32_t VuderuAd::currentViewState() const { return viewStateValue_; }

void VuderuAd::setCurrentViewState(std::int32_t state) { viewStateValue_ = state; }

bool VuderuAd::viewStateExpand(const std::map<std::string, std::string>&) { return true; }

bool VuderuAd::viewStateCollapse() { return true; }

UIViewPtr VuderuAd::makeSpinner(const CGRect& frame) const { return std::make_shared<UIView>(frame); }

void VuderuAd::stopSpinner() {}

// Where the ad-space view sits in the host's container, which touches it takes, how it follows
// orientation and its own visibility on every heartbeat, when it may be refreshed, and the
// loading overlay.

#include "sdk/adviews/VuderuAd.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UITextView.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/adviews/VuderuVideoPlayer.h"
#include "sdk/ads/VuderuAdAlignment.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr CGFloat kSpinnerSide = 25;
constexpr double kOverlayAlpha = 0.4;

struct Masks {
    unsigned long webView;
    unsigned long ad;
};

// The masks a layout's "fix" asks for; nullopt leaves both as they are.
std::optional<Masks> masksForFix(const std::string& fix) {
    constexpr unsigned long margins = UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin;
    constexpr unsigned long verticalMargins = UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin;
    constexpr unsigned long flexible = UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight | verticalMargins;
    if (fix == "both") return Masks{UIViewAutoresizingNone, UIViewAutoresizingNone};
    if (fix == "height") return Masks{margins, margins};
    if (fix == "width") return Masks{verticalMargins, verticalMargins};
    if (fix == "none") return Masks{flexible, verticalMargins};
    return std::nullopt;
}

} // namespace

void VuderuAd::adjustAdFrame() {
    auto layout = adFrame_ ? adFrame_->adSpaceLayout() : nullptr;
    if (!layout) return;
    auto web = webView();
    if (auto masks = masksForFix(layout->fix())) {
        if (web) web->setAutoresizingMask(masks->webView);
        setAutoresizingMask(masks->ad);
    }
    CGRect rect;
    if (layout->isTakeover()) {
        rect = VuderuUtil::screenBounds();
        rect.size.width = std::max<CGFloat>(rect.size.width, layout->adWidth());
        rect.size.height = std::max<CGFloat>(rect.size.height, layout->adHeight());
    } else {
        std::optional<std::string> vertical, horizontal;
        const std::string& alignment = layout->alignment();
        const auto dash = alignment.find('-');
        if (dash != std::string::npos) {
            vertical = alignment.substr(0, dash);
            horizontal = alignment.substr(dash + 1, alignment.find('-', dash + 1) - dash - 1);
        }
        const CGRect container = parentView_ ? parentView_->bounds() : CGRectZero;
        const bool fixedWidth = layout->fix() == "width" || layout->fix() == "both";
        const CGFloat width = fixedWidth ? layout->adWidth() : container.size.width;
        rect = VuderuAdAlignment::getBoundsForAdVerticalHorizontalAdFrameViewContainerFrame(
            vertical, horizontal, CGRectMake(0, 0, width, layout->adHeight()), container);
    }
    setFrame(rect);
    if (web) web->setFrame(CGRectMake(0, 0, rect.size.width, rect.size.height));
    if (!layout->isTakeover() && networkPlugin_) networkPlugin_->adjustAdBannerFrame();
}

void VuderuAd::willMoveToSuperview(const UIViewPtr& superview) {
    if (!superview) return;
    const std::int32_t type = getAdType(adFrame_);
    if (type == 6 || type == 1 || type == 4) adjustAdFrame();
}

void VuderuAd::alwaysSetFrame(const CGRect& frame) { UIView::setFrame(frame); }

UIViewPtr VuderuAd::hitTestWithEvent(CGPoint point, const std::shared_ptr<UIEvent>& event) {
    for (const auto& subview : subviews())
        if (CGRectContainsPoint(subview->frame(), point)) return UIView::hitTestWithEvent(point, event);
    return nullptr;
}

void VuderuAd::handleHeartBeat() { checkAdLocation(); }

void VuderuAd::updateToOrientationOnRotation() { checkAdLocation(); }

void VuderuAd::checkAdLocation() {
    auto keep = self<VuderuAd>();
    if (isShownModallyForViewController()) {
        if (!activeFrameTakeover() && networkPlugin_) networkPlugin_->adjustAdBannerFrame();
        return;
    }
    try {
        const std::int32_t state = currentViewState();
        const std::string canvas = VuderuUtil::getCanvasOrientation();
        if (state != kViewStateExpanded && !activeFrameTakeover() && currentOrientation_ != canvas) {
            currentOrientation_ = canvas;
            adjustAdFrame();
        }
        if (!nextAdFrameWithDelayParams_) return;
        const bool webVisible = VuderuUtil::viewIsVisible(webView());
        const bool visible = webVisible && state != kViewStateExpanded && !VuderuAdUtil::isModalViewPresent();
        const bool hiddenOrExpanded = !webVisible || state == kViewStateExpanded;
        const Value::Dictionary params = *nextAdFrameWithDelayParams_;
        if (visible) {
            if (refreshTimerPaused_) {
                setCurrentViewState(kViewStateDefault);
                reportCurrentViewStateToAd();
                nextAdFrameWithDelay(params);
                refreshTimerPaused_ = false;
            }
            return;
        }
        if (!refreshTimerPaused_ && !hiddenOrExpanded) {
            setCurrentViewState(kViewStateHidden);
            reportCurrentViewStateToAd();
        }
        refreshTimerPaused_ = true;
        NSRunLoop::mainRunLoop()->cancelPerformRequests(this, kNextAdFrameWithDelaySelector, Value(params));
    } catch (...) {
        VuderuUtil::handleException(std::current_exception());
    }
}

bool VuderuAd::canBeRefreshed() const {
    if (!VuderuUtil::theAppIsActive() || activeFrameTakeover() || isShownModallyForViewController()) return false;
    if (!readyForDisplay_) return true;
    return VuderuUtil::viewIsVisible(webView()) && currentViewState() != kViewStateExpanded && !VuderuAdUtil::isModalViewPresent();
}

CGRect VuderuAd::loadingOverlayFrame() const {
    if (activeFrameTakeover()) {
        if (isShownModallyForViewController()) return webView()->frame();
        return VuderuUtil::screenBounds(VuderuUtil::getOrientationStrFromInterfaceOrientation(static_cast<long>(initialOrientation_)));
    }
    return VuderuUtil::screenBounds(VuderuUtil::getCanvasOrientation());
}

void VuderuAd::showLoadingView() {
    if (auto player = videoPlayer_) return player->showLoadingView();
    if (loadingView_) return;
    auto web = webView();
    if (!web) return;
    UIViewPtr container = isShownModallyForViewController() ? web->superview() : UIViewPtr(web);
    if (!container) return;
    const CGSize size = container->bounds().size;
    spinner_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhite);
    spinner_->setFrame(CGRectMake(std::round((size.width - kSpinnerSide) / 2), std::round((size.height - kSpinnerSide) / 2),
                                  kSpinnerSide, kSpinnerSide));
    loadingView_ = std::make_shared<UIView>(loadingOverlayFrame());
    loadingView_->setBackgroundColor(UIColor::colorWithRed(0, 0, 0, kOverlayAlpha));
    const CGRect overlay = loadingView_->bounds();
    spinner_->setCenter(CGPointMake(overlay.origin.x + overlay.size.width / 2, overlay.origin.y + overlay.size.height / 2));
    container->addSubview(loadingView_);
    loadingView_->addSubview(spinner_);
    spinner_->startAnimating();
}

void VuderuAd::removeLoadingView() {
    if (auto player = videoPlayer_; player && !activelyRespondingToAction_) player->removeLoadingView();
    if (spinner_) {
        spinner_->stopAnimating();
        spinner_->removeFromSuperview();
        spinner_ = nullptr;
    }
    if (loadingTextView_) loadingTextView_->removeFromSuperview();
    loadingTextView_ = nullptr;
    if (loadingView_) loadingView_->removeFromSuperview();
    loadingView_ = nullptr;
    if (loadingViewTimer_) loadingViewTimer_->invalidate();
    loadingViewTimer_ = nullptr;
}

void VuderuAd::cleanPreviousView() {
    if (!previousWebViewLoader_) return;
    removeLoadingView();
    previousWebViewLoader_->invalidate();
    previousWebViewLoader_ = nullptr;
}

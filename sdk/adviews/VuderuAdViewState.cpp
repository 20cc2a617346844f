#include "sdk/adviews/VuderuAdViewState.h"

#include "platform/foundation/NSString.h"
#include "platform/foundation/arc4random.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"
#include "platform/web/UIWebView.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/adviews/VuderuAdWindowBasedMraidViewController.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cmath>

namespace {
const char* const kExpandAnimation = "vuderuExpand";
const char* const kCollapseAnimation = "vuderuCloseExpanded";
constexpr double kAnimationSeconds = 0.5;
constexpr double kDefaultBlockingOpacity = 0.2;
// Temporary parent tags are drawn below this.
constexpr std::uint32_t kParentTagRange = 25000;

UIInterfaceOrientation statusBarOrientation() { return UIApplication::sharedApplication()->statusBarOrientation(); }

std::shared_ptr<UIWindow> keyWindow() { return UIApplication::sharedApplication()->keyWindow(); }

CGSize keyWindowSize() {
    auto window = keyWindow();
    return window ? window->frame().size : CGSizeZero;
}

void animateWith(const std::shared_ptr<VuderuAdViewState>& state, const char* animationID,
                 const std::function<void()>& changes) {
    UIView::beginAnimationsContext(animationID, nullptr);
    UIView::setAnimationDuration(kAnimationSeconds);
    UIView::setAnimationDelegate(state);
    UIView::setAnimationDidStopSelector([](NSObject& delegate, const std::string& id, bool finished, void* context) {
        static_cast<VuderuAdViewState&>(delegate).animationDidStopFinishedContext(id, finished, context);
    });
    changes();
    UIView::commitAnimations();
}
} // namespace

VuderuAdViewState::VuderuAdViewState(const std::shared_ptr<IVuderuAdViewStateOwner>& ad) : vdAdDelegate_(ad) {}

std::shared_ptr<VuderuAdViewState> VuderuAdViewState::initWithAd(const std::shared_ptr<IVuderuAdViewStateOwner>& ad) {
    return std::make_shared<VuderuAdViewState>(ad);
}

VuderuAdViewState::~VuderuAdViewState() {
    vdAdDelegate_.reset();
    if (blockingView_) blockingView_->removeFromSuperview();
    blockingView_.reset();
    // The controller's window holds the controller: letting go of it alone would leave the
    // expanded page on screen, in the key window, after its ad has gone.
    if (auto controller = std::move(mraidAdViewController_)) controller->removeWindow();
}

// Orientation tables. W and H are the key window's width and height; the rectangle is (x, y, w, h).

CGRect VuderuAdViewState::rectAccordingToOrientation(const CGRect& r) {
    auto [W, H] = keyWindowSize();
    auto [x, y] = r.origin;
    auto [w, h] = r.size;
    switch (statusBarOrientation()) {
    case UIInterfaceOrientationPortraitUpsideDown: return CGRectMake(W - x - w, H - y - h, w, h);
    case UIInterfaceOrientationLandscapeRight: return CGRectMake(y, W - x - w, h, w);
    case UIInterfaceOrientationLandscapeLeft: return CGRectMake(H - y - h, x, h, w);
    default: return r;
    }
}

CGRect VuderuAdViewState::convertedRectAccordingToOrientation(const CGRect& r) {
    auto [W, H] = keyWindowSize();
    auto [x, y] = r.origin;
    auto [w, h] = r.size;
    switch (statusBarOrientation()) {
    case UIInterfaceOrientationPortraitUpsideDown: return CGRectMake(W - x - w, H - y - h, w, h);
    case UIInterfaceOrientationLandscapeRight: return CGRectMake(W - y - h, x, h, w);
    case UIInterfaceOrientationLandscapeLeft: return CGRectMake(y, H - x - w, h, w);
    default: return r;
    }
}

CGRect VuderuAdViewState::webFrameAccordingToOrientation(const CGRect& r) {
    auto orientation = statusBarOrientation();
    if (orientation == UIInterfaceOrientationPortrait || orientation == UIInterfaceOrientationPortraitUpsideDown) return r;
    return CGRectMake(r.origin.y, r.origin.x, r.size.height, r.size.width);
}

CGSize VuderuAdViewState::statusBarSizeAccordingToOrientation(CGSize size, UIInterfaceOrientation orientation) {
    if (orientation == UIInterfaceOrientationLandscapeRight || orientation == UIInterfaceOrientationLandscapeLeft)
        return CGSizeMake(size.height, size.width);
    return size;
}

void VuderuAdViewState::rotateExpandedWindowsToOrientationForAd(UIInterfaceOrientation orientation,
                                                                const std::shared_ptr<IVuderuAd>& ad) {
    auto webView = ad ? ad->webView() : nullptr;
    if (!webView) return;
    switch (orientation) {
    case UIInterfaceOrientationPortraitUpsideDown: webView->setTransform(CGAffineTransformMakeRotation(M_PI)); break;
    case UIInterfaceOrientationLandscapeRight: webView->setTransform(CGAffineTransformMakeRotation(M_PI_2)); break;
    case UIInterfaceOrientationLandscapeLeft: webView->setTransform(CGAffineTransformMakeRotation(-M_PI_2)); break;
    default: webView->setTransform(CGAffineTransformIdentity); break;
    }
}

CGAffineTransform VuderuAdViewState::expandedWindowsToOrientation() {
    if (VuderuUtil::canvasInLandscapeRight()) return CGAffineTransformMakeRotation(M_PI_2);
    if (VuderuUtil::canvasInLandscapeLeft()) return CGAffineTransformMakeRotation(-M_PI_2);
    if (VuderuUtil::canvasInPortraitUpsideDown()) return CGAffineTransformMakeRotation(M_PI);
    return CGAffineTransformIdentity;
}

double VuderuAdViewState::floatFromDictionaryForKeyWithDefault(const Params& params, const std::string& key,
                                                               double defaultValue) {
    auto it = params.find(key);
    if (it == params.end()) return defaultValue;
    return static_cast<double>(static_cast<float>(NSString::doubleValue(it->second)));
}

// Expansion.

bool VuderuAdViewState::processExpandAction(const Params& params) {
    if (expandAnimationInProgress_) return true;
    auto ad = vdAdDelegate();
    auto adView = ad ? ad->adView() : nullptr;
    if (!adView) return true;
    CGRect inWindow = adView->frame();
    if (auto superview = adView->superview()) inWindow = superview->convertRectToView(inWindow, nullptr);
    CGRect where = rectAccordingToOrientation(inWindow);
    auto [W, H] = keyWindowSize();
    CGRect rect = CGRectMake(floatFromDictionaryForKeyWithDefault(params, "x", where.origin.x),
                             floatFromDictionaryForKeyWithDefault(params, "y", where.origin.y),
                             floatFromDictionaryForKeyWithDefault(params, "w", W),
                             floatFromDictionaryForKeyWithDefault(params, "h", H));
    auto it = params.find("url");
    expandToWithURLBlockingColorBlockingOpacityLockOrientation(rect, it == params.end() ? std::string() : it->second,
                                                              UIColor::blackColor(), kDefaultBlockingOpacity, false);
    return true;
}

void VuderuAdViewState::expandToWithURLBlockingColorBlockingOpacityLockOrientation(const CGRect& rect, const std::string&,
                                                                                  const UIColorPtr& blockingColor,
                                                                                  double blockingOpacity, bool) {
    if (currentViewState_ != VuderuAdViewStateDefault || expandAnimationInProgress_) return;
    auto keep = self<VuderuAdViewState>();
    auto ad = vdAdDelegate();
    // The web view has to be in a parent view to be lifted out of it and given back.
    auto webView = ad ? ad->webView() : nullptr;
    if (!webView || !webView->superview() || !keyWindow()) return;
    if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceWillExpand(ad->space());
    // The host may have taken the ad away while it heard of the expansion.
    webView = ad->webView();
    auto parent = webView ? webView->superview() : nullptr;
    auto window = keyWindow();
    auto adView = ad->adView();
    if (!parent || !window || !adView) return;

    defaultFrame_ = webView->frame();
    auto orientation = statusBarOrientation();
    expandedFrame_ = rect;
    CGRect converted = convertedRectAccordingToOrientation(rect);
    showBlockingView(window, blockingColor, blockingOpacity);

    originalTransform_ = webView->transform();
    originalCenter_ = webView->center();
    originalFrame_ = adView->frame();
    rotateExpandedWindowsToOrientationForAd(orientation, ad);
    window->addSubview(blockingView_);
    tagParent(parent, window);
    translatedFrame_ = parent->convertRectToView(defaultFrame_, window);
    translatedCenter_ = parent->convertPointToView(originalCenter_, window);
    webView->removeFromSuperview();
    presentExpanded(ad, converted);
}

void VuderuAdViewState::showBlockingView(const std::shared_ptr<UIView>& window, const UIColorPtr& color, double opacity) {
    if (blockingView_) blockingView_->removeFromSuperview();
    blockingView_ = std::make_shared<UIView>(window->frame());
    blockingView_->setBackgroundColor(color);
    blockingView_->setAlpha(opacity);
}

void VuderuAdViewState::tagParent(const std::shared_ptr<UIView>& parent, const std::shared_ptr<UIView>& window) {
    originalTag_ = parent->tag();
    long tag = 0;
    do {
        tag = static_cast<long>(arc4random() % kParentTagRange);
    } while (window->viewWithTag(tag));
    parentTag_ = tag;
    parent->setTag(tag);
}

void VuderuAdViewState::presentExpanded(const std::shared_ptr<IVuderuAdViewStateOwner>& ad, const CGRect& converted) {
    if (mraidAdViewController_) mraidAdViewController_->loadAd(ad);
    else mraidAdViewController_ = VuderuAdWindowBasedMraidViewController::initWithAd(ad);
    auto content = mraidAdViewController_->view();
    content->setFrame(defaultFrame_);

    auto window = keyWindow();
    auto orientation = statusBarOrientation();
    CGRect webFrame = webFrameAccordingToOrientation(converted);
    expandAnimationInProgress_ = true;
    animateWith(self<VuderuAdViewState>(), kExpandAnimation, [&] {
        // The expanded page shows from its own top left: only the size of the request becomes
        // the bounds, whose origin would otherwise shift the page out of view.
        content->setBounds(CGRectMake(0, 0, webFrame.size.width, webFrame.size.height));
        if (window) content->setCenter(window->center());
        if (window && orientation != UIInterfaceOrientationPortraitUpsideDown) content->setTransform(window->transform());
    });
}

// Collapse.

bool VuderuAdViewState::processCollapseAction() {
    if (currentViewState_ != VuderuAdViewStateExpanded || collapseAnimationInProgress_) return true;
    auto keep = self<VuderuAdViewState>();
    auto ad = vdAdDelegate();
    if (!ad) return true;
    if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceWillCollapse(ad->space());
    auto window = keyWindow();
    if (blockingView_ && window) {
        blockingView_->setBackgroundColor(UIColor::clearColor());
        blockingView_->removeFromSuperview();
        window->addSubview(blockingView_);
    }
    collapseAnimationInProgress_ = true;
    auto content = mraidAdViewController_ ? mraidAdViewController_->view() : nullptr;
    auto adView = ad->adView();
    auto orientation = statusBarOrientation();
    animateWith(keep, kCollapseAnimation, [&] {
        if (!content) return;
        if (orientation != UIInterfaceOrientationPortraitUpsideDown) content->setTransform(expandedWindowsToOrientation());
        if (!adView) return;
        content->setFrame(adView->convertRectToView(defaultFrame_, window));
        content->setCenter(adView->convertPointToView(originalCenter_, window));
    });
    return true;
}

void VuderuAdViewState::animationDidStopFinishedContext(const std::string& animationID, bool, void*) {
    auto keep = self<VuderuAdViewState>();
    auto ad = vdAdDelegate();
    if (animationID == kCollapseAnimation) {
        finishCollapse(ad);
        return;
    }
    currentViewState_ = VuderuAdViewStateExpanded;
    if (ad) ad->reportCurrentViewStateToAd();
    expandAnimationInProgress_ = false;
}

void VuderuAdViewState::finishCollapse(const std::shared_ptr<IVuderuAdViewStateOwner>& ad) {
    // Only an expansion of ours has a web view to give back and frames to restore; a state set
    // to expanded from outside collapses without touching the views.
    bool expanded = mraidAdViewController_ != nullptr;
    if (auto controller = std::move(mraidAdViewController_)) controller->removeWindow();
    auto webView = ad ? ad->webView() : nullptr;
    if (expanded) {
        auto window = keyWindow();
        if (auto parent = window ? window->viewWithTag(parentTag_) : nullptr) {
            parent->setTag(originalTag_);
            if (webView) parent->addSubview(webView);
        }
    }
    if (blockingView_) blockingView_->removeFromSuperview();
    blockingView_.reset();
    currentViewState_ = VuderuAdViewStateDefault;
    if (ad) ad->reportCurrentViewStateToAd();
    if (ad)
        if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceDidCollapse(ad->space());
    if (expanded && ad) {
        if (webView) webView->setTransform(originalTransform_);
        ad->alwaysSetFrame(originalFrame_);
        // The web view's frame is within the ad view: it gets back its own, not the ad's.
        if (webView) webView->setFrame(defaultFrame_);
        setJavascriptDefaultFrame(originalFrame_);
    }
    collapseAnimationInProgress_ = false;
}

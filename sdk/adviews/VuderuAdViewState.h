#pragma once
// The MRAID view state of one ad-space view, and its expansion and collapse. Expanding lifts the
// ad's web view out of the host's layout into the window-based MRAID controller over the key
// window, with a full-window dimming view behind it; collapsing animates it back and returns the
// web view to the parent view it came from. The state is -1 hidden, 0 default or 2 expanded;
// expansion starts only in state 0, collapse only in state 2, and a request made while the same
// animation runs is answered YES without effect. Main thread only.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIColor.h"
#include "sdk/ads/IVuderuAd.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class UIView;
class VuderuAdWindowBasedMraidViewController;

// What the view state needs of its ad beyond the ad's general face: the ad view (`adView()`,
// framed in its superview's coordinates), its web view (`webView()`), its space (`space()`), and
// the two calls below.
class IVuderuAdViewStateOwner : public virtual IVuderuAd {
public:
    // Pushes the view state's `currentViewState` into the web content.
    virtual void reportCurrentViewStateToAd() = 0;
    // Sets the ad view's frame as given, without the ad's own placement rules.
    virtual void alwaysSetFrame(const CGRect& frame) = 0;
};

enum VuderuAdViewStateValue : std::int32_t {
    VuderuAdViewStateHidden = -1,
    VuderuAdViewStateDefault = 0,
    VuderuAdViewStateExpanded = 2,
};

class VuderuAdViewState : public NSObject {
public:
    using Params = std::map<std::string, std::string>;

    explicit VuderuAdViewState(const std::shared_ptr<IVuderuAdViewStateOwner>& ad);
    static std::shared_ptr<VuderuAdViewState> initWithAd(const std::shared_ptr<IVuderuAdViewStateOwner>& ad);
    // Lets go of the ad, takes the dimming view off screen and drops the MRAID controller.
    ~VuderuAdViewState() override;

    // The doExpand action: "x" and "y" default to where the ad is, turned for the orientation;
    // "w" and "h" to the key window's size. YES always.
    bool processExpandAction(const Params& params);
    // The doCollapse action: animates an expanded ad back. YES always.
    bool processCollapseAction();
    void expandToWithURLBlockingColorBlockingOpacityLockOrientation(const CGRect& rect, const std::string& url,
                                                                   const UIColorPtr& blockingColor, double blockingOpacity,
                                                                   bool lockOrientation);
    // The end of the expand ("vuderuExpand") or collapse ("vuderuCloseExpanded") animation.
    void animationDidStopFinishedContext(const std::string& animationID, bool finished, void* context);
    bool shouldAutorotate() const { return true; }
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation) const { return true; }
    void setJavascriptDefaultFrame(const CGRect&) {}

    // Rectangles between the key window's portrait coordinates and the status bar's orientation.
    static CGRect rectAccordingToOrientation(const CGRect& rect);
    static CGRect convertedRectAccordingToOrientation(const CGRect& rect);
    static CGRect webFrameAccordingToOrientation(const CGRect& rect);
    static CGSize statusBarSizeAccordingToOrientation(CGSize size, UIInterfaceOrientation orientation);
    static void rotateExpandedWindowsToOrientationForAd(UIInterfaceOrientation orientation,
                                                        const std::shared_ptr<IVuderuAd>& ad);
    static CGAffineTransform expandedWindowsToOrientation();
    // The value's single-precision number, or the default when the key is absent.
    static double floatFromDictionaryForKeyWithDefault(const Params& params, const std::string& key, double defaultValue);

    std::int32_t currentViewState() const { return currentViewState_; }
    void setCurrentViewState(std::int32_t state) { currentViewState_ = state; }
    CGRect translatedFrame() const { return translatedFrame_; }
    void setTranslatedFrame(const CGRect& frame) { translatedFrame_ = frame; }
    CGPoint translatedCenter() const { return translatedCenter_; }
    void setTranslatedCenter(CGPoint center) { translatedCenter_ = center; }
    CGPoint originalCenter() const { return originalCenter_; }
    void setOriginalCenter(CGPoint center) { originalCenter_ = center; }
    std::int64_t originalTag() const { return originalTag_; }
    void setOriginalTag(std::int64_t tag) { originalTag_ = tag; }
    std::int64_t parentTag() const { return parentTag_; }
    void setParentTag(std::int64_t tag) { parentTag_ = tag; }
    std::shared_ptr<UIView> blockingView() const { return blockingView_; }
    void setBlockingView(const std::shared_ptr<UIView>& view) { blockingView_ = view; }
    std::shared_ptr<IVuderuAdViewStateOwner> vdAdDelegate() const { return vdAdDelegate_.lock(); }
    void setVdAdDelegate(const std::shared_ptr<IVuderuAdViewStateOwner>& ad) { vdAdDelegate_ = ad; }
    std::shared_ptr<VuderuAdWindowBasedMraidViewController> mraidAdViewController() const { return mraidAdViewController_; }
    void setMraidAdViewController(const std::shared_ptr<VuderuAdWindowBasedMraidViewController>& controller) {
        mraidAdViewController_ = controller;
    }
    bool isExpandAnimationInProgress() const { return expandAnimationInProgress_; }
    void setExpandAnimationInProgress(bool value) { expandAnimationInProgress_ = value; }
    bool isCollapseAnimationInProgress() const { return collapseAnimationInProgress_; }
    void setCollapseAnimationInProgress(bool value) { collapseAnimationInProgress_ = value; }

private:
    void showBlockingView(const std::shared_ptr<UIView>& keyWindow, const UIColorPtr& color, double opacity);
    // Gives the web view's parent a tag no view of the key window carries, keeping its own.
    void tagParent(const std::shared_ptr<UIView>& parent, const std::shared_ptr<UIView>& keyWindow);
    void presentExpanded(const std::shared_ptr<IVuderuAdViewStateOwner>& ad, const CGRect& converted);
    void finishCollapse(const std::shared_ptr<IVuderuAdViewStateOwner>& ad);

    CGRect defaultFrame_{};
    CGRect translatedFrame_{};
    CGPoint translatedCenter_{};
    CGPoint originalCenter_{};
    std::int64_t originalTag_ = 0;
    std::int64_t parentTag_ = 0;
    CGRect originalFrame_{};
    CGAffineTransform originalTransform_ = CGAffineTransformIdentity;
    CGRect expandedFrame_{};
    std::weak_ptr<IVuderuAdViewStateOwner> vdAdDelegate_;
    std::int32_t currentViewState_ = VuderuAdViewStateDefault;
    bool expandAnimationInProgress_ = false;
    bool collapseAnimationInProgress_ = false;
    std::shared_ptr<UIView> blockingView_;
    std::shared_ptr<VuderuAdWindowBasedMraidViewController> mraidAdViewController_;
};
using VuderuAdViewStatePtr = std::shared_ptr<VuderuAdViewState>;

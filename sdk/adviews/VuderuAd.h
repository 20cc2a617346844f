#pragma once
// The ad-space view: shows the ads of one ad space. It keeps the space's units (the first is the
// active one), prepares and renders the active unit's current frame by its binding, places
// itself in the host's container, follows visibility and orientation on every heartbeat, raises
// ad events and carries out the actions aimed at it, answers the page bridge and the MRAID
// states, and takes the user out of the ad.
//
// One class over several files: VuderuAd.cpp (creation, units, tear-down), VuderuAd+Display.cpp
// (prepare, load, render, removal), VuderuAd+Events.cpp (events, failure roads, bridge, delayed
// switches), VuderuAd+Placement.cpp (layout, heartbeat, loading overlay), VuderuAd+Links.cpp
// (links, URLs, the store page), VuderuAd+Networks.cpp (frames of other ad networks),
// VuderuAd+Video.cpp (video frames and their player) and VuderuAd+Presenters.cpp (the
// full-screen controller and the view state it hands work to).

#include "platform/foundation/NSTimer.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIView.h"
#include "platform/web/UIWebView.h"
#include "sdk/adviews/IVuderuAdExternalViewConnector.h"
#include "sdk/adviews/IVuderuAdNetworkConnector.h"
#include "sdk/adviews/IVuderuAdVideoPlayerConnector.h"
#include "sdk/adviews/IVuderuAdWebViewLoaderConnector.h"
#include "sdk/adviews/VuderuAdNetworkBasePlugin.h"
#include "sdk/adviews/VuderuAdViewState.h"
#include "sdk/ads/IVuderuEventControllerHandler.h"
#include "sdk/ads/VuderuAdFrame.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class UIActivityIndicatorView;
class UITextView;
class UIViewController;
class VuderuAdWebViewLoader;
class VuderuCachedAsset;
class VuderuVideoPlayer;

class VuderuAd : public UIView,
                 public IVuderuEventControllerHandler,
                 public IVuderuAdNetworkConnector,
                 public IVuderuAdVideoPlayerConnector,
                 public IVuderuAdExternalViewConnector,
                 public IVuderuAdWebViewLoaderConnector,
                 public IVuderuAdViewStateOwner {
public:
    // MRAID view states as the page hears them.
    enum ViewState : std::int32_t { kViewStateHidden = -1, kViewStateDefault = 0, kViewStateExpanded = 2 };
    // The ad manager's value that silences the dismiss callbacks.
    static constexpr std::int32_t kNotificationSilent = 3;
    // The delayed frame switch, as it is scheduled and cancelled with its parameters.
    static constexpr const char* kNextAdFrameWithDelaySelector = "nextAdFrameWithDelay:";
    // Frames one view loads in a row with neither a timed pause nor a touch between them: past
    // this a frame loop the server scripts (each frame's "rendered" moving to the next) stops.
    static constexpr std::int32_t kMaximumFrameLoadsWithoutPause = 100;

    // container: a UIView or a UIViewController.
    static std::shared_ptr<VuderuAd> initWithViewContainerAdSpace(const std::shared_ptr<NSObject>& container, const std::string& space);
    ~VuderuAd() override;

    // The ad type of a frame, by binding and takeover layout: 1 or 2 for a page or HTML (banner,
    // takeover), 4 or 3 for binding 3, 6 or 7 for binding 4, 4 or 5 for any other binding.
    static std::int32_t getAdType(const VuderuAdFramePtr& frame);
    // Makes this view the one the ad manager creates for every ad space it shows.
    static void registerAsAdViewMaker();

    // Container.
    void updateViewContainer(const std::shared_ptr<NSObject>& container) override;
    bool isShownModallyForViewController() const override { return parentViewController_ != nullptr; }
    std::shared_ptr<NSObject> parentViewContainer() const override;
    std::shared_ptr<UIView> parentViewContainersView() const override;
    std::shared_ptr<UIView> parentView() const override { return parentView_; }
    std::shared_ptr<UIViewController> parentViewController() const override { return parentViewController_; }
    std::shared_ptr<UIView> adView() const override;

    // Units.
    void addAdUnit(const VuderuAdUnitPtr& unit) override;
    std::shared_ptr<std::vector<VuderuAdUnitPtr>> appendAdUnitsMaximum(std::int32_t minimum, std::int32_t maximum) override;
    VuderuAdUnitPtr activeAdUnit() const override;
    std::vector<VuderuAdUnitPtr> allAdUnitsList() const override;
    bool setActiveAdUnit(const std::string& guid) override;
    bool isGuidActive(const std::string& guid) const override;
    bool isWebViewNewAdRequest(bool remember) override;

    // Preparing, loading and rendering.
    bool canBeRefreshed() const override;
    bool prepareAdForDisplay(NSErrorPtr* error) override;
    bool loadAdFrameError(const VuderuAdFramePtr& frame, NSErrorPtr* error) override;
    bool displayAdFrame(NSErrorPtr* error);
    void prepareView() override;
    void renderView() override;
    void prepareWebView();
    void prepareNetworkView();
    void renderNetworkView();
    void prepareVideoView();
    void renderVideoView();
    void renderWebView();
    void renderPreRenderedWebview();
    void renderNonPreRenderedWebView();
    void processWebViewFullLoadComplete();
    void notifyReadyForDisplay();
    bool disablePreRendering() const;
    void cleanPreviousView();
    void removeAd() override;
    void withdraw() override;
    void removeTakeoverWindows() override;
    bool activeFrameTakeover() const override;

    // Placement and visibility.
    void adjustAdFrame();
    void alwaysSetFrame(const CGRect& frame) override;
    void willMoveToSuperview(const UIViewPtr& superview) override;
    UIViewPtr hitTestWithEvent(CGPoint point, const std::shared_ptr<UIEvent>& event) override;
    void handleHeartBeat();
    void updateToOrientationOnRotation();
    void checkAdLocation();
    void showLoadingView() override;
    void removeLoadingView() override;

    // Events and the failure roads.
    void processAdEvent(std::int32_t event);
    bool processRenderFailureSendReport(const NSErrorPtr& error, bool sendReport) override;
    bool processRenderFailedError(const NSErrorPtr& error);
    bool processVerificationFailure(const VuderuAdFramePtr& frame);
    bool processAdNetworkErrorAfterAdRendered() override;
    void processRendered() override;
    // What the video player reports.
    void videoDidFailToLoad(const std::string& space) override;
    void videoDidFinish(const std::string& space) override;
    void videoDidNotFinish(const std::string& space) override;
    void processClick() override;
    void reportClick();
    void reportSpaceWillCollapse();
    void reportSpaceDidCollapse();
    void reportSpaceWillLeaveApplication();
    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) override;

    // Delayed frame switches.
    void loadAdFrameWithDelayFrameOffset(std::int64_t delay, std::string& offset) override;
    void nextAdFrameWithDelay(const Value::Dictionary& params);
    void resumeFrame() override;

    // The page bridge and the MRAID state.
    bool processWebLoaderEventParamsStringParams(const std::string& event, const std::string& paramsString,
                                                 std::map<std::string, std::string>& processed) override;
    void applyProcessedParamsForEvent(const std::map<std::string, std::string>& processed, const std::string& event) override;
    bool processMRAIDCloseEvent() override;
    void processAdWillClose();
    void resumeSession();
    void reportCurrentViewStateToAd() override;
    void reportCurrentViewStateToAdAsExpanded() override;
    void reportCurrentViewStateToAdAsDefault() override;
    bool processExpandAction(const std::map<std::string, std::string>& params) override;
    bool processCollapseAction() override;
    void windowOnLoadCalledAction() override;

    // Links, URLs and the store page.
    void linkProcessedForAdAction(const std::optional<std::string>& url, const std::string& adAction) override;
    void linkNotProcessedForAdAction(const NSErrorPtr& error, const std::string& adAction) override;
    bool openUrlInNativeBrowserParams(const NSURLPtr& url, Value::Dictionary& params) override;
    void openUrlInExternalWebView(const NSURLRequestPtr& request);
    bool openAppUrlFromExWebView(const NSURLPtr& url, bool fromExWebView) override;
    void openSKAppstore(const Value& appId) override;
    static std::optional<std::int64_t> parseAppIdFromItunesUrl(const NSURLPtr& url);
    void externalAdDidClose() override;
    void externalAdViewDidCloseDismissAd(bool dismiss) override;
    void externalAdDidCloseForceDismissUI(bool force);
    void skAppStoreDidLoad();
    void skAppStoreDidFinish();
    void skAppStoreDidFailToLoad();
    void subscribeToSKAppStoreVuderuNotifications();
    void desubscribeFromSKAppStoreVuderuNotifications();
    // The host name App Store links are recognised by.
    static const std::string& appStoreHost();

    // Properties.
    std::string space() const override { return space_; }
    std::string adSpaceName() const override { return space_; }
    VuderuAdFramePtr adFrame() const override { return adFrame_; }
    std::shared_ptr<UIWebView> webView() const override;
    const std::shared_ptr<VuderuAdWebViewLoader>& webViewLoader() const { return webViewLoader_; }
    const std::shared_ptr<VuderuAdWebViewLoader>& previousWebViewLoader() const { return previousWebViewLoader_; }
    const std::string& webviewGuid() const { return webviewGuid_; }
    const std::string& currentOrientation() const { return currentOrientation_; }
    std::shared_ptr<UIAlertView> alertView() const override { return alertView_; }
    void setAlertView(const std::shared_ptr<UIAlertView>& alert) override { alertView_ = alert; }
    const UIViewPtr& loadingView() const { return loadingView_; }
    const std::shared_ptr<UIActivityIndicatorView>& spinner() const { return spinner_; }
    const std::optional<Value::Dictionary>& nextAdFrameWithDelayParams() const { return nextAdFrameWithDelayParams_; }
    bool refreshTimerPaused() const { return refreshTimerPaused_; }
    std::int64_t notificationFlag() const override { return notificationFlag_; }
    void setNotificationFlag(std::int64_t flag) override { notificationFlag_ = static_cast<std::int32_t>(flag); }
    void setNotificationFlag(std::int32_t flag) override { notificationFlag_ = flag; }
    bool webViewPrepared() const { return webViewPrepared_; }
    bool readyForDisplay() const override { return readyForDisplay_; }
    bool displayWhenReady() const override { return displayWhenReady_; }
    void setDisplayWhenReady(bool value) override { displayWhenReady_ = value; }
    bool adRendered() const override { return adRendered_; }
    bool isLoadingAdComponents() const { return isLoadingAdComponents_; }
    void setIsLoadingAdComponents(bool loading) override { isLoadingAdComponents_ = loading; }
    std::int64_t initialOrientation() const override { return initialOrientation_; }
    void setInitialOrientation(std::int64_t orientation) override { initialOrientation_ = orientation; }
    bool appStoreInvoked() const { return appStoreInvoked_; }
    bool activelyRespondingToAction() const override { return activelyRespondingToAction_; }
    void setActivelyRespondingToAction(bool value) override { activelyRespondingToAction_ = value; }
    const std::shared_ptr<VuderuAdViewState>& adViewState() const { return adViewState_; }
    const VuderuAdNetworkBasePluginPtr& networkPlugin() const { return networkPlugin_; }
    const std::shared_ptr<VuderuVideoPlayer>& videoPlayer() const { return videoPlayer_; }
    const NSURLPtr& itunesURL() const { return itunesURL_; }
    bool mraidAdLoaded() const override;
    void setMraidAdLoaded(bool loaded) override;
    // The view state's current value (hidden, default or expanded).
    std::int32_t currentViewState() const;
    void setCurrentViewState(std::int32_t state);

protected:
    VuderuAd() = default;

private:
    void setUp(const std::shared_ptr<NSObject>& container, const std::string& space);
    // Keeps this view, its loader and web view alive until the main loop's current pass has
    // ended: removal can drop the last owner while the loader or the page is still calling in.
    void holdUntilNextPass();
    long unusedTagInKeyWindow() const;
    // One controller's whole run of an event: every action id it ran, logged as it goes.
    std::vector<std::int32_t> runEventToExhaustion(const std::string& event, const VuderuAdFramePtr& frame, Value::Dictionary& params);
    void countAndProcess(std::int32_t event, const char* location);
    void logResultAction(std::int32_t action, const Value::Dictionary& params) const;
    bool runBridgeEvent(const std::string& event, const std::string& paramsString, Value::Dictionary* processed);
    void applyProcessedFlags(bool reportClickFlag, bool processClickFlag, bool closeProcessed, bool willCollapse, bool willLeave,
                             const std::string& event);
    void showPageAlert();
    bool failureRoad(const NSErrorPtr& error, bool sendReport, const VuderuAdFramePtr& verifyFrame);
    // Ends the pages of this view's web view loaders (the current frame's and the one it
    // replaced): their scripts, timers, loads and frames stop at once. A removed, withdrawn or
    // failed ad runs nothing more.
    void endPages();
    std::string showingFrameId() const;
    CGRect loadingOverlayFrame() const;
    void observeNotifications();
    bool isAppStoreURL(const NSURLPtr& url) const;
    // Cleans the network plugin up for this space and lets it go.
    void dropNetworkPlugin();
    bool displayNetworkFrame(NSErrorPtr* error);
    // Whether the frame is a video the player renders: binding 3, or HTML with a VAST document.
    static bool isVideoFrame(const VuderuAdFramePtr& frame);
    bool fullscreenShowForVideoAd();

    // The full-screen controller and the view state this view hands work to.
    bool fullscreenShowForAd();
    void fullscreenRemoveWindows();
    void fullscreenRemoveExtAdWindow();
    bool fullscreenPresentsController() const;
    std::shared_ptr<UIViewController> fullscreenAdViewController() const;
    void makeViewState();
    bool viewStateExpand(const std::map<std::string, std::string>& params);
    bool viewStateCollapse();

    mutable std::recursive_mutex lock_;
    std::shared_ptr<UIView> parentView_;
    std::shared_ptr<UIViewController> parentViewController_;
    std::string space_;
    std::shared_ptr<std::vector<VuderuAdUnitPtr>> activeAdUnitsList_;
    std::string webviewGuid_;
    std::string currentOrientation_;
    VuderuAdFramePtr adFrame_;
    std::shared_ptr<UIAlertView> alertView_;
    UIViewPtr loadingView_;
    std::shared_ptr<UIActivityIndicatorView> spinner_;
    std::shared_ptr<UITextView> loadingTextView_;
    std::shared_ptr<NSTimer> loadingViewTimer_;
    std::optional<Value::Dictionary> nextAdFrameWithDelayParams_;
    bool refreshTimerPaused_ = true;
    std::int32_t notificationFlag_ = -1;
    bool webViewPrepared_ = false;
    // Read by the ad manager on any thread (which pending ad is ready, which one a removal of its
    // space withdraws) while the view and the manager change them: atomic, one rule for all.
    std::atomic<bool> readyForDisplay_{false};
    std::atomic<bool> displayWhenReady_{false};
    bool adRendered_ = false;
    std::int32_t frameLoadsWithoutPause_ = 0;
    bool isLoadingAdComponents_ = false;
    std::int64_t initialOrientation_ = 0;
    bool appStoreInvoked_ = false;
    bool activelyRespondingToAction_ = false;
    std::shared_ptr<VuderuAdWebViewLoader> webViewLoader_;
    std::shared_ptr<VuderuAdWebViewLoader> previousWebViewLoader_;
    std::shared_ptr<VuderuAdViewState> adViewState_;
    VuderuAdNetworkBasePluginPtr networkPlugin_;
    std::shared_ptr<VuderuVideoPlayer> videoPlayer_;
    std::shared_ptr<VuderuCachedAsset> cachedAsset_;
    NSURLPtr itunesURL_;
};
using VuderuAdPtr = std::shared_ptr<VuderuAd>;

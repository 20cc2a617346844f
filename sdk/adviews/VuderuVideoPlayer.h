#pragma once
// The player of a video ad frame. It plays the video in the view the ad-space view hands it, over
// the platform movie player with the platform's controls off, and draws its own overlay: a centred
// play/pause button, a close control available after the ad's closable time, a more-info button
// shown after three seconds of playback, and the countdown. It reports the video ad's events
// (start, quartiles, click, completion, progress at close) through the event controller with the
// ad-space view as handler, keeps the viewer from skipping past the furthest point reached, and
// tells the view through its connector how the video ended.
//
// One class over three files: VuderuVideoPlayer.cpp (start, the movie player's notifications, the
// end), VuderuVideoPlayerControls.cpp (the overlay and its frames, the loading cover, rotation) and
// VuderuVideoPlayerEvents.cpp (event reports, the one-second check, click-through, close).
//
// The ad-space view owns the player and drops it from the connector callbacks; the player holds the
// view weakly and keeps itself alive until each of its callbacks has returned. Main thread only.

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/media/MPMoviePlayerController.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"
#include "sdk/adviews/IVuderuAdVideoPlayerConnector.h"
#include "sdk/adviews/VuderuCircleCounterView.h"
#include "sdk/ads/IVuderuEventControllerHandler.h"
#include "sdk/ads/VuderuAdFrame.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuVideoPlayer : public NSObject, public UIAlertViewDelegate {
public:
    // Tags and times of the overlay.
    static constexpr long kPlayButtonTag = 10011;
    static constexpr double kOverlayDelay = 0.1;
    static constexpr double kTimerInterval = 1.0;
    static constexpr double kClickThroughAfter = 3.0;
    static constexpr double kStillPictureAt = 5.0;

    // Creates the player and starts observing full screen, rotation and the application's state.
    static std::shared_ptr<VuderuVideoPlayer> init();
    ~VuderuVideoPlayer() override;

    void initializeAssetDictionary(const std::optional<std::map<std::string, std::string>>& dictionary);
    const std::optional<std::string>& clickThruUrl() const { return clickThruUrl_; }
    void setClickThruUrl(std::optional<std::string> url) { clickThruUrl_ = std::move(url); }
    // Starts the video; closableTime in milliseconds.
    void playVideoViewAdClosableTimeAutoPlay(const NSURLPtr& videoURL, const std::shared_ptr<UIView>& view,
                                             const std::shared_ptr<IVuderuAdVideoPlayerConnector>& ad, std::int64_t closableTime,
                                             bool autoPlay);

    // What the ad-space view drives.
    void pauseMovieViaCloseButton();
    void stopMovie();
    void resumeMovie();
    void bringToFocus();
    void showLoadingView();
    void removeLoadingView();

    // The controls' actions and the movie player's notifications.
    void pauseMovie();
    void gotoClickUrl();
    void timerCheck();
    void moviePlaybackDidStart();
    void moviePlayerLoadStateChanged();
    void moviePlayerPlaybackStateChanged();
    void moviePlaybackDidFinish(const std::shared_ptr<NSNotification>& notification);
    void moviePlayerDidEnterFullscreenHandler();
    void exitFullScreen();
    void didRotateToInterfaceOrientation();
    void willEnterForeground();
    void willEnterBackground();

    // The overlay.
    void addOverlayView();
    void removeOverlayView();
    void removeFromSuperView();
    void hidePlayerControls();
    void showAllPlayerControls();
    void updatePlayImage(bool playing);
    void setImageAssets();
    bool checkValidClickThruUrl(const std::optional<std::string>& url) const;
    // Frames for an interface orientation (1 to 4); the button frames also reset the transforms.
    CGRect loadingTimerFrame(long orientation) const;
    CGRect playButtonFrame(long orientation) const;
    CGRect closeViewFrame(long orientation) const;
    CGRect clickThruButtonFrame(long orientation) const;
    CGRect loadingViewFrame(long orientation) const;
    CGRect spinnerFrame(long orientation) const;

    // Reports.
    void notifyVideoDidFullyComplete();
    void notifyVideoDidNotCompleteWithTimeDuration(double time, double duration);

    // State.
    const MPMoviePlayerControllerPtr& player() const { return player_; }
    std::shared_ptr<IVuderuAdVideoPlayerConnector> ad() const { return ad_.lock(); }
    const VuderuAdFramePtr& adFrame() const { return adFrame_; }
    const std::shared_ptr<UIView>& viewContainer() const { return viewContainer_; }
    const std::shared_ptr<UIView>& closeView() const { return closeView_; }
    const std::shared_ptr<UIButton>& closeButton() const { return closeButton_; }
    const std::shared_ptr<UIButton>& playButton() const { return playButton_; }
    const std::shared_ptr<UIButton>& clickThruButton() const { return clickThruButton_; }
    const std::shared_ptr<UIView>& loadingView() const { return loadingView_; }
    const std::shared_ptr<UIActivityIndicatorView>& spinner() const { return spinner_; }
    const std::shared_ptr<VuderuCircleCounterView>& circleView() const { return circleView_; }
    bool playbackStarted() const { return playbackStarted_; }
    double maxPlaybackTimeAllowed() const { return maxPlaybackTimeAllowed_; }
    std::int64_t lastPlaybackState() const { return lastPlaybackState_; }
    std::int64_t closableTime() const { return closableTime_; }
    bool autoPlay() const { return autoPlay_; }
    bool closeButtonCanShowAlways() const { return closeButtonCanShowAlways_; }
    bool clickThruButtonCanShowAlways() const { return clickThruButtonCanShowAlways_; }
    bool clickedURL() const { return clickedURL_; }
    bool waitingCloseConfirm() const { return waitingCloseConfirm_; }
    const std::optional<std::map<std::string, std::string>>& videoControlsAssetDictionary() const { return videoControlsAssetDictionary_; }
    const std::shared_ptr<UILabel>& closeButtonLbl() const { return closeButtonLbl_; }
    void setCloseButtonLbl(std::shared_ptr<UILabel> label) { closeButtonLbl_ = std::move(label); }

    VuderuVideoPlayer() = default;

private:
    // The ad-space view as event handler; nil once it is gone.
    IVuderuEventControllerHandlerPtr handler() const;
    // Runs the event's actions one at a time; the action ids that ran, in order.
    std::vector<std::int32_t> reportEvent(std::int32_t event, Value::Dictionary& params, const char* location);
    bool isPlayingOrSeeking() const;
    void observe(const std::string& name, void (VuderuVideoPlayer::*handler)());
    void observeFinish();
    void stopObservingFinish();
    void stopObservingAll();
    void closeWhileLoading();
    // The interface orientation the overlay is laid out for.
    long layoutOrientation() const;
    std::shared_ptr<UIActivityIndicatorView> makeSpinner(const CGRect& frame) const;
    void layOutCloseView(long orientation);

    MPMoviePlayerControllerPtr player_;
    std::weak_ptr<IVuderuAdVideoPlayerConnector> ad_;
    VuderuAdFramePtr adFrame_;
    std::shared_ptr<UIView> viewContainer_;
    std::shared_ptr<UIView> parentView_;
    std::shared_ptr<UIView> closeView_;
    std::shared_ptr<UIButton> closeButton_;
    std::shared_ptr<UIButton> playButton_;
    std::shared_ptr<UIView> loadingView_;
    std::shared_ptr<UIActivityIndicatorView> spinner_;
    bool playbackStarted_ = false;
    double maxPlaybackTimeAllowed_ = 0;
    std::int64_t lastPlaybackState_ = 0;
    std::shared_ptr<NSTimer> timer_;
    std::int64_t closableTime_ = 0;
    std::shared_ptr<VuderuCircleCounterView> circleView_;
    bool initialVideoFirstQuartile_ = true;
    bool initialVideoMidpoint_ = true;
    bool initialVideoThirdQuartile_ = true;
    bool autoPlay_ = false;
    bool closeButtonCanShowAlways_ = false;
    bool clickThruButtonCanShowAlways_ = false;
    std::shared_ptr<UIButton> clickThruButton_;
    std::optional<std::string> clickThruUrl_;
    bool clickedURL_ = false;
    bool waitingCloseConfirm_ = false;
    std::optional<std::map<std::string, std::string>> videoControlsAssetDictionary_;
    UIImagePtr vidPlayImage_, vidPauseImage_, vidCloseImage_, vidMoreInfoImage_;
    std::shared_ptr<UILabel> closeButtonLbl_;
    bool observingFinish_ = false;
    std::shared_ptr<NSTimer> overlayTimer_;
};
using VuderuVideoPlayerPtr = std::shared_ptr<VuderuVideoPlayer>;

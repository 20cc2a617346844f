#include "sdk/adviews/VuderuVideoPlayer.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "platform/uikit/UIDevice.h"
#include "sdk/ads/VuderuAdEvent.h"
#include "sdk/analytics/VuderuLog.h"

namespace {
// When the last "playing" and "paused" reports came, for every player of the process.
std::optional<double> playStartTimestamp;
std::optional<double> pauseTimestamp;
// How far the movie's position and the clock may disagree.
constexpr double kClockTolerance = 0.01;

long finishReason(const std::shared_ptr<NSNotification>& notification) {
    if (!notification) return -1;
    auto found = notification->userInfo().find(MPMoviePlayerPlaybackDidFinishReasonUserInfoKey);
    return found == notification->userInfo().end() ? -1 : found->second.integerValue(-1);
}
} // namespace

std::shared_ptr<VuderuVideoPlayer> VuderuVideoPlayer::init() {
    auto player = std::make_shared<VuderuVideoPlayer>();
    player->observe(MPMoviePlayerDidEnterFullscreenNotification, &VuderuVideoPlayer::moviePlayerDidEnterFullscreenHandler);
    UIDevice::currentDevice()->beginGeneratingDeviceOrientationNotifications();
    player->observe(UIDeviceOrientationDidChangeNotification, &VuderuVideoPlayer::didRotateToInterfaceOrientation);
    player->observe(UIApplicationWillEnterForegroundNotification, &VuderuVideoPlayer::willEnterForeground);
    player->observe(UIApplicationWillResignActiveNotification, &VuderuVideoPlayer::willEnterBackground);
    return player;
}

VuderuVideoPlayer::~VuderuVideoPlayer() {
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    if (loadingView_ || spinner_) {
        if (spinner_) spinner_->removeFromSuperview();
        if (loadingView_) loadingView_->removeFromSuperview();
    }
    if (playButton_) playButton_->removeFromSuperview();
    if (clickThruButton_) clickThruButton_->removeFromSuperview();
    if (player_) {
        player_->setInitialPlaybackTime(-1);
        player_->stop();
    }
    if (timer_) timer_->invalidate();
    if (overlayTimer_) overlayTimer_->invalidate();
    playStartTimestamp.reset();
    pauseTimestamp.reset();
}

void VuderuVideoPlayer::observe(const std::string& name, void (VuderuVideoPlayer::*handler)()) {
    std::weak_ptr<VuderuVideoPlayer> weak = self<VuderuVideoPlayer>();
    NSNotificationCenter::defaultCenter()->addObserver(weak, name, nullptr, [weak, handler](const std::shared_ptr<NSNotification>& n) {
        auto me = weak.lock();
        // The movie player's notifications concern this player's movie only.
        if (!me || (NSString::hasPrefix(n->name(), "MPMoviePlayer") && n->object().objectAs<MPMoviePlayerController>() != me->player_))
            return;
        ((*me).*handler)();
    });
}

void VuderuVideoPlayer::observeFinish() {
    if (observingFinish_) return;
    observingFinish_ = true;
    std::weak_ptr<VuderuVideoPlayer> weak = self<VuderuVideoPlayer>();
    NSNotificationCenter::defaultCenter()->addObserver(weak, MPMoviePlayerPlaybackDidFinishNotification, nullptr,
                                                       [weak](const std::shared_ptr<NSNotification>& n) {
                                                           auto me = weak.lock();
                                                           if (me && n->object().objectAs<MPMoviePlayerController>() == me->player_)
                                                               me->moviePlaybackDidFinish(n);
                                                       });
}

void VuderuVideoPlayer::stopObservingFinish() {
    observingFinish_ = false;
    NSNotificationCenter::defaultCenter()->removeObserver(this, MPMoviePlayerPlaybackDidFinishNotification, nullptr);
}

void VuderuVideoPlayer::stopObservingAll() {
    observingFinish_ = false;
    NSNotificationCenter::defaultCenter()->removeObserver(this);
}

IVuderuEventControllerHandlerPtr VuderuVideoPlayer::handler() const {
    return std::dynamic_pointer_cast<IVuderuEventControllerHandler>(ad_.lock());
}

void VuderuVideoPlayer::initializeAssetDictionary(const std::optional<std::map<std::string, std::string>>& dictionary) {
    if (dictionary) videoControlsAssetDictionary_ = dictionary;
}

void VuderuVideoPlayer::playVideoViewAdClosableTimeAutoPlay(const NSURLPtr& videoURL, const std::shared_ptr<UIView>& view,
                                                            const std::shared_ptr<IVuderuAdVideoPlayerConnector>& ad,
                                                            std::int64_t closableTime, bool autoPlay) {
    auto eventHandler = std::dynamic_pointer_cast<IVuderuEventControllerHandler>(ad);
    if (!videoURL || !eventHandler) {
        VuderuLog("VuderuVideoPlayer: bad arguments, videoURL %@, ad %@", videoURL ? videoURL->absoluteString() : std::string("(null)"),
                  ad ? std::string("connector") : std::string("(null)"));
        return;
    }
    ad_ = ad;
    adFrame_ = eventHandler->adFrame();
    autoPlay_ = autoPlay;
    viewContainer_ = view;
    showLoadingView();
    playbackStarted_ = false;
    maxPlaybackTimeAllowed_ = 0;
    lastPlaybackState_ = MPMoviePlaybackStateStopped;
    closableTime_ = closableTime >= 1 ? closableTime : 0;
    clickedURL_ = false;
    observeFinish();

    player_ = MPMoviePlayerController::initWithContentURL(videoURL);
    player_->setScalingMode(MPMovieScalingModeAspectFit);
    player_->view()->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    player_->view()->setAutoresizesSubviews(true);
    player_->setControlStyle(MPMovieControlStyleNone);
    if (videoURL->scheme() == "file") player_->setMovieSourceType(MPMovieSourceTypeFile);
    if (view) player_->view()->setFrame(view->bounds());
    player_->prepareToPlay();

    observe(MPMoviePlayerLoadStateDidChangeNotification, &VuderuVideoPlayer::moviePlayerLoadStateChanged);
    observe(MPMoviePlayerPlaybackStateDidChangeNotification, &VuderuVideoPlayer::moviePlayerPlaybackStateChanged);
    setImageAssets();
    std::weak_ptr<VuderuVideoPlayer> weak = self<VuderuVideoPlayer>();
    overlayTimer_ = NSRunLoop::mainRunLoop()->performAfterDelay(kOverlayDelay, [weak] {
        if (auto me = weak.lock()) me->addOverlayView();
    });
}

bool VuderuVideoPlayer::isPlayingOrSeeking() const {
    if (!player_) return false;
    const auto state = player_->playbackState();
    return state == MPMoviePlaybackStatePlaying || state == MPMoviePlaybackStateSeekingForward ||
           state == MPMoviePlaybackStateSeekingBackward;
}

void VuderuVideoPlayer::moviePlayerLoadStateChanged() {
    if (!player_ || player_->loadState() == MPMovieLoadStateUnknown) return;
    auto keep = self<VuderuVideoPlayer>();
    NSNotificationCenter::defaultCenter()->removeObserver(this, MPMoviePlayerLoadStateDidChangeNotification, nullptr);
    removeLoadingView();
    if (viewContainer_) viewContainer_->addSubview(player_->view());
    if (autoPlay_) {
        moviePlaybackDidStart();
        resumeMovie();
    } else {
        player_->pause();
        player_->setCurrentPlaybackTime(kStillPictureAt);
    }
}

void VuderuVideoPlayer::moviePlaybackDidStart() {
    playbackStarted_ = true;
    lastPlaybackState_ = MPMoviePlaybackStatePlaying;
    hidePlayerControls();
    Value::Dictionary params;
    reportEvent(VuderuAdEvent::kVideoStart, params, "moviePlaybackDidStart");
}

void VuderuVideoPlayer::moviePlayerPlaybackStateChanged() {
    if (!player_ || player_->loadState() == MPMovieLoadStateUnknown) return;
    auto keep = self<VuderuVideoPlayer>();
    const double p = player_->currentPlaybackTime();
    double& m = maxPlaybackTimeAllowed_;
    switch (player_->playbackState()) {
    case MPMoviePlaybackStateStopped:
        if (p > m) m = p;
        lastPlaybackState_ = MPMoviePlaybackStateStopped;
        break;
    case MPMoviePlaybackStatePlaying:
        playStartTimestamp = PlatformClock::monotonic();
        if (p > m) player_->setCurrentPlaybackTime(m);
        lastPlaybackState_ = MPMoviePlaybackStatePlaying;
        updatePlayImage(true);
        break;
    case MPMoviePlaybackStatePaused: {
        pauseTimestamp = PlatformClock::monotonic();
        // Before any "playing" report there is no start to measure from: nothing was played.
        const double e = playStartTimestamp ? *pauseTimestamp - *playStartTimestamp : 0;
        if (lastPlaybackState_ == MPMoviePlaybackStateSeekingForward || lastPlaybackState_ == MPMoviePlaybackStateSeekingBackward) {
            if (p > m) player_->setCurrentPlaybackTime(m);
        } else if (p > m && e + kClockTolerance >= p - m) {
            // Played through the whole gap: the position was watched. (A strict comparison missed
            // the pause that follows uninterrupted playback, and the next play went back.)
            m = p;
        }
        NSRunLoop::mainRunLoop()->performBlock([movie = player_] { movie->pause(); });
        updatePlayImage(false);
        break;
    }
    case MPMoviePlaybackStateInterrupted:
        if (p > m) m = p;
        break;
    case MPMoviePlaybackStateSeekingForward:
        if (lastPlaybackState_ != MPMoviePlaybackStateSeekingForward && lastPlaybackState_ != MPMoviePlaybackStateSeekingBackward && p > m)
            m = p;
        player_->setShouldAutoplay(false);
        lastPlaybackState_ = MPMoviePlaybackStateSeekingForward;
        break;
    case MPMoviePlaybackStateSeekingBackward:
        lastPlaybackState_ = MPMoviePlaybackStateSeekingBackward;
        break;
    }
}

void VuderuVideoPlayer::pauseMovie() {
    if (!player_) return;
    auto keep = self<VuderuVideoPlayer>();
    if (isPlayingOrSeeking()) {
        player_->pause();
        return;
    }
    if (player_->loadState() == MPMovieLoadStateUnknown) player_->prepareToPlay();
    if (!playbackStarted_) moviePlaybackDidStart();
    resumeMovie();
}

void VuderuVideoPlayer::resumeMovie() {
    if (!player_) return;
    player_->play();
    observeFinish();
    waitingCloseConfirm_ = false;
    hidePlayerControls();
    if (circleView_) circleView_->setHidden(false);
}

void VuderuVideoPlayer::bringToFocus() {
    if (!playbackStarted_ && !autoPlay_) {
        showAllPlayerControls();
        return;
    }
    removeLoadingView();
    resumeMovie();
}

void VuderuVideoPlayer::stopMovie() {
    auto keep = self<VuderuVideoPlayer>();
    stopObservingFinish();
    if (player_) player_->stop();
    moviePlaybackDidFinish(nullptr);
}

void VuderuVideoPlayer::moviePlaybackDidFinish(const std::shared_ptr<NSNotification>& notification) {
    auto keep = self<VuderuVideoPlayer>();
    const long reason = finishReason(notification);
    // Only an end reached while paused, interrupted or seeking jumps back: a jump to the end does
    // not count as completion. A stop, a user's exit or an error ends the video as it is.
    if (reason == MPMovieFinishReasonPlaybackEnded && lastPlaybackState_ != MPMoviePlaybackStatePlaying &&
        lastPlaybackState_ != MPMoviePlaybackStateStopped) {
        if (player_) player_->setCurrentPlaybackTime(maxPlaybackTimeAllowed_);
        resumeMovie();
        return;
    }
    stopObservingAll();
    if (playbackStarted_) {
        playbackStarted_ = false;
        const double position = player_ ? player_->currentPlaybackTime() : 0;
        const double duration = player_ ? player_->duration() : 0;
        removeFromSuperView();
        if (reason == MPMovieFinishReasonPlaybackEnded) notifyVideoDidFullyComplete();
        else notifyVideoDidNotCompleteWithTimeDuration(position, duration);
        return;
    }
    if (reason != MPMovieFinishReasonPlaybackError) return;
    if (auto connector = ad_.lock()) {
        auto eventHandler = handler();
        connector->videoDidFailToLoad(eventHandler ? eventHandler->space() : std::string());
    }
    auto found = notification->userInfo().find("error");
    auto error = found == notification->userInfo().end() ? nullptr : found->second.objectAs<NSError>();
    if (error) VuderuLog("playback failed with error description: %@", error->localizedDescription());
    else VuderuLog("playback failed without any given reason");
}

void VuderuVideoPlayer::moviePlayerDidEnterFullscreenHandler() {
    if (!player_) return;
    std::weak_ptr<VuderuVideoPlayer> weak = self<VuderuVideoPlayer>();
    NSRunLoop::mainRunLoop()->performAfterDelay(kOverlayDelay, [weak] {
        if (auto me = weak.lock()) me->exitFullScreen();
    });
}

void VuderuVideoPlayer::exitFullScreen() {
    if (player_) player_->setFullscreen(false);
}

void VuderuVideoPlayer::willEnterForeground() {
    if (!player_) return;
    const auto state = player_->playbackState();
    if (state != MPMoviePlaybackStateStopped && state != MPMoviePlaybackStatePaused && state != MPMoviePlaybackStateInterrupted) return;
    VuderuLog("loadState is %ld", static_cast<long>(player_->loadState()));
    VuderuLog("playbackState is %ld", static_cast<long>(state));
    if (player_->loadState() == MPMovieLoadStateUnknown) {
        player_->prepareToPlay();
        return;
    }
    auto connector = ad_.lock();
    if ((!connector || !connector->activelyRespondingToAction()) && !waitingCloseConfirm_) bringToFocus();
}

void VuderuVideoPlayer::willEnterBackground() { VuderuLog("here in background!!"); }

#include "platform/media/MPMoviePlayerController.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/media/MPMovieView.h"
#include "platform/media/VideoFile.h"
#include "platform/uikit/UIApplicationLifeCycle.h"

#include <algorithm>

namespace {
const char* stateName(MPMoviePlaybackState state) {
    static const char* const names[] = {"stopped", "playing", "paused", "interrupted", "seeking forward", "seeking backward"};
    return state >= 0 && state <= MPMoviePlaybackStateSeekingBackward ? names[state] : "unknown";
}
} // namespace

std::shared_ptr<MPMoviePlayerController> MPMoviePlayerController::initWithContentURL(const NSURLPtr& url) {
    auto player = std::make_shared<MPMoviePlayerController>();
    player->url_ = url;
    player->view_ = std::make_shared<MPMovieView>(player);
    std::weak_ptr<MPMoviePlayerController> weak = player;
    NSNotificationCenter::defaultCenter()->addObserver(player, UIApplicationDidEnterBackgroundNotification, nullptr,
                                                       [weak](const std::shared_ptr<NSNotification>&) {
                                                           if (auto p = weak.lock()) p->enteredBackground();
                                                       });
    return player;
}

MPMoviePlayerController::~MPMoviePlayerController() {
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    if (endTimer_) endTimer_->invalidate();
}

std::shared_ptr<UIView> MPMoviePlayerController::view() const { return view_; }

void MPMoviePlayerController::setState(MPMoviePlaybackState state) {
    if (state == state_) return;
    state_ = state;
    ++stateChanges_;
    auto keep = self<MPMoviePlayerController>();
    NSNotificationCenter::defaultCenter()->postNotificationName(MPMoviePlayerPlaybackStateDidChangeNotification, Value(keep));
}

void MPMoviePlayerController::postFinish(MPMovieFinishReason reason, const NSErrorPtr& error) {
    Value::Dictionary info{{MPMoviePlayerPlaybackDidFinishReasonUserInfoKey, Value(static_cast<long>(reason))}};
    if (error) info["error"] = Value(error);
    auto keep = self<MPMoviePlayerController>();
    NSNotificationCenter::defaultCenter()->postNotificationName(MPMoviePlayerPlaybackDidFinishNotification, Value(keep), info);
}

// Position

NSTimeInterval MPMoviePlayerController::currentPlaybackTime() const {
    if (!runningSince_) return position_;
    const double moved = (PlatformClock::monotonic() - *runningSince_) * rate_;
    return std::min(duration_, position_ + std::max(0.0, moved));
}

void MPMoviePlayerController::freezePosition() {
    position_ = currentPlaybackTime();
    runningSince_.reset();
    if (endTimer_) endTimer_->invalidate();
    endTimer_ = nullptr;
}

void MPMoviePlayerController::runPosition() {
    freezePosition();
    runningSince_ = PlatformClock::monotonic();
    scheduleEnd();
}

void MPMoviePlayerController::scheduleEnd() {
    if (endTimer_) endTimer_->invalidate();
    std::weak_ptr<MPMoviePlayerController> weak = self<MPMoviePlayerController>();
    const double left = std::max(0.0, (duration_ - currentPlaybackTime()) / std::max(rate_, 1e-6f));
    endTimer_ = NSTimer::scheduledTimerWithTimeInterval(left, false, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto p = weak.lock()) p->reachEnd();
    });
}

void MPMoviePlayerController::reachEnd() {
    freezePosition();
    position_ = duration_;
    // The state turns stopped quietly: the finish comes first, so that an observer sees how the
    // movie was playing when it ended and may play on from elsewhere.
    state_ = MPMoviePlaybackStateStopped;
    const auto changes = ++stateChanges_;
    auto keep = self<MPMoviePlayerController>();
    postFinish(MPMovieFinishReasonPlaybackEnded);
    if (stateChanges_ == changes)
        NSNotificationCenter::defaultCenter()->postNotificationName(MPMoviePlayerPlaybackStateDidChangeNotification, Value(keep));
}

void MPMoviePlayerController::setCurrentPlaybackTime(NSTimeInterval seconds) {
    const bool running = runningSince_.has_value();
    freezePosition();
    position_ = std::max(0.0, isPreparedToPlay() ? std::min(seconds, duration_) : seconds);
    startOver_ = false;
    if (running) runPosition();
}

float MPMoviePlayerController::currentPlaybackRate() const { return state_ == MPMoviePlaybackStatePlaying ? rate_ : 0; }

void MPMoviePlayerController::setCurrentPlaybackRate(float rate) {
    if (rate <= 0) return pause();
    rate_ = rate;
    if (state_ == MPMoviePlaybackStatePlaying) runPosition();
    else play();
}

// Playback

void MPMoviePlayerController::play() {
    if (!isPreparedToPlay()) {
        playWhenLoaded_ = true;
        prepareToPlay();
        return;
    }
    if (state_ == MPMoviePlaybackStatePlaying) return;
    if (startOver_ || currentPlaybackTime() >= duration_) {
        freezePosition();
        position_ = std::clamp(initialPlaybackTime_, 0.0, duration_);
        startOver_ = false;
    }
    runPosition();
    setState(MPMoviePlaybackStatePlaying);
}

void MPMoviePlayerController::pause() {
    playWhenLoaded_ = false;
    heldBeforeLoad_ = !isPreparedToPlay();
    freezePosition();
    setState(MPMoviePlaybackStatePaused);
}

void MPMoviePlayerController::stop() {
    auto keep = self<MPMoviePlayerController>();
    playWhenLoaded_ = false;
    heldBeforeLoad_ = !isPreparedToPlay();
    freezePosition();
    startOver_ = true;
    setState(MPMoviePlaybackStateStopped);
    postFinish(MPMovieFinishReasonUserExited);
}

void MPMoviePlayerController::enteredBackground() {
    if (state_ == MPMoviePlaybackStatePlaying) pause();
}

bool MPMoviePlayerController::scrubToTime(NSTimeInterval seconds, std::string& error) {
    if (!isPreparedToPlay()) {
        error = "the movie has not loaded yet";
        return false;
    }
    auto keep = self<MPMoviePlayerController>();
    const MPMoviePlaybackState before = state_;
    const double target = std::clamp(seconds, 0.0, duration_);
    freezePosition();
    setState(target > position_ ? MPMoviePlaybackStateSeekingForward : MPMoviePlaybackStateSeekingBackward);
    freezePosition();
    position_ = target;
    startOver_ = false;
    if (target >= duration_) {
        reachEnd();
        return true;
    }
    if (before == MPMoviePlaybackStatePlaying) runPosition();
    setState(before);
    return true;
}

void MPMoviePlayerController::setScalingMode(MPMovieScalingMode mode) {
    scalingMode_ = mode;
    view_->setNeedsDisplay();
}

void MPMoviePlayerController::setFullscreenAnimated(bool fullscreen, bool) {
    if (fullscreen == fullscreen_) return;
    fullscreen_ = fullscreen;
    if (!fullscreen) return;
    auto keep = self<MPMoviePlayerController>();
    NSNotificationCenter::defaultCenter()->postNotificationName(MPMoviePlayerDidEnterFullscreenNotification, Value(keep));
}

std::string MPMoviePlayerController::screenDescription() const {
    std::string name = url_ ? url_->lastPathComponent() : std::string();
    if (name.empty()) name = "movie";
    if (!isPreparedToPlay()) return "movie: " + name + " loading";
    return NSString::stringWithFormat("movie: %@ %.1f s at %.1f s %@", name, duration_, currentPlaybackTime(),
                                      std::string(stateName(state_)));
}

CGImageRef MPMoviePlayerController::currentFrame(int maximumSide) const {
    if (!isPreparedToPlay()) return nullptr;
    return VideoFile::frameOfFile(DeviceRoot::hostPath(devicePath_), currentPlaybackTime(), maximumSide);
}

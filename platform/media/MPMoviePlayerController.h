#pragma once
// The movie player: one movie, from a file URL or from an http(s) URL that is first fetched
// through the URL loader into the device's /tmp. prepareToPlay (or play) starts loading; the load
// state turns from unknown to playable in a later pass of the main loop, once libavformat opens the
// file, and the duration is the file's. While playing, the position follows the platform clock at
// the playback rate.
//
// Notifications go to the default center with the player as object, on the main thread:
// - every change of the playback state (MPMoviePlayerPlaybackStateDidChangeNotification);
// - the load state turning playable (MPMoviePlayerLoadStateDidChangeNotification);
// - the finish (MPMoviePlayerPlaybackDidFinishNotification), with the reason under
//   MPMoviePlayerPlaybackDidFinishReasonUserInfoKey: 0 when the end is reached by playing or by a
//   viewer's scrub, 1 when the fetch fails or the file is not a movie (the NSError under "error"),
//   2 after stop. At the end the state becomes stopped; its notification follows the finish's,
//   unless a finish observer played on.
// - "MPMoviePlayerDidEnterFullscreenNotification" when full screen is turned on.
// A playing movie pauses when the application enters the background. The view draws the frame at
// the position, aspect-fit on black, decoded when drawn; it tells the driver what plays and takes
// the driver's `seek`. Main thread only.

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/UIView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class NSTimer;

enum MPMovieLoadState : unsigned long {
    MPMovieLoadStateUnknown = 0,
    MPMovieLoadStatePlayable = 1 << 0,
    MPMovieLoadStatePlaythroughOK = 1 << 1,
    MPMovieLoadStateStalled = 1 << 2,
};

enum MPMoviePlaybackState : long {
    MPMoviePlaybackStateStopped = 0,
    MPMoviePlaybackStatePlaying = 1,
    MPMoviePlaybackStatePaused = 2,
    MPMoviePlaybackStateInterrupted = 3,
    MPMoviePlaybackStateSeekingForward = 4,
    MPMoviePlaybackStateSeekingBackward = 5,
};

enum MPMovieFinishReason : long {
    MPMovieFinishReasonPlaybackEnded = 0,
    MPMovieFinishReasonPlaybackError = 1,
    MPMovieFinishReasonUserExited = 2,
};

enum MPMovieScalingMode : long {
    MPMovieScalingModeNone = 0,
    MPMovieScalingModeAspectFit = 1,
    MPMovieScalingModeAspectFill = 2,
    MPMovieScalingModeFill = 3,
};

enum MPMovieControlStyle : long {
    MPMovieControlStyleNone = 0,
    MPMovieControlStyleEmbedded = 1,
    MPMovieControlStyleFullscreen = 2,
    MPMovieControlStyleDefault = MPMovieControlStyleEmbedded,
};

enum MPMovieSourceType : long {
    MPMovieSourceTypeUnknown = 0,
    MPMovieSourceTypeFile = 1,
    MPMovieSourceTypeStreaming = 2,
};

inline const std::string MPMoviePlayerPlaybackDidFinishNotification = "MPMoviePlayerPlaybackDidFinishNotification";
inline const std::string MPMoviePlayerLoadStateDidChangeNotification = "MPMoviePlayerLoadStateDidChangeNotification";
inline const std::string MPMoviePlayerPlaybackStateDidChangeNotification = "MPMoviePlayerPlaybackStateDidChangeNotification";
inline const std::string MPMoviePlayerDidEnterFullscreenNotification = "MPMoviePlayerDidEnterFullscreenNotification";
inline const std::string MPMoviePlayerPlaybackDidFinishReasonUserInfoKey = "MPMoviePlayerPlaybackDidFinishReasonUserInfoKey";
// The errors of a movie that cannot be played (the fetch's own error when the fetch failed).
inline const std::string MPMoviePlayerErrorDomain = "MPMoviePlayerErrorDomain";

class MPMoviePlayerController : public NSObject {
public:
    static std::shared_ptr<MPMoviePlayerController> initWithContentURL(const NSURLPtr& url);
    ~MPMoviePlayerController() override;

    const NSURLPtr& contentURL() const { return url_; }
    // The movie's view (made with the player); draws the frame at the position.
    std::shared_ptr<UIView> view() const;

    void prepareToPlay();
    bool isPreparedToPlay() const { return loadState_ != MPMovieLoadStateUnknown; }
    // Before the movie has loaded, play waits for the load (and starts it).
    void play();
    void pause();
    // Ends playback and posts the finish (reason 2); the position stays readable until the next
    // play, which starts over.
    void stop();

    MPMovieLoadState loadState() const { return loadState_; }
    MPMoviePlaybackState playbackState() const { return state_; }
    // Seconds; 0 until the movie has loaded.
    NSTimeInterval duration() const { return duration_; }
    NSTimeInterval currentPlaybackTime() const;
    // Moves the position (clamped to the movie). A playing movie set to its end ends on the next
    // pass of the main loop.
    void setCurrentPlaybackTime(NSTimeInterval seconds);
    // The rate while playing, 0 otherwise; a rate above 0 plays at that rate, 0 pauses.
    float currentPlaybackRate() const;
    void setCurrentPlaybackRate(float rate);
    // Where playback starts once loaded, and after stop; below 0 (the default) for the beginning.
    NSTimeInterval initialPlaybackTime() const { return initialPlaybackTime_; }
    void setInitialPlaybackTime(NSTimeInterval seconds) { initialPlaybackTime_ = seconds; }
    // Whether the movie plays as soon as it has loaded (YES by default), unless paused or
    // stopped before.
    bool shouldAutoplay() const { return shouldAutoplay_; }
    void setShouldAutoplay(bool autoplay) { shouldAutoplay_ = autoplay; }

    MPMovieScalingMode scalingMode() const { return scalingMode_; }
    void setScalingMode(MPMovieScalingMode mode);
    MPMovieControlStyle controlStyle() const { return controlStyle_; }
    void setControlStyle(MPMovieControlStyle style) { controlStyle_ = style; }
    MPMovieSourceType movieSourceType() const { return sourceType_; }
    void setMovieSourceType(MPMovieSourceType type) { sourceType_ = type; }
    bool isFullscreen() const { return fullscreen_; }
    void setFullscreen(bool fullscreen) { setFullscreenAnimated(fullscreen, false); }
    void setFullscreenAnimated(bool fullscreen, bool animated);

    // A viewer's scrub to the time (the driver's `seek`): seeking forward or backward is posted
    // at the old position, the position moves, and then the state the movie had is posted again,
    // or the end is reached. False with the reason when the movie has not loaded.
    bool scrubToTime(NSTimeInterval seconds, std::string& error);
    // "movie: NAME 10.0 s at 3.0 s playing" ("movie: NAME loading" before the load).
    std::string screenDescription() const;
    // The frame at the position, within maximumSide pixels on its longer side; nil before the load.
    CGImageRef currentFrame(int maximumSide) const;

    MPMoviePlayerController() = default;

private:
    void setState(MPMoviePlaybackState state);
    void postFinish(MPMovieFinishReason reason, const NSErrorPtr& error = nullptr);
    // Loading: a local host path to open, or a failure.
    void fetch();
    void open(const std::string& devicePath);
    void fail(const NSErrorPtr& error);
    // The position's clock: frozen, or running from a moment of the platform clock.
    void freezePosition();
    void runPosition();
    void scheduleEnd();
    void reachEnd();
    void enteredBackground();

    NSURLPtr url_;
    std::shared_ptr<UIView> view_;
    std::string devicePath_;
    bool loading_ = false;
    MPMovieLoadState loadState_ = MPMovieLoadStateUnknown;
    MPMoviePlaybackState state_ = MPMoviePlaybackStateStopped;
    NSTimeInterval duration_ = 0;
    // The position: position_ while frozen; position_ plus the time since runningSince_ at rate_.
    NSTimeInterval position_ = 0;
    std::optional<double> runningSince_;
    float rate_ = 1;
    NSTimeInterval initialPlaybackTime_ = -1;
    bool shouldAutoplay_ = true;
    // play() came before the load; pause() or stop() came before it (no autoplay then).
    bool playWhenLoaded_ = false;
    bool heldBeforeLoad_ = false;
    // After stop, the next play starts over.
    bool startOver_ = false;
    MPMovieScalingMode scalingMode_ = MPMovieScalingModeAspectFit;
    MPMovieControlStyle controlStyle_ = MPMovieControlStyleDefault;
    MPMovieSourceType sourceType_ = MPMovieSourceTypeUnknown;
    bool fullscreen_ = false;
    std::shared_ptr<NSTimer> endTimer_;
    std::uint64_t stateChanges_ = 0;
};
using MPMoviePlayerControllerPtr = std::shared_ptr<MPMoviePlayerController>;

// The video player's overlay: countdown, play/pause button, close control and more-info button,
// their frames by orientation and device, the loading cover, and rotation.

#include "sdk/adviews/VuderuVideoPlayer.h"

#include "platform/net/NSURLConnection.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cmath>

namespace {
constexpr long kLandscapeRight = 3;
constexpr long kLandscapeLeft = 4;
constexpr CGFloat kVideoPlayerControlsSpinnerSide = 50;
constexpr CGFloat kSpinnerScale = 2;

bool isLandscape(long orientation) { return orientation == kLandscapeRight || orientation == kLandscapeLeft; }

CGSize screenSize() { return UIScreen::mainScreen()->bounds().size; }

// The control images carry their asset names, so that the screen names the controls by them.
UIImagePtr assetImage(const std::string& name) {
    auto image = VuderuAdUtil::getCorrectImageAsset(name);
    return image ? std::make_shared<UIImage>(image->CGImage(), image->scale(), name) : nullptr;
}

void setAvailable(UIView* view, bool available) {
    if (!view) return;
    view->setHidden(!available);
    view->setUserInteractionEnabled(available);
}
} // namespace

// Frames. On iPad they follow the orientation; elsewhere the overlay is always laid out for
// landscape, on a screen that shows H across and W down.

CGRect VuderuVideoPlayer::loadingTimerFrame(long o) const {
    const CGSize s = screenSize();
    if (!VuderuUtil::isIPad()) return CGRectMake(8, s.width - 38, 30, 30);
    return isLandscape(o) ? CGRectMake(15, s.width - 65, 50, 50) : CGRectMake(15, s.height - 65, 50, 50);
}

CGRect VuderuVideoPlayer::playButtonFrame(long o) const {
    if (playButton_) playButton_->setTransform(CGAffineTransformIdentity);
    const CGSize s = screenSize();
    if (VuderuUtil::isIPad() && !isLandscape(o)) return CGRectMake(s.width / 2 - 50.5, s.height / 2 - 51, 101, 102);
    return CGRectMake(s.height / 2 - 51, s.width / 2 - 50.5, 101, 102);
}

CGRect VuderuVideoPlayer::closeViewFrame(long o) const {
    const CGSize s = screenSize();
    if (!VuderuUtil::isIPad()) return CGRectMake(s.height - 50, 0, 50, 50);
    return isLandscape(o) ? CGRectMake(s.height - 60, 0, 60, 60) : CGRectMake(s.width - 60, 0, 60, 60);
}

CGRect VuderuVideoPlayer::clickThruButtonFrame(long o) const {
    if (clickThruButton_) clickThruButton_->setTransform(CGAffineTransformIdentity);
    const CGSize s = screenSize();
    if (VuderuUtil::isIPad() && !isLandscape(o)) return CGRectMake(s.width - 156, s.height - 56, 141, 41);
    return CGRectMake(s.height - 156, s.width - 56, 141, 41);
}

CGRect VuderuVideoPlayer::loadingViewFrame(long o) const {
    const CGSize s = screenSize();
    if (VuderuUtil::isIPad() && !isLandscape(o)) return CGRectMake(0, 0, s.width, s.height);
    return CGRectMake(0, 0, s.height, s.width);
}

CGRect VuderuVideoPlayer::spinnerFrame(long o) const {
    const CGSize s = screenSize();
    if (VuderuUtil::isIPad() && !isLandscape(o)) return CGRectMake(s.width / 2 - 25, s.height / 2 - 25, 50, 50);
    return CGRectMake(s.height / 2 - 25, s.width / 2 - 25, 50, 50);
}

long VuderuVideoPlayer::layoutOrientation() const {
    if (VuderuUtil::isIPad()) return UIApplication::sharedApplication()->statusBarOrientation();
    return VuderuUtil::canvasInLandscapeRight() ? kLandscapeRight : kLandscapeLeft;
}

void VuderuVideoPlayer::layOutCloseView(long o) {
    closeView_->setFrame(closeViewFrame(o));
    closeButton_->setFrame(VuderuUtil::isIPad() ? CGRectMake(5, 5, 50, 50) : CGRectMake(12.5, 12.5, 25, 25));
}

void VuderuVideoPlayer::setImageAssets() {
    vidPlayImage_ = assetImage("play_button");
    vidPauseImage_ = assetImage("pause_button");
    vidMoreInfoImage_ = assetImage("more_info");
    vidCloseImage_ = assetImage("closeX");
}

bool VuderuVideoPlayer::checkValidClickThruUrl(const std::optional<std::string>& url) const {
    return url && NSURLConnection::canHandleRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(*url)));
}

void VuderuVideoPlayer::addOverlayView() {
    if (!player_) return;
    auto keep = self<VuderuVideoPlayer>();
    auto movieView = player_->view();
    const long o = layoutOrientation();
    auto target = self<VuderuVideoPlayer>();
    circleView_ = std::make_shared<VuderuCircleCounterView>(loadingTimerFrame(o));
    movieView->addSubview(circleView_);
    circleView_->setHidden(!playbackStarted_);

    if (!playButton_) {
        playButton_ = UIButton::buttonWithType(UIButtonTypeCustom);
        playButton_->setBackgroundColor(UIColor::clearColor());
        playButton_->setTag(kPlayButtonTag);
        playButton_->setFrame(playButtonFrame(o));
        playButton_->addTargetActionForControlEvents(target, &VuderuVideoPlayer::pauseMovie, UIControlEventTouchUpInside);
        playButton_->setImageForState(autoPlay_ ? vidPauseImage_ : vidPlayImage_, UIControlStateNormal);
        movieView->addSubview(playButton_);
        if (playbackStarted_ || autoPlay_) hidePlayerControls();
    }

    if (!closeView_) {
        closeView_ = std::make_shared<UIView>();
        closeView_->setBackgroundColor(UIColor::clearColor());
        closeView_->setUserInteractionEnabled(true);
        closeView_->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(target, &VuderuVideoPlayer::pauseMovieViaCloseButton));
        closeButton_ = UIButton::buttonWithType(UIButtonTypeCustom);
        closeButton_->setImageForState(vidCloseImage_, UIControlStateNormal);
        closeButton_->addTargetActionForControlEvents(target, &VuderuVideoPlayer::pauseMovieViaCloseButton, UIControlEventTouchUpInside);
        closeView_->addSubview(closeButton_);
        layOutCloseView(o);
        if (closableTime_ < 1) {
            closeButtonCanShowAlways_ = true;
        } else {
            setAvailable(closeButton_.get(), false);
            setAvailable(closeView_.get(), false);
        }
        movieView->addSubview(closeView_);
    }

    if (checkValidClickThruUrl(clickThruUrl_)) {
        clickThruButton_ = UIButton::buttonWithType(UIButtonTypeCustom);
        clickThruButton_->setImageForState(vidMoreInfoImage_, UIControlStateNormal);
        clickThruButton_->addTargetActionForControlEvents(target, &VuderuVideoPlayer::gotoClickUrl, UIControlEventTouchUpInside);
        clickThruButton_->setFrame(clickThruButtonFrame(o));
        clickThruButton_->setHidden(true);
        movieView->addSubview(clickThruButton_);
    }

    timerCheck();
    std::weak_ptr<VuderuVideoPlayer> weak = keep;
    if (timer_) timer_->invalidate();
    timer_ = NSTimer::scheduledTimerWithTimeInterval(kTimerInterval, true, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto me = weak.lock()) me->timerCheck();
    });
}

void VuderuVideoPlayer::removeOverlayView() {
    if (playButton_) playButton_->removeFromSuperview();
    if (clickThruButton_) clickThruButton_->removeFromSuperview();
}

void VuderuVideoPlayer::removeFromSuperView() {
    removeOverlayView();
    if (player_) player_->view()->removeFromSuperview();
    if (viewContainer_) viewContainer_->removeFromSuperview();
}

void VuderuVideoPlayer::hidePlayerControls() {
    if (playButton_) {
        playButton_->setAlpha(0);
        playButton_->setHidden(true);
    }
    if (clickThruButton_ && !clickThruButtonCanShowAlways_) clickThruButton_->setHidden(true);
}

void VuderuVideoPlayer::showAllPlayerControls() {
    if (playButton_ && (!playbackStarted_ || (player_ && player_->playbackState() == MPMoviePlaybackStatePaused))) {
        playButton_->setAlpha(1);
        playButton_->setHidden(false);
    }
    if (clickThruButton_ && playbackStarted_) clickThruButton_->setHidden(false);
}

void VuderuVideoPlayer::updatePlayImage(bool playing) {
    if (playButton_) playButton_->setImageForState(playing ? vidPauseImage_ : vidPlayImage_, UIControlStateNormal);
}

// The loading cover.

std::shared_ptr<UIActivityIndicatorView> VuderuVideoPlayer::makeSpinner(const CGRect& frame) const {
    // The white indicator, drawn twice its size.
    auto spinner = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhite);
    spinner->setFrame(frame);
    spinner->setTransform(CGAffineTransformMakeScale(kSpinnerScale, kSpinnerScale));
    return spinner;
}

void VuderuVideoPlayer::showLoadingView() {
    if (loadingView_) return;
    const CGRect container = viewContainer_ ? viewContainer_->frame() : CGRectZero;
    spinner_ = makeSpinner(CGRectMake(std::round((container.size.width - kVideoPlayerControlsSpinnerSide) / 2),
                                      std::round((container.size.height - kVideoPlayerControlsSpinnerSide) / 2), kVideoPlayerControlsSpinnerSide, kVideoPlayerControlsSpinnerSide));
    std::optional<std::string> orientation;
    if (!VuderuUtil::isIPad())
        orientation = VuderuUtil::canvasInLandscape()
                          ? VuderuUtil::getOrientationStrFromInterfaceOrientation(VuderuUtil::canvasInLandscapeRight() ? kLandscapeRight : kLandscapeLeft)
                          : std::optional<std::string>("landscapeRight");
    loadingView_ = std::make_shared<UIView>(VuderuUtil::screenBounds(orientation));
    loadingView_->setBackgroundColor(UIColor::colorWithRed(0, 0, 0, 1));
    if (viewContainer_) loadingView_->setCenter(viewContainer_->center());
    spinner_->setCenter(loadingView_->center());
    if (viewContainer_) viewContainer_->addSubview(loadingView_);
    loadingView_->addSubview(spinner_);
    spinner_->startAnimating();
}

void VuderuVideoPlayer::removeLoadingView() {
    if (spinner_) {
        spinner_->removeFromSuperview();
        spinner_->stopAnimating();
        spinner_ = nullptr;
    }
    if (loadingView_) {
        loadingView_->removeFromSuperview();
        loadingView_ = nullptr;
    }
}

void VuderuVideoPlayer::didRotateToInterfaceOrientation() {
    const long o = UIApplication::sharedApplication()->statusBarOrientation();
    if (!VuderuUtil::isIPad() && !isLandscape(o)) return;
    if (closeView_) layOutCloseView(o);
    VuderuLog("Rotating Close View");
    if (playButton_) playButton_->setFrame(playButtonFrame(o));
    VuderuLog("Rotating Play Button");
    if (circleView_) {
        circleView_->setFrame(loadingTimerFrame(o));
        circleView_->setNeedsDisplay();
    }
    VuderuLog("Rotating Timer View");
    if (spinner_) {
        if (circleView_) circleView_->setHidden(true);
        if (clickThruButton_) clickThruButton_->setHidden(true);
    }
    if (clickThruButton_) clickThruButton_->setFrame(clickThruButtonFrame(o));
    VuderuLog("Rotating Clickthru View");
    if (loadingView_) {
        loadingView_->setFrame(loadingViewFrame(o));
        VuderuLog("Rotating loading View");
    }
    if (spinner_) {
        spinner_->setFrame(spinnerFrame(o));
        VuderuLog("Rotating Spinner View");
    }
}

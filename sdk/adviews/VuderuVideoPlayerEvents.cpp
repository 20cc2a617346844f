// The video player's ad events: reporting through the event controller, the one-second check
// (countdown, more-info button, quartiles, close control), click-through, close and the end reports.

#include "sdk/adviews/VuderuVideoPlayer.h"

#include "sdk/ads/VuderuAdAction.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuEventController.h"
#include "sdk/analytics/VuderuLog.h"

#include <algorithm>
#include <cmath>

namespace {
// Events of a video ad, by their numbers in the event vocabulary.
constexpr std::int32_t kVideoProgressed = 10;
constexpr std::int32_t kLoadingVideoClosed = 29;
constexpr std::int32_t kVideoFirstQuartile = 30;
constexpr std::int32_t kVideoMidpoint = 31;
constexpr std::int32_t kVideoThirdQuartile = 32;
constexpr std::int32_t kVideoClicked = 33;
// Older systems keep the video's view in place differently when it closes.
constexpr int kSystemVersionRemovesFromSuperview = 30200;

bool ran(const std::vector<std::int32_t>& actions, std::initializer_list<std::int32_t> any) {
    return std::any_of(actions.begin(), actions.end(), [&](std::int32_t a) { return std::find(any.begin(), any.end(), a) != any.end(); });
}
} // namespace

std::vector<std::int32_t> VuderuVideoPlayer::reportEvent(std::int32_t event, Value::Dictionary& params, const char* location) {
    auto keep = self<VuderuVideoPlayer>();
    const std::string& name = VuderuAdEvent::adEventEnumToString(event);
    VuderuUtil::incrementCounterLocationName(name, location);
    std::vector<std::int32_t> actions;
    auto eventHandler = handler();
    if (!eventHandler) return actions;
    auto controller = std::make_shared<VuderuEventController>();
    std::int32_t action = 0;
    while (controller->processEventForEventHandlerCurrentFrameWithResultActionParams(name, eventHandler, adFrame_, &action, params)) {
        actions.push_back(action);
        auto status = params.find("status");
        VuderuLog("Result Action %@ with Param Status %@ with Params %@", VuderuAdAction::adActionEnumToString(action),
                  status == params.end() ? Value() : status->second, Value(params));
    }
    return actions;
}

void VuderuVideoPlayer::timerCheck() {
    if (!player_ || player_->currentPlaybackRate() <= 0) return;
    auto keep = self<VuderuVideoPlayer>();
    const double duration = player_->duration();
    const float position = static_cast<float>(player_->currentPlaybackTime());
    if (circleView_)
        circleView_->upgradeGraphics(static_cast<std::int32_t>(std::trunc(duration)), static_cast<float>(duration - player_->currentPlaybackTime()));
    if (clickThruButton_ && position > kClickThroughAfter && !clickThruButtonCanShowAlways_) {
        clickThruButton_->setHidden(false);
        clickThruButtonCanShowAlways_ = true;
    }
    const float ratio = position / static_cast<float>(duration);
    // One tick can pass several quartiles; they share one parameter dictionary.
    Value::Dictionary params;
    struct Quartile {
        float at;
        bool VuderuVideoPlayer::*pending;
        const char* log;
        std::int32_t event;
    };
    static const Quartile quartiles[] = {
        {0.25f, &VuderuVideoPlayer::initialVideoFirstQuartile_, "First Quartile Hit: %f", kVideoFirstQuartile},
        {0.5f, &VuderuVideoPlayer::initialVideoMidpoint_, "Midpoint Hit: %f", kVideoMidpoint},
        {0.75f, &VuderuVideoPlayer::initialVideoThirdQuartile_, "Third Quartile Hit: %f", kVideoThirdQuartile},
    };
    for (const auto& q : quartiles) {
        if (ratio < q.at || !(this->*q.pending)) continue;
        this->*q.pending = false;
        VuderuLog(q.log, static_cast<double>(ratio));
        reportEvent(q.event, params, "timerCheck:");
        if (!player_) return;
    }
    if (position > static_cast<float>(closableTime_ / 1000) && !closeButtonCanShowAlways_) {
        VuderuLog("have hit correct playback time to show the close button: %f", static_cast<double>(position));
        closeButtonCanShowAlways_ = true;
        for (UIView* part : {static_cast<UIView*>(closeButton_.get()), closeView_.get()}) {
            if (!part) continue;
            part->setHidden(false);
            part->setUserInteractionEnabled(true);
        }
    }
}

void VuderuVideoPlayer::gotoClickUrl() {
    auto keep = self<VuderuVideoPlayer>();
    VuderuLog("Click Through URL label hit");
    if (isPlayingOrSeeking()) pauseMovie();
    // The ad responds to the click from here on; the click's own actions may finish that at once
    // (a URL handed to another app), so this comes before they run and must not undo them.
    auto connector = ad_.lock();
    if (connector) connector->setActivelyRespondingToAction(true);
    stopObservingFinish();
    showLoadingView();
    Value::Dictionary params{{"url", Value(clickThruUrl_.value_or(std::string()))}};
    if (clickedURL_) params["vasturlclicked"] = Value("YES");
    reportEvent(kVideoClicked, params, "gotoClickUrl");
    if (!clickedURL_) {
        if (connector) connector->processClick();
        clickedURL_ = true;
    }
}

void VuderuVideoPlayer::pauseMovieViaCloseButton() {
    auto keep = self<VuderuVideoPlayer>();
    if (!playbackStarted_) return closeWhileLoading();
    if (isPlayingOrSeeking()) pauseMovie();
    Value::Dictionary params;
    auto actions = reportEvent(VuderuAdEvent::kAdWillClose, params, "pauseMovieViaCloseButton");
    if (ran(actions, {VuderuAdAction::kNotifyUser})) {
        // The user is asked to confirm; the ad resumes the video when the answer is no.
        waitingCloseConfirm_ = true;
        return;
    }
    stopMovie();
}

void VuderuVideoPlayer::closeWhileLoading() {
    stopObservingAll();
    removeLoadingView();
    Value::Dictionary params;
    auto actions = reportEvent(kLoadingVideoClosed, params, "pauseMovieViaCloseButton");
    auto callback = params.find("callback");
    const bool collapse = ran(actions, {VuderuAdAction::kNextAdUnit}) && callback != params.end() && callback->second.stringValue() == "willCollapse";
    reportEvent(VuderuAdEvent::kAdClosed, params, "pauseMovieViaCloseButton");
    if (player_) player_->stop();
    auto connector = ad_.lock();
    auto eventHandler = handler();
    if (VuderuUtil::getSystemVersionAsAnInteger() >= kSystemVersionRemovesFromSuperview) {
        removeFromSuperView();
    } else if (eventHandler && !eventHandler->isShownModallyForViewController() && viewContainer_ && parentView_) {
        if (auto superview = viewContainer_->superview()) parentView_->addSubview(superview);
        parentView_ = nullptr;
    }
    player_ = nullptr;
    moviePlaybackDidFinish(nullptr);
    if (!connector) return;
    const std::string space = eventHandler ? eventHandler->space() : std::string();
    auto delegate = VuderuAds::getAdDelegate();
    if (collapse && delegate) delegate->spaceWillCollapse(space);
    connector->removeTakeoverWindows();
    if (collapse && (delegate = VuderuAds::getAdDelegate())) delegate->spaceDidCollapse(space);
}

void VuderuVideoPlayer::notifyVideoDidFullyComplete() {
    auto keep = self<VuderuVideoPlayer>();
    VuderuLog("notifyVideoDidFullyComplete");
    Value::Dictionary params;
    auto actions = reportEvent(VuderuAdEvent::kVideoCompleted, params, "notifyVideoDidFullyComplete");
    const bool handled = ran(actions, {VuderuAdAction::kNextFrame, VuderuAdAction::kNextAdUnit, VuderuAdAction::kCloseAd});
    auto connector = ad_.lock();
    auto eventHandler = handler();
    if (!connector) return;
    connector->videoDidFinish(eventHandler ? eventHandler->space() : std::string());
    if (handled) return;
    VuderuLog("%s: video complete not addressed, closing ad", std::string("notifyVideoDidFullyComplete"));
    connector->removeTakeoverWindows();
}

void VuderuVideoPlayer::notifyVideoDidNotCompleteWithTimeDuration(double time, double duration) {
    auto keep = self<VuderuVideoPlayer>();
    VuderuLog("notifyVideoDidNotComplete");
    Value::Dictionary params{{"stopTime", Value(time)}, {"duration", Value(duration)}};
    auto actions = reportEvent(kVideoProgressed, params, "notifyVideoDidNotCompleteWithTime:duration:");
    const bool handled = ran(actions, {VuderuAdAction::kNextFrame, VuderuAdAction::kNextAdUnit, VuderuAdAction::kCloseAd});
    auto connector = ad_.lock();
    auto eventHandler = handler();
    if (!connector) return;
    connector->videoDidNotFinish(eventHandler ? eventHandler->space() : std::string());
    if (handled) return;
    VuderuLog("%s: video did not complete not addressed, closing ad", std::string("notifyVideoDidNotCompleteWithTime:duration:"));
    connector->removeTakeoverWindows();
}

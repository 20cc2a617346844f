#include "controls/progress/PBProgressIndicator.h"

#include "platform/dispatch/dispatch.h"
#include "platform/media/AVSpeechSynthesizer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"


namespace {
constexpr CGFloat kLabelTop = 14;
constexpr CGFloat kLabelHeight = 50;
constexpr const char* kLabelFont = "HelveticaNeue-Thin";
constexpr CGFloat kLabelFontSize = 20;
constexpr const char* kInitialMessage = "Loading...";
// The track's light blue.
constexpr double kTrackRed = 0.53, kTrackGreen = 0.82, kTrackBlue = 1.0;

// Progress values from 0 up to (not including) this are taken.
constexpr double kProgressLimit = 1.1;
constexpr double kProgressDuration = 0.5;
constexpr double kProgressDamping = 0.8;
constexpr double kSlideDamping = 0.7;
constexpr double kSpringVelocity = 1.0;

// The flash: the hide starts this long after the request; the coloured bar comes in this long
// after the hide starts, and the last hide takes as long before the bar turns white again.
constexpr double kFlashDelay = 0.3;
constexpr double kFlashStep = 0.5;
constexpr float kFlashSlide = 0.5f;

constexpr const char* kSpeechLanguage = "en-US";
constexpr float kSpeechRate = 0.3f;

std::int64_t nanoseconds(double seconds) { return static_cast<std::int64_t>(seconds * NSEC_PER_SEC); }

void afterOnMain(double seconds, dispatch_block_t block) {
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, nanoseconds(seconds)), dispatch_get_main_queue(), std::move(block));
}
} // namespace

PBProgressIndicator::PBProgressIndicator()
    : UIView(CGRectMake(0, -kBarHeight, UIScreen::mainScreen()->bounds().size.width, kBarHeight)) {
    setBackgroundColor(UIColor::whiteColor());

    progressTrack_ = std::make_shared<UIView>(CGRectMake(0, 0, 0, kBarHeight));
    progressTrack_->setBackgroundColor(UIColor::colorWithRed(kTrackRed, kTrackGreen, kTrackBlue, 1.0));

    titleLabel_ = std::make_shared<UILabel>(CGRectMake(0, kLabelTop, frame().size.width, kLabelHeight));
    titleLabel_->setBackgroundColor(UIColor::clearColor());
    titleLabel_->setTextColor(UIColor::blackColor());
    titleLabel_->setTextAlignment(NSTextAlignmentCenter);
    titleLabel_->setFont(UIFont::fontWithNameSize(kLabelFont, kLabelFontSize));
    titleLabel_->setText(kInitialMessage);
}

PBProgressIndicatorPtr PBProgressIndicator::init() {
    auto bar = std::make_shared<PBProgressIndicator>();
    // The track first, so that it lies behind the message.
    bar->addSubview(bar->progressTrack_);
    bar->addSubview(bar->titleLabel_);
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (window && !window->subviews().empty()) window->subviews().front()->addSubview(bar);
    return bar;
}

PBProgressIndicatorPtr PBProgressIndicator::sharedIndicator() {
    static dispatch_once_t once;
    static PBProgressIndicatorPtr shared;
    dispatch_once(&once, [] { shared = init(); });
    return shared;
}

void PBProgressIndicator::show() {
    auto bar = sharedIndicator();
    if (CGRectGetMinY(bar->frame()) != 0) bar->setTopLocationValue(0);
}

void PBProgressIndicator::dismiss() { sharedIndicator()->dismissAnimated(true); }

void PBProgressIndicator::dismissWithoutAnimation() { sharedIndicator()->dismissAnimated(false); }

void PBProgressIndicator::updateMessageType(const std::string& message, std::int64_t type) {
    dispatch_async(dispatch_get_main_queue(), [message, type] {
        if (type == PBMessageTypeDisplay || type == PBMessageTypeDisplayAndSpeak) sharedIndicator()->updateMessageValue(message);
        if (type == PBMessageTypeSpeak || type == PBMessageTypeDisplayAndSpeak) speakMessage(message);
    });
}

void PBProgressIndicator::showErrorMessage(const std::string& message) {
    sharedIndicator()->showWithColorDurationMessage(UIColor::redColor(), kFlashDuration, message);
}

void PBProgressIndicator::showSuccessMessage(const std::string& message) {
    sharedIndicator()->showWithColorDurationMessage(UIColor::greenColor(), kFlashDuration, message);
}

void PBProgressIndicator::speakMessage(const std::string& message) {
    // One synthesizer for the process, made by the first message to speak; a local static, so that
    // callers on two threads cannot make two.
    static const auto synthesizer = std::make_shared<AVSpeechSynthesizer>();
    auto utterance = AVSpeechUtterance::speechUtteranceWithString(message);
    utterance->setVoice(AVSpeechSynthesisVoice::voiceWithLanguage(kSpeechLanguage));
    utterance->setRate(kSpeechRate);
    synthesizer->speakUtterance(utterance);
}

void PBProgressIndicator::dismissAnimated(bool animated) {
    if (CGRectGetMinY(frame()) == -kBarHeight) return;
    if (animated) {
        updateProgressValue(0);
        setTopLocationValueWithDuration(-kBarHeight, kSlideDuration);
    } else {
        // The track goes at once; the accepted progress stays as it was.
        progressTrack_->setFrame(CGRectMake(0, 0, 0, frame().size.height));
        setTopLocationValueWithDuration(-kBarHeight, 0);
    }
}

void PBProgressIndicator::setTopLocationValueWithDuration(float y, float duration) {
    auto me = self<PBProgressIndicator>();
    UIView::animateWithDuration(
        duration, 0, kSlideDamping, kSpringVelocity, UIViewAnimationOptionCurveEaseOut,
        [me, y] {
            auto size = me->bounds().size;
            me->setFrame(CGRectMake(0, y, size.width, size.height));
        },
        nullptr);
}

void PBProgressIndicator::updateProgressValue(float progress) {
    // Written so that not-a-number fails the test too.
    if (!(progress >= 0 && progress < kProgressLimit)) return;
    progress_ = progress;
    const float width = static_cast<float>(frame().size.width) * progress;
    auto me = self<PBProgressIndicator>();
    UIView::animateWithDuration(
        kProgressDuration, 0, kProgressDamping, kSpringVelocity, UIViewAnimationOptionCurveEaseInOut,
        [me, width] { me->progressTrack_->setFrame(CGRectMake(0, 0, width, me->bounds().size.height)); }, nullptr);
}

void PBProgressIndicator::updateMessageValue(const std::string& message) {
    dispatch_async(dispatch_get_main_queue(), [label = titleLabel_, message] { label->setText(message); });
}

void PBProgressIndicator::showWithColorDurationMessage(UIColorPtr color, float duration, const std::string& message) {
    // Tested and set in one step: of requests racing on several threads only one gets the flash.
    if (lock_.exchange(true)) return;
    afterOnMain(kFlashDelay, [me = self<PBProgressIndicator>(), color = std::move(color), duration, message] {
        me->flashHide(color, duration, message);
    });
}

void PBProgressIndicator::flashHide(UIColorPtr color, float duration, std::string message) {
    setTopLocationValueWithDuration(-kBarHeight, kFlashSlide);
    auto me = self<PBProgressIndicator>();
    afterOnMain(kFlashStep, [me, color, message] { me->flashReveal(color, message); });
    afterOnMain(static_cast<double>(duration) + kFlashStep, [me] {
        me->setTopLocationValueWithDuration(-kBarHeight, kFlashSlide);
        afterOnMain(kFlashStep, [me] { me->flashEnd(); });
    });
}

void PBProgressIndicator::flashReveal(const UIColorPtr& color, const std::string& message) {
    updateProgressValue(0);
    setTopLocationValueWithDuration(0, kFlashSlide);
    setBackgroundColor(color);
    updateMessageValue(message);
}

void PBProgressIndicator::flashEnd() {
    setBackgroundColor(UIColor::whiteColor());
    lock_.store(false);
}

void PBProgressIndicator::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    if (CGRectGetMaxY(frame()) > 0) screen.addLine("progress: " + UIScreenDescription::quoted(titleLabel_->text()));
}

#pragma once
// The app's progress bar: a white strip 64 points high, as wide as the screen, that slides down
// over the top of the key window's content with a one-line message and a light blue track behind
// it whose width shows the progress, and that flashes a coloured message (an error in red, a
// success in green) for about two seconds. One instance per process, made on first use and
// attached to the first subview of the key window; the app drives it through the class methods.
//
// Threads: view work belongs to the main thread. Messages (and their speech) always hop to the
// main queue, so updateMessage may be called from anywhere; show, dismiss and updateProgress act
// on the calling thread. A flash request may come from any thread: the flash's lock is taken in
// one atomic step, so of two requests racing only one starts a flash.

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class PBProgressIndicator;
using PBProgressIndicatorPtr = std::shared_ptr<PBProgressIndicator>;

// What updateMessage:type: does with a message; other values do nothing.
enum PBMessageType : std::int64_t {
    PBMessageTypeDisplay = 0,
    PBMessageTypeSpeak = 1,
    PBMessageTypeDisplayAndSpeak = 2,
};

class PBProgressIndicator : public UIView {
public:
    // The bar's height; its top lies at -kBarHeight while hidden and at 0 while shown.
    static constexpr CGFloat kBarHeight = 64;
    static constexpr float kSlideDuration = 0.4f;
    static constexpr float kFlashDuration = 2.0f;

    // The bar hidden above the top edge, as wide as the main screen is now, attached to the key
    // window's first subview (to nothing when that window has none).
    static PBProgressIndicatorPtr init();

    // The class's face.
    static PBProgressIndicatorPtr sharedIndicator();
    static void show();
    static void dismiss();
    static void dismissWithoutAnimation();
    static void updateProgress(float progress) { sharedIndicator()->updateProgressValue(progress); }
    static void updateMessage(const std::string& message) { updateMessageType(message, PBMessageTypeDisplay); }
    static void updateMessageType(const std::string& message, std::int64_t type);
    static void showErrorMessage(const std::string& message);
    static void showSuccessMessage(const std::string& message);
    static void speakMessage(const std::string& message);

    // Hides the bar: animated, the track shrinks and the bar slides up; otherwise both at once.
    // Nothing happens when the bar is already hidden.
    void dismissAnimated(bool animated);
    void setTopLocationValue(float y) { setTopLocationValueWithDuration(y, kSlideDuration); }
    // A spring slide of the bar's top edge to y; a duration of 0 moves it at once.
    void setTopLocationValueWithDuration(float y, float duration);
    // Accepts 0 <= progress < 1.1 (beyond 1 the track is wider than the bar); anything else,
    // not-a-number included, changes nothing.
    void updateProgressValue(float progress);
    // Sets the message on the main queue.
    void updateMessageValue(const std::string& message);
    // Hides the bar, shows it again in the colour with the message for `duration` seconds, hides
    // it and turns it white again. A request while a flash is under way is dropped.
    void showWithColorDurationMessage(UIColorPtr color, float duration, const std::string& message);
    void updateTrackColor(UIColorPtr color) { progressTrack_->setBackgroundColor(std::move(color)); }

    float progress() const { return progress_; }
    const std::shared_ptr<UIView>& progressTrack() const { return progressTrack_; }
    const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }
    bool isFlashing() const { return lock_.load(); }

    // While any of it is on screen its line reads `progress: "message"`.
    void describeToScreen(UIScreenDescription& screen) override;

    PBProgressIndicator();

private:
    // The steps of a flash after the request, each on the main queue.
    void flashHide(UIColorPtr color, float duration, std::string message);
    void flashReveal(const UIColorPtr& color, const std::string& message);
    void flashEnd();

    float progress_ = 0;
    std::shared_ptr<UIView> progressTrack_;
    std::shared_ptr<UILabel> titleLabel_;
    std::atomic<bool> lock_{false};
};

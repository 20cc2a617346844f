#pragma once
// The round countdown over a playing video ad: a ring that loses one segment per whole second
// played and, inside it, the seconds left. The player hands it the video's whole seconds and the
// seconds left on every tick (upgradeGraphics). No ring is drawn before the first update, and no
// number once the seconds left read "0". The screen text shows "countdown: N" while a number shows.

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIView.h"

#include <cstdint>
#include <string>

class VuderuCircleCounterView : public UIView {
public:
    explicit VuderuCircleCounterView(const CGRect& frame);
    // Sets the defaults (white ring and number, Helvetica, the device's ring width).
    void setup();

    // Whole seconds of the video (nothing happens for 0 or less) and the seconds left.
    void upgradeGraphics(std::int32_t totalSeconds, float secondsLeft);
    // first: the full ring; else end: the last segment; then redraw.
    void update(bool first, bool end);

    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }
    void describeToScreen(UIScreenDescription& screen) override;

    float circleTimeInterval() const { return circleTimeInterval_; }
    void setCircleTimeInterval(float interval) { circleTimeInterval_ = interval; }
    const UIColorPtr& numberColor() const { return numberColor_; }
    void setNumberColor(UIColorPtr color) { numberColor_ = std::move(color); }
    const UIFontPtr& numberFont() const { return numberFont_; }
    void setNumberFont(UIFontPtr font) { numberFont_ = std::move(font); }
    const UIColorPtr& circleColor() const { return circleColor_; }
    void setCircleColor(UIColorPtr color) { circleColor_ = std::move(color); }
    double circleBorderWidth() const { return circleBorderWidth_; }
    void setCircleBorderWidth(double width) { circleBorderWidth_ = width; }
    const std::string& timeFormatString() const { return timeFormatString_; }
    void setTimeFormatString(std::string format) { timeFormatString_ = std::move(format); }
    bool circleIncre() const { return circleIncre_; }
    void setCircleIncre(bool increasing) { circleIncre_ = increasing; }

    // The ring's state, as drawn.
    std::int32_t circleTotalSegs() const { return circleTotalSegs_; }
    std::int32_t circleSegs() const { return circleSegs_; }
    float timeInSeconds() const { return mTimeInSeconds_; }
    // The number as it is drawn; empty when none is.
    std::string numberText() const;

private:
    float circleTimeInterval_ = 1.0f;
    UIColorPtr numberColor_;
    UIFontPtr numberFont_;
    UIColorPtr circleColor_;
    double circleBorderWidth_ = 3.0;
    float mTimeInSeconds_ = 0;
    std::string timeFormatString_;
    std::int32_t circleTotalSegs_ = 0;
    std::int32_t circleSegs_ = 0;
    bool circleIncre_ = false;
};

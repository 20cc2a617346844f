#pragma once
// The pieces the system's sheets are drawn from (the activity sheet, the compose sheets, the
// document menu): the dimmed screen, rounded panels, one-line texts and the bar at their top.

#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIColor.h"

#include <string>

namespace UISheetDrawing {
// The system's blue for what can be pressed, the grey of secondary text and of hairlines.
UIColorPtr buttonColor();
UIColorPtr secondaryTextColor();
UIColorPtr hairlineColor();
// The panel white of sheets and alerts.
UIColorPtr panelColor();

// Black at the system's dimming opacity over the rectangle.
void dim(const CGRect& rect);
void fillRoundedRect(const CGRect& rect, CGFloat radius, const UIColorPtr& color);
// A line of text in the rectangle, centred vertically, cut with an ellipsis where it is too long.
void drawLine(const std::string& text, const CGRect& rect, const UIFontPtr& font, const UIColorPtr& color,
              NSTextAlignment alignment);
// Text broken into lines from the top of the rectangle down (cut at its foot).
void drawParagraph(const std::string& text, const CGRect& rect, const UIFontPtr& font, const UIColorPtr& color);
// A bar of the given height ending at `bottom`: its background, a hairline under it, a title in
// bold and a button at each end (either may be empty; `boldRight` sets the right one in bold).
void drawBar(const CGRect& rect, const std::string& left, const std::string& title, const std::string& right, bool boldRight);
} // namespace UISheetDrawing

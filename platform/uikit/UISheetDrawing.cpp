#include "platform/uikit/UISheetDrawing.h"

#include "platform/uikit/UIBezierPath.h"
#include "platform/uikit/UIGraphics.h"

namespace {
constexpr CGFloat kDimAlpha = 0.4;
constexpr CGFloat kBarGrey = 247 / 255.0;
constexpr CGFloat kBarEdge = 8;
constexpr CGFloat kBarFontSize = 17;
} // namespace

namespace UISheetDrawing {
UIColorPtr buttonColor() { return UIColor::colorWithRed(0, 122 / 255.0, 1, 1); }
UIColorPtr secondaryTextColor() { return UIColor::colorWithWhite(142 / 255.0, 1); }
UIColorPtr hairlineColor() { return UIColor::colorWithWhite(200 / 255.0, 1); }
UIColorPtr panelColor() { return UIColor::colorWithWhite(0.97, 1); }

void dim(const CGRect& rect) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) return;
    c->setFillColor(0, 0, 0, kDimAlpha);
    c->fillRect(rect);
}

void fillRoundedRect(const CGRect& rect, CGFloat radius, const UIColorPtr& color) {
    color->setFill();
    UIBezierPath::bezierPathWithRoundedRect(rect, radius)->fill();
}

void drawLine(const std::string& text, const CGRect& rect, const UIFontPtr& font, const UIColorPtr& color,
              NSTextAlignment alignment) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c || text.empty()) return;
    c->saveGState();
    c->setFillColor(color->red(), color->green(), color->blue(), color->alpha());
    c->drawText(text, UIFontTextStyle(font, alignment, 1), rect);
    c->restoreGState();
}

void drawParagraph(const std::string& text, const CGRect& rect, const UIFontPtr& font, const UIColorPtr& color) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c || text.empty()) return;
    NSStringAttributes attributes{font, color, NSTextAlignmentLeft};
    CGFloat h = NSStringBoundingRectWithSize(text, rect.size, NSStringDrawingUsesLineFragmentOrigin, attributes).size.height;
    c->saveGState();
    c->clipToRect(rect);
    NSStringDrawInRect(text, CGRectMake(rect.origin.x, rect.origin.y, rect.size.width, h), attributes);
    c->restoreGState();
}

void drawBar(const CGRect& rect, const std::string& left, const std::string& title, const std::string& right, bool boldRight) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) return;
    c->setFillColor(kBarGrey, kBarGrey, kBarGrey, 1);
    c->fillRect(rect);
    hairlineColor()->setFill();
    c->fillRect(CGRectMake(rect.origin.x, CGRectGetMaxY(rect) - 0.5, rect.size.width, 0.5));
    CGRect line = CGRectMake(rect.origin.x + kBarEdge, CGRectGetMaxY(rect) - 44, rect.size.width - 2 * kBarEdge, 44);
    auto regular = UIFont::systemFontOfSize(kBarFontSize), bold = UIFont::boldSystemFontOfSize(kBarFontSize);
    CGRect third = CGRectMake(line.origin.x, line.origin.y, line.size.width / 4, line.size.height);
    drawLine(left, third, regular, buttonColor(), NSTextAlignmentLeft);
    third.origin.x = CGRectGetMaxX(line) - third.size.width;
    drawLine(right, third, boldRight ? bold : regular, buttonColor(), NSTextAlignmentRight);
    drawLine(title, CGRectInset(line, line.size.width / 4, 0), bold, UIColor::blackColor(), NSTextAlignmentCenter);
}
} // namespace UISheetDrawing

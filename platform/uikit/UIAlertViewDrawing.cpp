// How an alert looks on screen, and the alert window that shows the front-most one over a dimmed
// screen.

#include "platform/uikit/UIAlertOverlayWindow.h"
#include "platform/uikit/UIAlertView.h"

#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UISheetDrawing.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr CGFloat kWidth = 270;
constexpr CGFloat kPadding = 16;
constexpr CGFloat kTopPadding = 20;
constexpr CGFloat kTextGap = 4;
constexpr CGFloat kButtonHeight = 44;
constexpr CGFloat kAlertCornerRadius = 7;
constexpr CGFloat kTitleSize = 17;
constexpr CGFloat kMessageSize = 13;
constexpr CGFloat kSeparatorWhite = 0.8;

NSStringAttributes titleAttributes() { return {UIFont::boldSystemFontOfSize(kTitleSize), UIColor::blackColor(), NSTextAlignmentCenter}; }
NSStringAttributes messageAttributes() { return {UIFont::systemFontOfSize(kMessageSize), UIColor::blackColor(), NSTextAlignmentCenter}; }

CGFloat textHeight(const std::string& text, const NSStringAttributes& attributes) {
    if (text.empty()) return 0;
    return std::ceil(NSStringBoundingRectWithSize(text, {kWidth - 2 * kPadding, 0}, NSStringDrawingUsesLineFragmentOrigin, attributes)
                         .size.height);
}
} // namespace

struct UIAlertView::Metrics {
    CGFloat titleHeight = 0;
    CGFloat messageTop = 0, messageHeight = 0;
    CGRect accessory{};
    CGFloat buttonsTop = 0;
    bool inRow = false;
    CGSize size{};
};

UIAlertView::Metrics UIAlertView::measure() const {
    Metrics m;
    m.titleHeight = textHeight(title_, titleAttributes());
    m.messageHeight = textHeight(message_, messageAttributes());
    m.messageTop = kTopPadding + m.titleHeight + (m.titleHeight > 0 && m.messageHeight > 0 ? kTextGap : 0);
    CGFloat y = m.messageTop + m.messageHeight;
    if (accessoryView_) {
        auto size = accessoryView_->bounds().size;
        if (y > kTopPadding) y += kTextGap * 2;
        m.accessory = CGRectMake((kWidth - size.width) / 2, y, size.width, size.height);
        y += size.height;
    }
    m.buttonsTop = y + kTopPadding;
    m.inRow = numberOfButtons() == 2;
    long rows = m.inRow ? 1 : numberOfButtons();
    m.size = {kWidth, m.buttonsTop + kButtonHeight * static_cast<CGFloat>(rows)};
    if (rows == 0) m.size.height = y + kTopPadding;
    return m;
}

CGRect UIAlertView::frameOnScreen() const {
    auto screen = UIScreen::mainScreen()->interfaceBounds();
    auto size = measure().size;
    return CGRectMake(std::round((screen.size.width - size.width) / 2), std::round((screen.size.height - size.height) / 2),
                      size.width, size.height);
}

void UIAlertView::layoutSubviews() {
    if (accessoryView_) accessoryView_->setFrame(measure().accessory);
    UIView::layoutSubviews();
}

void UIAlertView::drawRect(const CGRect&) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) return;
    auto m = measure();
    auto b = bounds();
    auto box = CGPath::create();
    box->addRoundedRect(b, UIRectCornerAllCorners, {kAlertCornerRadius, kAlertCornerRadius});
    UISheetDrawing::panelColor()->setFill();
    c->addPath(*box);
    c->fillPath();
    NSStringDrawInRect(title_, CGRectMake(kPadding, kTopPadding, kWidth - 2 * kPadding, m.titleHeight), titleAttributes());
    NSStringDrawInRect(message_, CGRectMake(kPadding, m.messageTop, kWidth - 2 * kPadding, m.messageHeight), messageAttributes());
    if (buttons_.empty()) return;
    // Hairlines above the buttons and between them; the texts in the system's blue.
    for (long i = 0; i < numberOfButtons(); ++i) {
        CGRect cell = m.inRow ? CGRectMake(kWidth / 2 * static_cast<CGFloat>(i), m.buttonsTop, kWidth / 2, kButtonHeight)
                              : CGRectMake(0, m.buttonsTop + kButtonHeight * static_cast<CGFloat>(i), kWidth, kButtonHeight);
        c->setFillColor(kSeparatorWhite, kSeparatorWhite, kSeparatorWhite, 1);
        c->fillRect(CGRectMake(cell.origin.x, cell.origin.y, cell.size.width, 0.5));
        if (m.inRow && i > 0) c->fillRect(CGRectMake(cell.origin.x, cell.origin.y, 0.5, cell.size.height));
        auto font = i == cancelButtonIndex_ ? UIFont::boldSystemFontOfSize(kTitleSize) : UIFont::systemFontOfSize(kTitleSize);
        NSStringAttributes attributes{font, UISheetDrawing::buttonColor(), NSTextAlignmentCenter};
        CGFloat h = NSStringBoundingRectWithSize(buttons_[i], cell.size, 0, attributes).size.height;
        UISheetDrawing::drawLine(buttons_[i], CGRectMake(cell.origin.x + 4, cell.origin.y + (kButtonHeight - h) / 2, cell.size.width - 8, h),
                                 font, attributes.foregroundColor, NSTextAlignmentCenter);
    }
}

void UIAlertOverlayWindow::drawRect(const CGRect&) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) return;
    UISheetDrawing::dim(bounds());
    const auto& alerts = UIApplication::sharedApplication()->visibleAlerts();
    if (alerts.empty()) return;
    // Only the last shown is on screen; the others wait behind it for their turn.
    const auto& alert = alerts.back();
    alert->setFrame(alert->frameOnScreen());
    alert->layoutIfNeeded();
    auto f = alert->frame();
    c->saveGState();
    // The alert stands upright in the interface, the window in the screen's coordinates.
    c->concatCTM(CGAffineTransformInvert(UIScreen::mainScreen()->interfaceTransform()));
    c->translateCTM(f.origin.x, f.origin.y);
    alert->layer()->renderInContext(*c);
    c->restoreGState();
}

// The compose sheets as the device draws them: mail and message fill the screen under their bar;
// a social sheet is a card over the dimmed screen it came from.

#include "platform/uikit/UIComposeSheet.h"

#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UISheetDrawing.h"

namespace {
constexpr CGFloat kComposeSheetViewBarHeight = 64;
constexpr CGFloat kFieldHeight = 44;
constexpr CGFloat kComposeSheetViewInset = 15;
constexpr CGFloat kCardMargin = 8;
constexpr CGFloat kCardTop = 40;
constexpr CGFloat kCardHeight = 210;
constexpr CGFloat kCardRadius = 6;
constexpr CGFloat kCardBar = 44;

class UIComposeSheetView : public UIView {
public:
    using UIView::UIView;
    bool keepsDrawing() const override { return false; }

    void drawRect(const CGRect&) override {
        auto c = UIGraphicsGetCurrentContext();
        auto sheet = std::dynamic_pointer_cast<UIComposeSheet>(viewController());
        if (!c || !sheet) return;
        auto look = sheet->look();
        auto b = bounds();
        if (look.card) return drawCard(*c, look, b);
        UIColor::whiteColor()->setFill();
        c->fillRect(b);
        UISheetDrawing::drawBar(CGRectMake(0, 0, b.size.width, kComposeSheetViewBarHeight), "Cancel", look.title, look.sendTitle, true);
        CGFloat y = kComposeSheetViewBarHeight;
        auto font = UIFont::systemFontOfSize(15);
        for (auto& [label, value] : look.fields) {
            CGRect row = CGRectMake(kComposeSheetViewInset, y, b.size.width - 2 * kComposeSheetViewInset, kFieldHeight);
            CGFloat labelWidth = NSStringBoundingRectWithSize(label, row.size, 0, {font, nullptr}).size.width + 4;
            UISheetDrawing::drawLine(label, row, font, UISheetDrawing::secondaryTextColor(), NSTextAlignmentLeft);
            UISheetDrawing::drawLine(value, CGRectMake(row.origin.x + labelWidth, y, row.size.width - labelWidth, kFieldHeight), font,
                                     UIColor::blackColor(), NSTextAlignmentLeft);
            y += kFieldHeight;
            UISheetDrawing::hairlineColor()->setFill();
            c->fillRect(CGRectMake(kComposeSheetViewInset, y - 0.5, b.size.width - kComposeSheetViewInset, 0.5));
        }
        UISheetDrawing::drawParagraph(look.body, CGRectMake(kComposeSheetViewInset, y + 10, b.size.width - 2 * kComposeSheetViewInset, CGRectGetMaxY(b) - y - 20),
                                      font, UIColor::blackColor());
    }

private:
    static void drawCard(CGContext& c, const UIComposeSheetLook& look, const CGRect& b) {
        UISheetDrawing::dim(b);
        CGRect card = CGRectMake(kCardMargin, kCardTop, b.size.width - 2 * kCardMargin, kCardHeight);
        UISheetDrawing::fillRoundedRect(card, kCardRadius, UISheetDrawing::panelColor());
        c.saveGState();
        c.clipToRect(card);
        UISheetDrawing::drawBar(CGRectMake(card.origin.x, card.origin.y, card.size.width, kCardBar), "Cancel", look.title,
                                look.sendTitle, true);
        c.restoreGState();
        UISheetDrawing::drawParagraph(look.body,
                                      CGRectMake(card.origin.x + kComposeSheetViewInset, card.origin.y + kCardBar + 8, card.size.width - 2 * kComposeSheetViewInset,
                                                 card.size.height - kCardBar - 16),
                                      UIFont::systemFontOfSize(15), UIColor::blackColor());
    }
};
} // namespace

void UIComposeSheet::loadView() { setView(std::make_shared<UIComposeSheetView>(UIScreen::mainScreen()->bounds())); }

// The activity sheet as the device draws it over the screen it was presented from.

#include "platform/uikit/UIActivityViewController.h"

#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UISheetDrawing.h"

#include <algorithm>

namespace {
constexpr CGFloat kMargin = 8;
constexpr CGFloat kCancelHeight = 57;
constexpr CGFloat kCornerRadius = 4;
constexpr CGFloat kAirDropHeight = 110;
constexpr CGFloat kRowHeight = 100;
constexpr CGFloat kActivitySheetViewIconSide = 60;
constexpr CGFloat kIconPitch = 76;

// The last word of an activity type ("com.apple.UIKit.activity.Mail" shows as "Mail").
std::string activityName(const std::string& type) {
    auto dot = type.rfind('.');
    return dot == std::string::npos ? type : type.substr(dot + 1);
}

class UIActivitySheetView : public UIView {
public:
    using UIView::UIView;
    bool keepsDrawing() const override { return false; }

    void drawRect(const CGRect&) override {
        auto c = UIGraphicsGetCurrentContext();
        auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(viewController());
        if (!c || !sheet) return;
        using namespace UISheetDrawing;
        auto b = bounds();
        dim(b);
        CGFloat width = b.size.width - 2 * kMargin;
        CGRect cancel = CGRectMake(kMargin, CGRectGetMaxY(b) - kMargin - kCancelHeight, width, kCancelHeight);
        fillRoundedRect(cancel, kCornerRadius, panelColor());
        drawLine("Cancel", cancel, UIFont::boldSystemFontOfSize(21), buttonColor(), NSTextAlignmentCenter);

        auto offered = sheet->availableActivityTypes();
        bool airDrop = std::find(offered.begin(), offered.end(), UIActivityTypeAirDrop) != offered.end();
        offered.erase(std::remove(offered.begin(), offered.end(), UIActivityTypeAirDrop), offered.end());
        CGFloat height = (airDrop ? kAirDropHeight : 0) + (offered.empty() ? 0 : kRowHeight);
        if (height <= 0) return;
        CGRect panel = CGRectMake(kMargin, cancel.origin.y - kMargin - height, width, height);
        fillRoundedRect(panel, kCornerRadius, panelColor());
        CGFloat y = panel.origin.y;
        if (airDrop) {
            // The AirDrop mark: rings about a dot, then the system's words beside it.
            CGPoint centre{panel.origin.x + 16 + kActivitySheetViewIconSide / 2, y + kAirDropHeight / 2};
            auto grey = secondaryTextColor();
            c->setStrokeColor(grey->red(), grey->green(), grey->blue(), 1);
            c->setLineWidth(2);
            for (CGFloat r : {8.0, 16.0, 24.0}) {
                c->addEllipseInRect(CGRectMake(centre.x - r, centre.y - r, 2 * r, 2 * r));
                c->strokePath();
            }
            CGRect words = CGRectMake(centre.x + kActivitySheetViewIconSide / 2 + 12, y + 20, CGRectGetMaxX(panel) - centre.x - kActivitySheetViewIconSide / 2 - 24,
                                      kAirDropHeight - 40);
            drawParagraph("AirDrop. Share instantly with people nearby. If they do not appear automatically, ask them to "
                          "turn on AirDrop.",
                          words, UIFont::systemFontOfSize(12), grey);
            y += kAirDropHeight;
            if (!offered.empty()) {
                hairlineColor()->setFill();
                c->fillRect(CGRectMake(panel.origin.x, y - 0.5, width, 0.5));
            }
        }
        CGFloat x = panel.origin.x + 12;
        for (auto& type : offered) {
            if (x + kActivitySheetViewIconSide > CGRectGetMaxX(panel)) break;
            fillRoundedRect(CGRectMake(x, y + 12, kActivitySheetViewIconSide, kActivitySheetViewIconSide), 13, UIColor::whiteColor());
            drawLine(activityName(type), CGRectMake(x - 8, y + 12 + kActivitySheetViewIconSide + 4, kActivitySheetViewIconSide + 16, 14),
                     UIFont::systemFontOfSize(10), UIColor::blackColor(), NSTextAlignmentCenter);
            x += kIconPitch;
        }
    }
};
} // namespace

void UIActivityViewController::loadView() { setView(std::make_shared<UIActivitySheetView>(UIScreen::mainScreen()->bounds())); }

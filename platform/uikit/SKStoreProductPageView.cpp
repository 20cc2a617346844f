// The store page as the device draws it for the product it loaded.

#include "platform/uikit/SKStoreProductViewController.h"

#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UISheetDrawing.h"

namespace {
constexpr CGFloat kBarHeight = 64;
constexpr CGFloat kInset = 15;
constexpr CGFloat kIconSide = 100;
constexpr CGFloat kIconRadius = 18;
constexpr CGFloat kTabsHeight = 29;
constexpr CGFloat kShotWidth = 180, kShotHeight = 240;

class SKStoreProductPageView : public UIView {
public:
    using UIView::UIView;
    bool keepsDrawing() const override { return false; }

    void drawRect(const CGRect&) override {
        auto c = UIGraphicsGetCurrentContext();
        auto page = std::dynamic_pointer_cast<SKStoreProductViewController>(viewController());
        if (!c || !page) return;
        using namespace UISheetDrawing;
        auto b = bounds();
        UIColor::whiteColor()->setFill();
        c->fillRect(b);
        drawBar(CGRectMake(0, 0, b.size.width, kBarHeight), "", "", "Done", true);
        CGFloat top = kBarHeight + kInset;
        fillRoundedRect(CGRectMake(kInset, top, kIconSide, kIconSide), kIconRadius, UIColor::colorWithRed(0.35, 0.55, 0.9, 1));
        CGFloat x = kInset * 2 + kIconSide, w = b.size.width - x - kInset;
        drawLine("App " + page->itemIdentifier(), CGRectMake(x, top, w, 22), UIFont::boldSystemFontOfSize(17), UIColor::blackColor(),
                 NSTextAlignmentLeft);
        drawLine("App Store", CGRectMake(x, top + 24, w, 18), UIFont::systemFontOfSize(13), secondaryTextColor(), NSTextAlignmentLeft);
        // The price button: the system's blue outline round the word.
        CGRect price = CGRectMake(x, top + kIconSide - 26, 66, 26);
        buttonColor()->setStroke();
        c->setLineWidth(1);
        c->addPath(*[&] {
            auto path = CGPath::create();
            path->addRoundedRect(CGRectInset(price, 0.5, 0.5), UIRectCornerAllCorners, {4, 4});
            return path;
        }());
        c->strokePath();
        drawLine("FREE", price, UIFont::boldSystemFontOfSize(13), buttonColor(), NSTextAlignmentCenter);

        CGFloat y = top + kIconSide + kInset;
        CGRect tabs = CGRectMake(kInset, y, b.size.width - 2 * kInset, kTabsHeight);
        fillRoundedRect(tabs, 4, buttonColor());
        const char* names[] = {"Details", "Reviews", "Related"};
        for (int i = 0; i < 3; ++i) {
            CGRect tab = CGRectMake(tabs.origin.x + tabs.size.width / 3 * i, y, tabs.size.width / 3, kTabsHeight);
            if (i > 0) fillRoundedRect(CGRectInset(tab, 1, 1), 0, UIColor::whiteColor());
            drawLine(names[i], tab, UIFont::systemFontOfSize(13), i == 0 ? UIColor::whiteColor() : buttonColor(), NSTextAlignmentCenter);
        }
        y += kTabsHeight + kInset;
        for (CGFloat sx = kInset; sx < b.size.width; sx += kShotWidth + 10)
            fillRoundedRect(CGRectMake(sx, y, kShotWidth, kShotHeight), 0, UIColor::colorWithWhite(0.85, 1));
    }
};
} // namespace

void SKStoreProductViewController::loadView() { setView(std::make_shared<SKStoreProductPageView>(UIScreen::mainScreen()->bounds())); }

#include "platform/uikit/UINavigationBar.h"

#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UISheetDrawing.h"

#include <algorithm>

namespace {
const UINavigationController* owner(const UINavigationBar& bar) {
    auto container = bar.superview();
    auto controller = container ? container->viewController() : nullptr;
    return dynamic_cast<const UINavigationController*>(controller.get());
}
} // namespace

namespace {
constexpr CGFloat kEdge = 8;
constexpr CGFloat kImageSide = 24;
constexpr CGFloat kGap = 6;

void drawLine(const std::string& text, const CGRect& rect, const NSStringAttributes& attributes) {
    UISheetDrawing::drawLine(text, rect, attributes.font, attributes.foregroundColor, attributes.alignment);
}

// One side's button: its image as a template in the tint, or its title; the back button is its
// title after a chevron. Answers the width it took.
CGFloat drawBarButton(CGContext& c, const UIBarButtonItem* item, const std::string& title, const CGRect& slot,
                      NSStringAttributes attributes) {
    // A disabled button shows in grey.
    if (item && !item->isEnabled()) attributes.foregroundColor = UIColor::colorWithWhite(0.75, 1);
    auto image = item ? item->image() : nullptr;
    if (image && title.empty()) {
        CGFloat x = attributes.alignment == NSTextAlignmentRight ? CGRectGetMaxX(slot) - kImageSide : slot.origin.x;
        const auto& tint = *attributes.foregroundColor;
        c.setFillColor(tint.red(), tint.green(), tint.blue(), tint.alpha());
        c.fillImageMask(CGRectMake(x, CGRectGetMidY(slot) - kImageSide / 2, kImageSide, kImageSide), *image->CGImage());
        return kImageSide;
    }
    if (title.empty()) return 0;
    CGFloat w = std::min(slot.size.width, NSStringBoundingRectWithSize(title, slot.size, 0, attributes).size.width);
    CGFloat x = attributes.alignment == NSTextAlignmentRight ? CGRectGetMaxX(slot) - w : slot.origin.x;
    attributes.alignment = NSTextAlignmentLeft;
    drawLine(title, CGRectMake(x, slot.origin.y, w + 1, slot.size.height), attributes);
    return w;
}
} // namespace

void UINavigationBar::drawRect(const CGRect&) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) return;
    auto b = bounds();
    auto tint = barTintColor_ ? barTintColor_ : UIColor::colorWithRed(247 / 255.0, 247 / 255.0, 247 / 255.0, 1);
    tint->setFill();
    c->fillRect(b);
    auto navigation = owner(*this);
    auto top = navigation ? navigation->topViewController() : nullptr;
    auto item = top ? top->navigationItem() : topItem();
    if (!item) return;
    auto text = barStyle_ == UIBarStyleBlack ? UIColor::whiteColor() : UIColor::blackColor();
    NSStringAttributes title{UIFont::boldSystemFontOfSize(17), text, NSTextAlignmentCenter};
    // One line's height, whatever the title (an empty title still leaves room for the buttons).
    CGFloat h = NSStringBoundingRectWithSize("Ag", b.size, 0, title).size.height;
    NSStringAttributes button{UIFont::systemFontOfSize(17), tintColor_ ? tintColor_ : UIColor::colorWithRed(0, 122 / 255.0, 1, 1),
                              NSTextAlignmentLeft};
    CGRect slot = CGRectMake(kEdge, (b.size.height - h) / 2, b.size.width / 3, h);
    CGFloat leftWidth = 0, rightWidth = 0;
    if (auto left = item->leftBarButtonItem()) {
        leftWidth = drawBarButton(*c, left.get(), left->title(), slot, button);
    } else if (auto stack = navigation ? navigation->viewControllers() : std::vector<std::shared_ptr<UIViewController>>{};
               stack.size() > 1 && !item->hidesBackButton()) {
        // The back button names the controller below: its back item's title, else its own; a
        // name that would crowd the title gives way to "Back", then to the chevron alone.
        auto below = stack[stack.size() - 2]->navigationItem();
        auto back = below->backBarButtonItem();
        std::string name = back && !back->title().empty() ? back->title() : below->title();
        CGFloat titleWidth = NSStringBoundingRectWithSize(item->title(), b.size, 0, title).size.width;
        CGFloat room = (b.size.width - titleWidth) / 2 - kEdge - kGap;
        for (const std::string& candidate : {"< " + name, std::string("< Back"), std::string("<")}) {
            if (NSStringBoundingRectWithSize(candidate, b.size, 0, button).size.width > room && candidate != "<") continue;
            leftWidth = drawBarButton(*c, nullptr, candidate, slot, button);
            break;
        }
    }
    if (auto right = item->rightBarButtonItem()) {
        button.alignment = NSTextAlignmentRight;
        slot.origin.x = b.size.width - kEdge - slot.size.width;
        rightWidth = drawBarButton(*c, right.get(), right->title(), slot, button);
    }
    // The title is centred on the bar, pushed aside by the buttons when they reach into it.
    CGFloat side = std::max(leftWidth, rightWidth) + kEdge + kGap;
    drawLine(item->title(), CGRectMake(side, (b.size.height - h) / 2, b.size.width - 2 * side, h), title);
}

void UINavigationBar::setItemsAnimated(std::vector<std::shared_ptr<UINavigationItem>> items, bool) {
    items_ = std::move(items);
    setNeedsDisplay();
}

void UINavigationBar::pushNavigationItemAnimated(const std::shared_ptr<UINavigationItem>& item, bool) {
    if (item) items_.push_back(item);
    setNeedsDisplay();
}

void UINavigationBar::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    // Inside a navigation controller the controller tells what the bar shows.
    auto item = owner(*this) ? nullptr : topItem();
    if (!item) return;
    std::string line = "bar: " + UIScreenDescription::quoted(item->title());
    if (auto left = item->leftBarButtonItem()) line += " | left: [" + left->title() + "]";
    if (auto right = item->rightBarButtonItem()) line += " | right: [" + right->title() + "]";
    screen.addLine(line);
    for (auto& barItem : {item->rightBarButtonItem(), item->leftBarButtonItem()}) {
        if (!barItem) continue;
        screen.addTappable(barItem->title(), [barItem](UIScreenReply& reply) {
            if (!barItem->isEnabled()) return reply.refuse("that button is disabled");
            barItem->performAction();
            return true;
        });
    }
}

#include "platform/uikit/UINavigationBar.h"

#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UINavigationController.h"

namespace {
const UINavigationController* owner(const UINavigationBar& bar) {
    auto container = bar.superview();
    auto controller = container ? container->viewController() : nullptr;
    return dynamic_cast<const UINavigationController*>(controller.get());
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
    if (!top) return;
    auto item = top->navigationItem();
    auto text = barStyle_ == UIBarStyleBlack ? UIColor::whiteColor() : UIColor::blackColor();
    NSStringAttributes title{UIFont::boldSystemFontOfSize(17), text, NSTextAlignmentCenter};
    CGFloat h = NSStringBoundingRectWithSize(item->title(), b.size, 0, title).size.height;
    NSStringDrawInRect(item->title(), CGRectMake(60, (b.size.height - h) / 2, b.size.width - 120, h), title);
    NSStringAttributes button{UIFont::systemFontOfSize(17), tintColor_ ? tintColor_ : UIColor::colorWithRed(0, 122 / 255.0, 1, 1),
                              NSTextAlignmentLeft};
    std::string leftTitle;
    if (auto left = item->leftBarButtonItem()) {
        leftTitle = left->title();
    } else if (auto stack = navigation->viewControllers(); stack.size() > 1) {
        // The back button names the controller below: its back item's title, else its own.
        auto below = stack[stack.size() - 2]->navigationItem();
        auto back = below->backBarButtonItem();
        leftTitle = "< " + (back && !back->title().empty() ? back->title() : below->title());
    }
    if (!leftTitle.empty()) NSStringDrawInRect(leftTitle, CGRectMake(8, (b.size.height - h) / 2, b.size.width / 3, h), button);
    if (auto right = item->rightBarButtonItem()) {
        button.alignment = NSTextAlignmentRight;
        NSStringDrawInRect(right->title(), CGRectMake(b.size.width * 2 / 3 - 8, (b.size.height - h) / 2, b.size.width / 3, h), button);
    }
}

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
    auto item = top ? top->navigationItem() : topItem();
    if (!item) return;
    auto text = barStyle_ == UIBarStyleBlack ? UIColor::whiteColor() : UIColor::blackColor();
    NSStringAttributes title{UIFont::boldSystemFontOfSize(17), text, NSTextAlignmentCenter};
    CGFloat h = NSStringBoundingRectWithSize(item->title(), b.size, 0, title).size.height;
    NSStringDrawInRect(item->title(), CGRectMake(60, (b.size.height - h) / 2, b.size.width - 120, h), title);
    NSStringAttributes button{UIFont::systemFontOfSize(17), tintColor_ ? tintColor_ : UIColor::colorWithRed(0, 122 / 255.0, 1, 1),
                              NSTextAlignmentLeft};
    std::string leftTitle;
    if (auto left = item->leftBarButtonItem()) {
        leftTitle = left->title();
    } else if (auto stack = navigation ? navigation->viewControllers() : std::vector<std::shared_ptr<UIViewController>>{};
               stack.size() > 1) {
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

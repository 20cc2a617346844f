#include "platform/uikit/UIGraphics.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIScreen.h"

#include <cmath>
#include <vector>

namespace {
struct ImageContext {
    CGContextRef context;
    std::string drawnNames;
    bool pushed = false; // not an image context of its own
};

std::vector<ImageContext>& stack() {
    thread_local std::vector<ImageContext> contexts;
    return contexts;
}
} // namespace

void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale) {
    if (scale <= 0) scale = UIScreen::mainScreen()->scale();
    int width = static_cast<int>(std::ceil(size.width * scale));
    int height = static_cast<int>(std::ceil(size.height * scale));
    auto bitmap = CGImage::createWithSize(width, height);
    if (!bitmap) {
        // The platform logs and carries on with no context; drawing then does nothing.
        stack().push_back({nullptr, {}});
        return;
    }
    auto context = std::make_shared<CGContext>(bitmap, scale);
    if (opaque) {
        context->setFillColor(0, 0, 0, 1);
        context->fillRect(CGRectMake(0, 0, size.width, size.height));
    }
    stack().push_back({context, {}});
}

void UIGraphicsBeginImageContext(CGSize size) { UIGraphicsBeginImageContextWithOptions(size, false, 1); }

CGContextRef UIGraphicsGetCurrentContext() { return stack().empty() ? nullptr : stack().back().context; }

UIImagePtr UIGraphicsGetImageFromCurrentImageContext() {
    if (stack().empty() || !stack().back().context || stack().back().pushed) return nullptr;
    auto& top = stack().back();
    auto copy = CGImage::createWithSize(top.context->target()->width(), top.context->target()->height());
    // No memory for the picture: there is none to give.
    if (!copy) return nullptr;
    {
        CGContext c(copy, 1);
        c.drawImage(CGRectMake(0, 0, copy->width(), copy->height()), *top.context->target());
    }
    return std::make_shared<UIImage>(copy, top.context->scale(), top.drawnNames);
}

void UIGraphicsEndImageContext() {
    if (!stack().empty() && !stack().back().pushed) stack().pop_back();
}

void UIGraphicsPushContext(const CGContextRef& context) { stack().push_back({context, {}, true}); }

void UIGraphicsPopContext() {
    if (!stack().empty() && stack().back().pushed) stack().pop_back();
}

void UIColor::setFill() const {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) return;
    if (pattern_ && pattern_->CGImage()) c->setFillPattern(pattern_->CGImage(), pattern_->scale());
    else c->setFillColor(r_, g_, b_, a_);
}

void UIColor::setStroke() const {
    if (auto c = UIGraphicsGetCurrentContext()) c->setStrokeColor(r_, g_, b_, a_);
}

void UIColor::set() const {
    setFill();
    setStroke();
}

void UIGraphicsNoteDrawnImageName(const std::string& name) {
    if (stack().empty() || name.empty()) return;
    auto& names = stack().back().drawnNames;
    names += names.empty() ? name : "+" + name;
}

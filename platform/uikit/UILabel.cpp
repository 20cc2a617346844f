#include "platform/uikit/UILabel.h"

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIGraphics.h"

#include <cmath>

UILabel::UILabel() : UILabel(CGRectZero) {}

UILabel::UILabel(const CGRect& frame) : UIView(frame) { setUserInteractionEnabled(false); }

CGSize UILabel::sizeThatFits(CGSize size) const {
    auto style = UIFontTextStyle(font_, alignment_, lines_);
    auto measured = CGTextMeasure(text_, style, lines_ == 1 ? 0 : size.width);
    return {std::ceil(measured.width), std::ceil(measured.height)};
}

void UILabel::drawRect(const CGRect&) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c || text_.empty()) return;
    c->setFillColor(textColor_->red(), textColor_->green(), textColor_->blue(), textColor_->alpha());
    c->drawText(text_, UIFontTextStyle(font_, alignment_, lines_), bounds());
}

void UILabel::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    if (!UIScreenDescription::centreOnScreen(*this)) return;
    screen.addTappable(text_, [view = self<UIView>()](UIScreenReply& reply) { return UIScreenDescription::touch(view, reply); });
}

namespace {
void collectLabelTexts(const UIViewPtr& view, std::string& out) {
    if (auto label = std::dynamic_pointer_cast<UILabel>(view); label && !label->text().empty())
        out += (out.empty() ? "" : " ") + label->text();
    for (auto& sub : view->subviews()) collectLabelTexts(sub, out);
}
} // namespace

std::string UILabelTextsInView(const UIViewPtr& view) {
    std::string text;
    if (view) collectLabelTexts(view, text);
    return text;
}

#include "platform/uikit/UILabel.h"

#include "platform/foundation/NSString.h"

UILabel::UILabel() : UILabel(CGRectZero) {}

UILabel::UILabel(const CGRect& frame) : UIView(frame) { setUserInteractionEnabled(false); }

CGSize UILabel::sizeThatFits(CGSize) const {
    CGFloat size = font_->pointSize();
    return {static_cast<CGFloat>(NSString::lengthUTF16(text_)) * size / 2, text_.empty() ? 0 : size * 1.2};
}

void UILabel::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    screen.addTappable(text_, [view = self<UIView>()](UIScreenReply& reply) { return UIScreenDescription::touch(view, reply); });
}

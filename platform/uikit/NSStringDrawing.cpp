#include "platform/uikit/NSStringDrawing.h"

#include "platform/uikit/UIGraphics.h"

CGTextStyle UIFontTextStyle(const UIFontPtr& font, NSTextAlignment alignment, long maximumLines) {
    auto f = font ? font : UIFont::systemFontOfSize(12);
    return {f->fontName(), f->pointSize(), static_cast<int>(alignment), maximumLines};
}

CGRect NSStringBoundingRectWithSize(const std::string& text, CGSize size, unsigned long options,
                                    const NSStringAttributes& attributes) {
    bool lines = options & NSStringDrawingUsesLineFragmentOrigin;
    auto style = UIFontTextStyle(attributes.font, attributes.alignment, lines ? 0 : 1);
    auto measured = CGTextMeasure(text, style, lines && size.width > 0 ? size.width : 0);
    if (lines && size.height > 0 && measured.height > size.height) measured.height = size.height;
    return CGRectMake(0, 0, measured.width, measured.height);
}

void NSStringDrawInRect(const std::string& text, const CGRect& rect, const NSStringAttributes& attributes) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) return;
    auto color = attributes.foregroundColor ? attributes.foregroundColor : UIColor::blackColor();
    c->saveGState();
    c->setFillColor(color->red(), color->green(), color->blue(), color->alpha());
    c->drawText(text, UIFontTextStyle(attributes.font, attributes.alignment, 0), rect);
    c->restoreGState();
}

#include "platform/uikit/UIFont.h"

#include "platform/foundation/NSString.h"

UIFontPtr UIFont::fontWithNameSize(const std::string& name, CGFloat size) { return std::make_shared<UIFont>(name, size); }
UIFontPtr UIFont::systemFontOfSize(CGFloat size) { return fontWithNameSize("HelveticaNeue", size); }
UIFontPtr UIFont::boldSystemFontOfSize(CGFloat size) { return fontWithNameSize("HelveticaNeue-Bold", size); }
UIFontPtr UIFont::italicSystemFontOfSize(CGFloat size) { return fontWithNameSize("HelveticaNeue-Italic", size); }

bool UIFont::isItalic() const { return NSString::containsString(name_, "Italic"); }
bool UIFont::isBold() const { return NSString::containsString(name_, "Bold"); }

std::string UIFont::description() const { return NSString::stringWithFormat("%@ %g", name_, pointSize_); }

bool UIFont::isEqual(const NSObject* other) const {
    auto f = dynamic_cast<const UIFont*>(other);
    return f && f->name_ == name_ && f->pointSize_ == pointSize_;
}

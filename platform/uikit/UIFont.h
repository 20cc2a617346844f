#pragma once
// Fonts by name and size; the headless screen only records them.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <string>

class UIFont;
using UIFontPtr = std::shared_ptr<UIFont>;

class UIFont : public NSObject {
public:
    UIFont(std::string name, CGFloat pointSize) : name_(std::move(name)), pointSize_(pointSize) {}

    static UIFontPtr fontWithNameSize(const std::string& name, CGFloat size);
    static UIFontPtr systemFontOfSize(CGFloat size);      // "HelveticaNeue"
    static UIFontPtr boldSystemFontOfSize(CGFloat size);  // "HelveticaNeue-Bold"
    static UIFontPtr italicSystemFontOfSize(CGFloat size); // "HelveticaNeue-Italic"
    static CGFloat systemFontSize() { return 14; }

    const std::string& fontName() const { return name_; }
    CGFloat pointSize() const { return pointSize_; }
    UIFontPtr fontWithSize(CGFloat size) const { return fontWithNameSize(name_, size); }
    bool isItalic() const;
    bool isBold() const;

    std::string description() const override;
    bool isEqual(const NSObject* other) const override;

private:
    std::string name_;
    CGFloat pointSize_;
};

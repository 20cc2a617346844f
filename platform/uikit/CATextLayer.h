#pragma once
// A layer that sets a string in a font (by name) at a size and colour, on one line or wrapped to
// its width, aligned by its alignment mode, from its top edge.

#include "platform/uikit/CALayer.h"

inline constexpr const char* kCAAlignmentNatural = "natural";
inline constexpr const char* kCAAlignmentLeft = "left";
inline constexpr const char* kCAAlignmentRight = "right";
inline constexpr const char* kCAAlignmentCenter = "center";
inline constexpr const char* kCAAlignmentJustified = "justified";

class CATextLayer : public CALayer {
public:
    static std::shared_ptr<CATextLayer> layer() { return std::make_shared<CATextLayer>(); }

    const std::string& string() const { return string_; }
    void setString(std::string text) { string_ = std::move(text); }
    const std::string& font() const { return font_; }
    void setFont(std::string fontName) { font_ = std::move(fontName); }
    CGFloat fontSize() const { return fontSize_; }
    void setFontSize(CGFloat size) { fontSize_ = size; }
    UIColorPtr foregroundColor() const { return foregroundColor_; }
    void setForegroundColor(UIColorPtr color) { foregroundColor_ = std::move(color); }
    bool isWrapped() const { return wrapped_; }
    void setWrapped(bool wrapped) { wrapped_ = wrapped; }
    const std::string& alignmentMode() const { return alignmentMode_; }
    void setAlignmentMode(std::string mode) { alignmentMode_ = std::move(mode); }

    void drawInContext(CGContext& context) override;
    // The string, else the name.
    std::string screenName() const override { return string_.empty() ? name() : string_; }

private:
    std::string string_;
    std::string font_ = "Helvetica";
    CGFloat fontSize_ = 36;
    UIColorPtr foregroundColor_ = UIColor::whiteColor();
    bool wrapped_ = false;
    std::string alignmentMode_ = kCAAlignmentNatural;
};

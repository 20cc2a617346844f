#pragma once
// A drawing context over a bitmap. Coordinates are in points; the context's scale maps them to
// the bitmap's pixels.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/graphics/CGImage.h"

#include <memory>

typedef struct _cairo cairo_t;

class CGContext;
using CGContextRef = std::shared_ptr<CGContext>;

class CGContext : public NSObject {
public:
    CGContext(CGImageRef target, CGFloat scale);
    ~CGContext() override;

    const CGImageRef& target() const { return target_; }
    CGFloat scale() const { return scale_; }

    // Draws the whole image scaled into the rectangle.
    void drawImage(const CGRect& rect, const CGImage& image);
    void setFillColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
    void fillRect(const CGRect& rect);
    void fillEllipseInRect(const CGRect& rect);

private:
    CGImageRef target_;
    CGFloat scale_;
    cairo_t* cr_;
};

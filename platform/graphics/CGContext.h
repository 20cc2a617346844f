#pragma once
// A drawing context over a bitmap. Coordinates are in points, y falling down the screen as in
// UIKit's contexts; the context's scale maps them to the bitmap's pixels. The path is not part of
// the graphics state; colours, line width, shadow and clipping are, and save/restore keep them.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/graphics/CGGradient.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGPath.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;

class CGContext;
using CGContextRef = std::shared_ptr<CGContext>;

struct CGColorComponents {
    CGFloat red = 0, green = 0, blue = 0, alpha = 1;
};

// How text is set: a font by its designed name, its size, alignment (0 left, 1 centre, 2 right)
// and the most lines shown (0 for any number).
struct CGTextStyle {
    std::string fontName;
    CGFloat pointSize = 17;
    int alignment = 0;
    long maximumLines = 1;
};

class CGContext : public NSObject {
public:
    // A context without a bitmap (one that could not be allocated) draws nothing.
    CGContext(CGImageRef target, CGFloat scale);
    ~CGContext() override;

    const CGImageRef& target() const { return target_; }
    CGFloat scale() const { return scale_; }

    // Graphics state.
    void saveGState();
    void restoreGState();
    void translateCTM(CGFloat tx, CGFloat ty);
    void scaleCTM(CGFloat sx, CGFloat sy);
    void rotateCTM(CGFloat angle);
    void concatCTM(const CGAffineTransform& t);
    // User space to the context's points (the bitmap's scale left out).
    CGAffineTransform getCTM() const;
    void setFillColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
    // Fills paint the image repeated (a pattern colour) until the next fill colour.
    void setFillPattern(const CGImageRef& image, CGFloat imageScale);
    void setStrokeColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
    void setLineWidth(CGFloat width);
    // The opacity every later drawing is composited with.
    void setAlpha(CGFloat alpha);
    // A blurred copy of what is drawn, offset in points (positive y down) and tinted; a blur of 0
    // and a clear colour turn it off.
    void setShadow(CGSize offset, CGFloat blur, CGColorComponents color);
    void setShadow(CGSize offset, CGFloat blur) { setShadow(offset, blur, {0, 0, 0, 1.0 / 3.0}); }

    // The path.
    void beginPath();
    void moveToPoint(CGPoint p);
    void addLineToPoint(CGPoint p);
    void addCurveToPoint(CGPoint c1, CGPoint c2, CGPoint end);
    void addQuadCurveToPoint(CGPoint c, CGPoint end);
    void addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise);
    void addArcToPoint(CGPoint p1, CGPoint p2, CGFloat radius);
    void addRect(const CGRect& rect);
    void addEllipseInRect(const CGRect& rect);
    void addPath(const CGPath& path);
    void closePath();
    bool isPathEmpty() const;

    // Painting; each consumes the path.
    void fillPath();
    void eoFillPath();
    void strokePath();
    void clip();
    void eoClip();
    void clipToRect(const CGRect& rect);
    void fillRect(const CGRect& rect);
    void strokeRect(const CGRect& rect);
    void fillEllipseInRect(const CGRect& rect);
    // Draws the whole image scaled into the rectangle.
    void drawImage(const CGRect& rect, const CGImage& image);
    // Paints the fill colour through the image's alpha, stretched to the rectangle: the image as a
    // template, as bars draw their button images in their tint.
    void fillImageMask(const CGRect& rect, const CGImage& image);
    // Only the shadow the current path's fill would cast (nothing without a shadow).
    void fillShadowOfPath();
    void drawLinearGradient(const CGGradient& gradient, CGPoint start, CGPoint end, unsigned options);
    // Later drawing gathers in a layer that is composited as one (with the shadow) at its end.
    void beginTransparencyLayer();
    void endTransparencyLayer();
    // Text in the fill colour, laid out in the rectangle.
    void drawText(const std::string& text, const CGTextStyle& style, const CGRect& rect);

private:
    struct Shadow {
        CGSize offset;
        CGFloat blur = 0;
        CGColorComponents color{0, 0, 0, 0};
    };
    struct State {
        CGColorComponents fill{0, 0, 0, 1};
        // When set, fills paint this bitmap repeated from the origin, a pixel 1/scale points.
        CGImageRef fillPattern;
        CGFloat fillPatternScale = 1;
        CGColorComponents stroke{0, 0, 0, 1};
        Shadow shadow;
        CGFloat alpha = 1;
    };
    // Runs the drawing on the context, or, under a shadow, on a scratch bitmap whose blurred
    // alpha is composited beneath the drawing.
    void render(const std::function<void(cairo_t*)>& draw);
    void renderWithShadow(const std::function<void(cairo_t*)>& draw, bool shadowOnly = false);
    void compositeWithShadow(const CGImage& drawn, bool shadowOnly);

    CGImageRef target_;
    CGFloat scale_;
    cairo_t* cr_;
    State state_;
    std::vector<State> saved_;
    std::vector<State> layers_;
};

// The size text takes in the style, lines broken to fit the width (0 for no limit); whole points
// are not enforced.
CGSize CGTextMeasure(const std::string& text, const CGTextStyle& style, CGFloat maxWidth);

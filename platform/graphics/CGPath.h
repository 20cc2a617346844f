#pragma once
// Paths: subpaths of lines and cubic curves in points. Arcs, ellipses and rounded corners are
// stored as the curves that draw them, so a path transforms as a whole.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <optional>
#include <vector>

class CGPath;
using CGPathRef = std::shared_ptr<CGPath>;

enum class CGPathElementType { MoveToPoint, AddLineToPoint, AddCurveToPoint, CloseSubpath };

struct CGPathElement {
    CGPathElementType type;
    CGPoint points[3];
};

// Corners of a rounded rectangle, as UIKit names them.
enum UIRectCorner : unsigned long {
    UIRectCornerTopLeft = 1 << 0,
    UIRectCornerTopRight = 1 << 1,
    UIRectCornerBottomLeft = 1 << 2,
    UIRectCornerBottomRight = 1 << 3,
    UIRectCornerAllCorners = 15,
};

class CGPath : public NSObject {
public:
    static CGPathRef create() { return std::make_shared<CGPath>(); }
    CGPathRef copy() const {
        auto c = create();
        c->elements_ = elements_, c->current_ = current_, c->subpathStart_ = subpathStart_;
        return c;
    }

    void moveToPoint(CGPoint p);
    // Without a current point a line or curve starts a subpath where it would have begun.
    void addLineToPoint(CGPoint p);
    void addCurveToPoint(CGPoint c1, CGPoint c2, CGPoint end);
    void addQuadCurveToPoint(CGPoint c, CGPoint end);
    void closeSubpath();
    // An arc about the centre from one angle to the other; clockwise as seen on a screen whose y
    // falls down. A line joins the current point to the arc's start.
    void addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise);
    // The arc of the radius tangent to the lines from the current point to p1 and from p1 to p2,
    // with a line from the current point to its start; a plain line to p1 when the lines are one.
    void addArcToPoint(CGPoint p1, CGPoint p2, CGFloat radius);
    void addRect(const CGRect& rect);
    void addEllipseInRect(const CGRect& rect);
    // A closed rectangle whose chosen corners are rounded (radii capped at half the sides).
    void addRoundedRect(const CGRect& rect, unsigned long corners, CGSize radii);
    void addPath(const CGPath& other);
    void applyTransform(const CGAffineTransform& t);

    bool isEmpty() const { return elements_.empty(); }
    std::optional<CGPoint> currentPoint() const { return current_; }
    const std::vector<CGPathElement>& elements() const { return elements_; }
    // The box of every point, control points included; CGRectZero (null) for an empty path.
    CGRect boundingBox() const;

private:
    void ensureStart(CGPoint p);

    std::vector<CGPathElement> elements_;
    std::optional<CGPoint> current_;
    CGPoint subpathStart_;
};

// The tangent arc of addArcToPoint: where it starts and ends, its centre and angles. nullopt when
// the three points lie on one line or the radius is 0.
struct CGTangentArc {
    CGPoint start, end, center;
    CGFloat startAngle, endAngle;
    bool clockwise;
};
std::optional<CGTangentArc> CGTangentArcMake(CGPoint p0, CGPoint p1, CGPoint p2, CGFloat radius);

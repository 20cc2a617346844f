#pragma once
// A path with its line width and fill rule, drawn into the current context.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGPath.h"

#include <memory>

class UIBezierPath;
using UIBezierPathPtr = std::shared_ptr<UIBezierPath>;

class UIBezierPath : public NSObject {
public:
    UIBezierPath() : path_(CGPath::create()) {}

    static UIBezierPathPtr bezierPath() { return std::make_shared<UIBezierPath>(); }
    static UIBezierPathPtr bezierPathWithRect(const CGRect& rect);
    static UIBezierPathPtr bezierPathWithOvalInRect(const CGRect& rect);
    static UIBezierPathPtr bezierPathWithRoundedRect(const CGRect& rect, CGFloat cornerRadius);
    static UIBezierPathPtr bezierPathWithRoundedRect(const CGRect& rect, unsigned long corners, CGSize cornerRadii);
    // Clockwise as seen on the screen.
    static UIBezierPathPtr bezierPathWithArcCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                                                   bool clockwise);
    static UIBezierPathPtr bezierPathWithCGPath(const CGPathRef& path);

    void moveToPoint(CGPoint p) { path_->moveToPoint(p); }
    void addLineToPoint(CGPoint p) { path_->addLineToPoint(p); }
    void addCurveToPoint(CGPoint end, CGPoint c1, CGPoint c2) { path_->addCurveToPoint(c1, c2, end); }
    void addQuadCurveToPoint(CGPoint end, CGPoint c) { path_->addQuadCurveToPoint(c, end); }
    void addArcWithCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise) {
        path_->addArc(center, radius, startAngle, endAngle, clockwise);
    }
    void closePath() { path_->closeSubpath(); }
    void appendPath(const UIBezierPath& other) { path_->addPath(*other.path_); }
    void applyTransform(const CGAffineTransform& t) { path_->applyTransform(t); }

    const CGPathRef& CGPath() const { return path_; }
    // The box of the path's points, control points included.
    CGRect bounds() const { return path_->boundingBox(); }
    bool isEmpty() const { return path_->isEmpty(); }
    bool usesEvenOddFillRule() const { return evenOdd_; }
    void setUsesEvenOddFillRule(bool evenOdd) { evenOdd_ = evenOdd; }
    CGFloat lineWidth() const { return lineWidth_; }
    void setLineWidth(CGFloat width) { lineWidth_ = width; }

    // In the current context (UIGraphicsGetCurrentContext), with its colours; nothing without one.
    void fill() const;
    void stroke() const;
    // Intersects the current context's clip with the path.
    void addClip() const;

private:
    CGPathRef path_;
    bool evenOdd_ = false;
    CGFloat lineWidth_ = 1;
};

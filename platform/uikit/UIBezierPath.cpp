#include "platform/uikit/UIBezierPath.h"

#include "platform/uikit/UIGraphics.h"

UIBezierPathPtr UIBezierPath::bezierPathWithRect(const CGRect& rect) {
    auto p = bezierPath();
    p->path_->addRect(rect);
    return p;
}

UIBezierPathPtr UIBezierPath::bezierPathWithOvalInRect(const CGRect& rect) {
    auto p = bezierPath();
    p->path_->addEllipseInRect(rect);
    return p;
}

UIBezierPathPtr UIBezierPath::bezierPathWithRoundedRect(const CGRect& rect, CGFloat cornerRadius) {
    return bezierPathWithRoundedRect(rect, UIRectCornerAllCorners, {cornerRadius, cornerRadius});
}

UIBezierPathPtr UIBezierPath::bezierPathWithRoundedRect(const CGRect& rect, unsigned long corners, CGSize cornerRadii) {
    auto p = bezierPath();
    p->path_->addRoundedRect(rect, corners, cornerRadii);
    return p;
}

UIBezierPathPtr UIBezierPath::bezierPathWithArcCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                                                      bool clockwise) {
    auto p = bezierPath();
    p->path_->addArc(center, radius, startAngle, endAngle, clockwise);
    return p;
}

UIBezierPathPtr UIBezierPath::bezierPathWithCGPath(const CGPathRef& path) {
    auto p = bezierPath();
    if (path) p->path_ = path->copy();
    return p;
}

void UIBezierPath::fill() const {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) return;
    c->beginPath();
    c->addPath(*path_);
    if (evenOdd_) c->eoFillPath();
    else c->fillPath();
}

void UIBezierPath::stroke() const {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) return;
    c->saveGState();
    c->setLineWidth(lineWidth_);
    c->beginPath();
    c->addPath(*path_);
    c->strokePath();
    c->restoreGState();
}

void UIBezierPath::addClip() const {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) return;
    c->beginPath();
    c->addPath(*path_);
    if (evenOdd_) c->eoClip();
    else c->clip();
}

#include "platform/graphics/CGPath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr CGFloat kappa = 0.5522847498307936; // control distance of a quarter circle of radius 1
constexpr CGFloat pi = std::numbers::pi;

CGPoint lerp(CGPoint a, CGPoint b, CGFloat t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }
} // namespace

void CGPath::ensureStart(CGPoint p) {
    if (!current_) moveToPoint(p);
}

void CGPath::moveToPoint(CGPoint p) {
    elements_.push_back({CGPathElementType::MoveToPoint, {p, {}, {}}});
    current_ = subpathStart_ = p;
}

void CGPath::addLineToPoint(CGPoint p) {
    ensureStart(p);
    elements_.push_back({CGPathElementType::AddLineToPoint, {p, {}, {}}});
    current_ = p;
}

void CGPath::addCurveToPoint(CGPoint c1, CGPoint c2, CGPoint end) {
    ensureStart(c1);
    elements_.push_back({CGPathElementType::AddCurveToPoint, {c1, c2, end}});
    current_ = end;
}

void CGPath::addQuadCurveToPoint(CGPoint c, CGPoint end) {
    ensureStart(c);
    CGPoint p0 = *current_;
    addCurveToPoint(lerp(p0, c, 2.0 / 3.0), lerp(end, c, 2.0 / 3.0), end);
}

void CGPath::closeSubpath() {
    if (!current_) return;
    elements_.push_back({CGPathElementType::CloseSubpath, {}});
    current_ = subpathStart_;
}

void CGPath::addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise) {
    CGPoint start{center.x + radius * std::cos(startAngle), center.y + radius * std::sin(startAngle)};
    if (current_) addLineToPoint(start);
    else moveToPoint(start);
    // Clockwise on a screen whose y falls down is the direction of growing angles.
    CGFloat sweep = endAngle - startAngle;
    if (clockwise) {
        while (sweep < 0) sweep += 2 * pi;
    } else {
        while (sweep > 0) sweep -= 2 * pi;
    }
    int segments = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (pi / 2) - 1e-9)));
    CGFloat step = sweep / segments;
    CGFloat k = 4.0 / 3.0 * std::tan(step / 4) * radius;
    for (int i = 0; i < segments; ++i) {
        CGFloat a = startAngle + step * i, b = a + step;
        CGPoint p0{center.x + radius * std::cos(a), center.y + radius * std::sin(a)};
        CGPoint p3{center.x + radius * std::cos(b), center.y + radius * std::sin(b)};
        addCurveToPoint({p0.x - k * std::sin(a), p0.y + k * std::cos(a)}, {p3.x + k * std::sin(b), p3.y - k * std::cos(b)},
                        p3);
    }
}

std::optional<CGTangentArc> CGTangentArcMake(CGPoint p0, CGPoint p1, CGPoint p2, CGFloat radius) {
    CGFloat ux = p0.x - p1.x, uy = p0.y - p1.y, vx = p2.x - p1.x, vy = p2.y - p1.y;
    CGFloat lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
    if (radius <= 0 || lu == 0 || lv == 0) return std::nullopt;
    ux /= lu, uy /= lu, vx /= lv, vy /= lv;
    CGFloat cross = ux * vy - uy * vx;
    if (std::fabs(cross) < 1e-12) return std::nullopt;
    CGFloat angle = std::acos(std::clamp(ux * vx + uy * vy, -1.0, 1.0)); // between the two lines
    CGFloat along = radius / std::tan(angle / 2);
    CGTangentArc arc;
    arc.start = {p1.x + ux * along, p1.y + uy * along};
    arc.end = {p1.x + vx * along, p1.y + vy * along};
    CGFloat bx = ux + vx, by = uy + vy, lb = std::hypot(bx, by);
    CGFloat toCenter = radius / std::sin(angle / 2);
    arc.center = {p1.x + bx / lb * toCenter, p1.y + by / lb * toCenter};
    arc.startAngle = std::atan2(arc.start.y - arc.center.y, arc.start.x - arc.center.x);
    arc.endAngle = std::atan2(arc.end.y - arc.center.y, arc.end.x - arc.center.x);
    // Turning left from the first line to the second (y down) is an anticlockwise arc.
    arc.clockwise = cross < 0;
    return arc;
}

void CGPath::addArcToPoint(CGPoint p1, CGPoint p2, CGFloat radius) {
    ensureStart(p1);
    auto arc = CGTangentArcMake(*current_, p1, p2, radius);
    if (!arc) return addLineToPoint(p1);
    addLineToPoint(arc->start);
    addArc(arc->center, radius, arc->startAngle, arc->endAngle, arc->clockwise);
}

void CGPath::addRect(const CGRect& rect) {
    auto r = CGRectStandardize(rect);
    moveToPoint(r.origin);
    addLineToPoint({r.origin.x + r.size.width, r.origin.y});
    addLineToPoint({r.origin.x + r.size.width, r.origin.y + r.size.height});
    addLineToPoint({r.origin.x, r.origin.y + r.size.height});
    closeSubpath();
}

void CGPath::addEllipseInRect(const CGRect& rect) {
    addRoundedRect(rect, UIRectCornerAllCorners, {rect.size.width / 2, rect.size.height / 2});
}

void CGPath::addRoundedRect(const CGRect& rect, unsigned long corners, CGSize radii) {
    auto r = CGRectStandardize(rect);
    CGFloat rx = std::clamp(radii.width, 0.0, r.size.width / 2), ry = std::clamp(radii.height, 0.0, r.size.height / 2);
    CGFloat x0 = r.origin.x, y0 = r.origin.y, x1 = x0 + r.size.width, y1 = y0 + r.size.height;
    struct Corner {
        unsigned long flag;
        CGPoint at;
        CGFloat inX, inY, outX, outY; // unit steps back along the incoming edge and on along the outgoing one
    };
    const Corner order[] = {{UIRectCornerTopRight, {x1, y0}, -1, 0, 0, 1},
                            {UIRectCornerBottomRight, {x1, y1}, 0, -1, -1, 0},
                            {UIRectCornerBottomLeft, {x0, y1}, 1, 0, 0, -1},
                            {UIRectCornerTopLeft, {x0, y0}, 0, 1, 1, 0}};
    bool first = true;
    for (const auto& c : order) {
        bool round = (corners & c.flag) && rx > 0 && ry > 0;
        CGPoint a{c.at.x + c.inX * (round ? rx : 0), c.at.y + c.inY * (round ? ry : 0)};
        CGPoint b{c.at.x + c.outX * (round ? rx : 0), c.at.y + c.outY * (round ? ry : 0)};
        if (first) moveToPoint((corners & UIRectCornerTopLeft) && rx > 0 && ry > 0 ? CGPoint{x0 + rx, y0} : CGPoint{x0, y0});
        first = false;
        addLineToPoint(a);
        if (round) addCurveToPoint(lerp(a, c.at, kappa), lerp(b, c.at, kappa), b);
    }
    closeSubpath();
}

void CGPath::addPath(const CGPath& other) {
    for (const auto& e : other.elements_) {
        switch (e.type) {
        case CGPathElementType::MoveToPoint: moveToPoint(e.points[0]); break;
        case CGPathElementType::AddLineToPoint: addLineToPoint(e.points[0]); break;
        case CGPathElementType::AddCurveToPoint: addCurveToPoint(e.points[0], e.points[1], e.points[2]); break;
        case CGPathElementType::CloseSubpath: closeSubpath(); break;
        }
    }
}

void CGPath::applyTransform(const CGAffineTransform& t) {
    for (auto& e : elements_)
        for (auto& p : e.points) p = CGPointApplyAffineTransform(p, t);
    if (current_) current_ = CGPointApplyAffineTransform(*current_, t);
    subpathStart_ = CGPointApplyAffineTransform(subpathStart_, t);
}

CGRect CGPath::boundingBox() const {
    if (elements_.empty()) return CGRectZero;
    CGFloat minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const auto& e : elements_) {
        int n = e.type == CGPathElementType::AddCurveToPoint ? 3 : e.type == CGPathElementType::CloseSubpath ? 0 : 1;
        for (int i = 0; i < n; ++i) {
            minX = std::min(minX, e.points[i].x), maxX = std::max(maxX, e.points[i].x);
            minY = std::min(minY, e.points[i].y), maxY = std::max(maxY, e.points[i].y);
        }
    }
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

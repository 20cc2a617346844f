#include "platform/graphics/CGGeometry.h"

#include "platform/foundation/NSString.h"

#include <algorithm>
#include <cmath>

CGFloat CGRectGetMinX(const CGRect& r) { return CGRectStandardize(r).origin.x; }
CGFloat CGRectGetMinY(const CGRect& r) { return CGRectStandardize(r).origin.y; }
CGFloat CGRectGetMaxX(const CGRect& r) { auto s = CGRectStandardize(r); return s.origin.x + s.size.width; }
CGFloat CGRectGetMaxY(const CGRect& r) { auto s = CGRectStandardize(r); return s.origin.y + s.size.height; }
CGFloat CGRectGetMidX(const CGRect& r) { auto s = CGRectStandardize(r); return s.origin.x + s.size.width / 2; }
CGFloat CGRectGetMidY(const CGRect& r) { auto s = CGRectStandardize(r); return s.origin.y + s.size.height / 2; }
CGFloat CGRectGetWidth(const CGRect& r) { return std::fabs(r.size.width); }
CGFloat CGRectGetHeight(const CGRect& r) { return std::fabs(r.size.height); }

CGRect CGRectStandardize(const CGRect& r) {
    CGRect s = r;
    if (s.size.width < 0) {
        s.origin.x += s.size.width;
        s.size.width = -s.size.width;
    }
    if (s.size.height < 0) {
        s.origin.y += s.size.height;
        s.size.height = -s.size.height;
    }
    return s;
}

bool CGRectIsEmpty(const CGRect& r) { return r.size.width == 0 || r.size.height == 0; }

bool CGRectContainsPoint(const CGRect& r, CGPoint p) {
    auto s = CGRectStandardize(r);
    return p.x >= s.origin.x && p.x < s.origin.x + s.size.width && p.y >= s.origin.y && p.y < s.origin.y + s.size.height;
}

bool CGRectIntersectsRect(const CGRect& a, const CGRect& b) { return !CGRectIsEmpty(CGRectIntersection(a, b)); }

CGRect CGRectIntersection(const CGRect& a, const CGRect& b) {
    auto s = CGRectStandardize(a), t = CGRectStandardize(b);
    CGFloat x1 = std::max(s.origin.x, t.origin.x), y1 = std::max(s.origin.y, t.origin.y);
    CGFloat x2 = std::min(s.origin.x + s.size.width, t.origin.x + t.size.width);
    CGFloat y2 = std::min(s.origin.y + s.size.height, t.origin.y + t.size.height);
    if (x2 <= x1 || y2 <= y1) return CGRectZero;
    return CGRectMake(x1, y1, x2 - x1, y2 - y1);
}

CGRect CGRectOffset(const CGRect& r, CGFloat dx, CGFloat dy) {
    return CGRectMake(r.origin.x + dx, r.origin.y + dy, r.size.width, r.size.height);
}

CGRect CGRectInset(const CGRect& r, CGFloat dx, CGFloat dy) {
    auto s = CGRectStandardize(r);
    return CGRectMake(s.origin.x + dx, s.origin.y + dy, s.size.width - 2 * dx, s.size.height - 2 * dy);
}

CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx, CGFloat ty) {
    return {a, b, c, d, tx, ty};
}
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty) { return {1, 0, 0, 1, tx, ty}; }
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) { return {sx, 0, 0, sy, 0, 0}; }
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle) {
    CGFloat c = std::cos(angle), s = std::sin(angle);
    return {c, s, -s, c, 0, 0};
}

CGAffineTransform CGAffineTransformConcat(const CGAffineTransform& t1, const CGAffineTransform& t2) {
    return {t1.a * t2.a + t1.b * t2.c,
            t1.a * t2.b + t1.b * t2.d,
            t1.c * t2.a + t1.d * t2.c,
            t1.c * t2.b + t1.d * t2.d,
            t1.tx * t2.a + t1.ty * t2.c + t2.tx,
            t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

CGAffineTransform CGAffineTransformInvert(const CGAffineTransform& t) {
    CGFloat det = t.a * t.d - t.b * t.c;
    if (det == 0) return t; // a singular transform is returned unchanged, as on the platform
    return {t.d / det, -t.b / det, -t.c / det, t.a / det, (t.c * t.ty - t.d * t.tx) / det, (t.b * t.tx - t.a * t.ty) / det};
}

bool CGAffineTransformIsIdentity(const CGAffineTransform& t) { return t == CGAffineTransformIdentity; }

CGPoint CGPointApplyAffineTransform(CGPoint p, const CGAffineTransform& t) {
    return {t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

CGRect CGRectApplyAffineTransform(const CGRect& r, const CGAffineTransform& t) {
    auto s = CGRectStandardize(r);
    CGPoint corners[4] = {CGPointApplyAffineTransform(s.origin, t),
                          CGPointApplyAffineTransform({s.origin.x + s.size.width, s.origin.y}, t),
                          CGPointApplyAffineTransform({s.origin.x, s.origin.y + s.size.height}, t),
                          CGPointApplyAffineTransform({s.origin.x + s.size.width, s.origin.y + s.size.height}, t)};
    CGFloat minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (auto& c : corners) {
        minX = std::min(minX, c.x);
        maxX = std::max(maxX, c.x);
        minY = std::min(minY, c.y);
        maxY = std::max(maxY, c.y);
    }
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

std::string NSStringFromCGPoint(CGPoint p) { return NSString::stringWithFormat("{%g, %g}", p.x, p.y); }
std::string NSStringFromCGSize(CGSize s) { return NSString::stringWithFormat("{%g, %g}", s.width, s.height); }
std::string NSStringFromCGRect(const CGRect& r) {
    return "{" + NSStringFromCGPoint(r.origin) + ", " + NSStringFromCGSize(r.size) + "}";
}

CGRect CGRectIntegral(const CGRect& r) {
    auto s = CGRectStandardize(r);
    if (CGRectIsEmpty(s)) return CGRectMake(std::floor(s.origin.x), std::floor(s.origin.y), 0, 0);
    CGFloat x0 = std::floor(s.origin.x), y0 = std::floor(s.origin.y);
    CGFloat x1 = std::ceil(s.origin.x + s.size.width), y1 = std::ceil(s.origin.y + s.size.height);
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

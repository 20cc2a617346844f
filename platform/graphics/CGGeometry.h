#pragma once
// Points, sizes, rectangles and affine transforms in points, origin at the top left.

#include <string>

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0, y = 0;
    bool operator==(const CGPoint&) const = default;
};
struct CGSize {
    CGFloat width = 0, height = 0;
    bool operator==(const CGSize&) const = default;
};
struct CGRect {
    CGPoint origin;
    CGSize size;
    bool operator==(const CGRect&) const = default;
};
// [a b 0; c d 0; tx ty 1]: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct CGAffineTransform {
    CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    bool operator==(const CGAffineTransform&) const = default;
};

inline constexpr CGPoint CGPointZero{};
inline constexpr CGSize CGSizeZero{};
inline constexpr CGRect CGRectZero{};
inline constexpr CGAffineTransform CGAffineTransformIdentity{};

inline CGPoint CGPointMake(CGFloat x, CGFloat y) { return {x, y}; }
inline CGSize CGSizeMake(CGFloat width, CGFloat height) { return {width, height}; }
inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) { return {{x, y}, {width, height}}; }

CGFloat CGRectGetMinX(const CGRect& r);
CGFloat CGRectGetMinY(const CGRect& r);
CGFloat CGRectGetMaxX(const CGRect& r);
CGFloat CGRectGetMaxY(const CGRect& r);
CGFloat CGRectGetMidX(const CGRect& r);
CGFloat CGRectGetMidY(const CGRect& r);
CGFloat CGRectGetWidth(const CGRect& r);
CGFloat CGRectGetHeight(const CGRect& r);
// The same rectangle with a non-negative width and height.
CGRect CGRectStandardize(const CGRect& r);
bool CGRectIsEmpty(const CGRect& r);
// Minimum edges inclusive, maximum edges exclusive, as on the platform.
bool CGRectContainsPoint(const CGRect& r, CGPoint p);
bool CGRectIntersectsRect(const CGRect& a, const CGRect& b);
CGRect CGRectIntersection(const CGRect& a, const CGRect& b);
CGRect CGRectOffset(const CGRect& r, CGFloat dx, CGFloat dy);
CGRect CGRectInset(const CGRect& r, CGFloat dx, CGFloat dy);

CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle);
// t1 then t2.
CGAffineTransform CGAffineTransformConcat(const CGAffineTransform& t1, const CGAffineTransform& t2);
CGAffineTransform CGAffineTransformInvert(const CGAffineTransform& t);
bool CGAffineTransformIsIdentity(const CGAffineTransform& t);
CGPoint CGPointApplyAffineTransform(CGPoint p, const CGAffineTransform& t);
// The bounding box of the transformed rectangle.
CGRect CGRectApplyAffineTransform(const CGRect& r, const CGAffineTransform& t);

std::string NSStringFromCGPoint(CGPoint p);   // "{x, y}"
std::string NSStringFromCGSize(CGSize s);     // "{w, h}"
std::string NSStringFromCGRect(const CGRect& r); // "{{x, y}, {w, h}}"

// The smallest rectangle with whole-number edges that holds the rectangle.
CGRect CGRectIntegral(const CGRect& r);

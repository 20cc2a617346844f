#pragma once
// A layer's 4x4 transform in row-vector form (a point is [x y z 1] times the matrix), as Core
// Animation keeps it. m34 carries perspective; the display draws a layer by the transform's 2D part
// (m11, m12, m21, m22, m41, m42), which is the affine transform a flat screen shows face-on.

#include "platform/graphics/CGGeometry.h"

struct CATransform3D {
    CGFloat m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    CGFloat m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    CGFloat m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    CGFloat m41 = 0, m42 = 0, m43 = 0, m44 = 1;
    bool operator==(const CATransform3D&) const = default;
};

inline constexpr CATransform3D CATransform3DIdentity{};

bool CATransform3DIsIdentity(const CATransform3D& t);
bool CATransform3DEqualToTransform(const CATransform3D& a, const CATransform3D& b);
// a then b.
CATransform3D CATransform3DConcat(const CATransform3D& a, const CATransform3D& b);
CATransform3D CATransform3DMakeTranslation(CGFloat tx, CGFloat ty, CGFloat tz);
CATransform3D CATransform3DMakeScale(CGFloat sx, CGFloat sy, CGFloat sz);
// A turn by angle radians about the axis (x, y, z); a zero axis gives the identity.
CATransform3D CATransform3DMakeRotation(CGFloat angle, CGFloat x, CGFloat y, CGFloat z);
// The transform with a translation, scale or rotation applied before it.
CATransform3D CATransform3DTranslate(const CATransform3D& t, CGFloat tx, CGFloat ty, CGFloat tz);
CATransform3D CATransform3DScale(const CATransform3D& t, CGFloat sx, CGFloat sy, CGFloat sz);
CATransform3D CATransform3DRotate(const CATransform3D& t, CGFloat angle, CGFloat x, CGFloat y, CGFloat z);
CATransform3D CATransform3DMakeAffineTransform(const CGAffineTransform& m);
bool CATransform3DIsAffine(const CATransform3D& t);
// The 2D part, whatever the rest holds.
CGAffineTransform CATransform3DGetAffineTransform(const CATransform3D& t);

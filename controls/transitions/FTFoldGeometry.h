#pragma once
// The fold's geometry along its two directions: "along" the fold line and "across" it. With a
// horizontal fold line along is x and across is y; sideways they swap.

#include "platform/graphics/CGGeometry.h"
#include "platform/uikit/UIGeometry.h"

#include <vector>

struct FTFoldAxis {
    bool sideways;

    CGFloat along(CGSize s) const { return sideways ? s.height : s.width; }
    CGFloat across(CGSize s) const { return sideways ? s.width : s.height; }
    CGPoint point(CGFloat along, CGFloat across) const { return sideways ? CGPointMake(across, along) : CGPointMake(along, across); }
    CGSize size(CGFloat along, CGFloat across) const { return sideways ? CGSizeMake(across, along) : CGSizeMake(along, across); }
    CGRect rect(CGFloat along, CGFloat across, CGFloat alongSize, CGFloat acrossSize) const {
        auto p = point(along, across);
        auto s = size(alongSize, acrossSize);
        return CGRectMake(p.x, p.y, s.width, s.height);
    }
    // The upper (left) and lower (right) halves of r, the first `first` long across.
    CGRect firstHalf(const CGRect& r, CGFloat first) const {
        return sideways ? CGRectMake(r.origin.x, r.origin.y, first, r.size.height)
                        : CGRectMake(r.origin.x, r.origin.y, r.size.width, first);
    }
    CGRect secondHalf(const CGRect& r, CGFloat first, CGFloat second) const {
        return sideways ? CGRectMake(r.origin.x + first, r.origin.y, second, r.size.height)
                        : CGRectMake(r.origin.x, r.origin.y + first, r.size.width, second);
    }
    // One point more, reaching over the fold line.
    CGRect growTowardsFold(CGRect r) const {
        if (sideways) {
            r.origin.x -= 1;
            r.size.width += 1;
        } else {
            r.origin.y -= 1;
            r.size.height += 1;
        }
        return r;
    }
    // Transparent margins on the edges that cross the fold line.
    UIEdgeInsets edgeInsets() const { return sideways ? UIEdgeInsets{1, 0, 1, 0} : UIEdgeInsets{0, 1, 0, 1}; }
};

// The key-frame lists of a fold: the main layer's across size and the shades' opacities, one
// entry per 60th of a second and one more, as single-precision numbers.
struct FTFoldKeyFrames {
    std::vector<float> sizes;
    std::vector<float> foldingShades;
    std::vector<float> cubeShades;

    static FTFoldKeyFrames make(double duration, bool reverse, CGFloat half, double shadowOpacity);
};

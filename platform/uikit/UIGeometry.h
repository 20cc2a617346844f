#pragma once
// Insets from the edges of a rectangle.

#include "platform/graphics/CGGeometry.h"

struct UIEdgeInsets {
    CGFloat top = 0, left = 0, bottom = 0, right = 0;
    bool operator==(const UIEdgeInsets&) const = default;
};

inline constexpr UIEdgeInsets UIEdgeInsetsZero{};
inline UIEdgeInsets UIEdgeInsetsMake(CGFloat top, CGFloat left, CGFloat bottom, CGFloat right) { return {top, left, bottom, right}; }
inline CGRect UIEdgeInsetsInsetRect(const CGRect& r, const UIEdgeInsets& i) {
    return CGRectMake(r.origin.x + i.left, r.origin.y + i.top, r.size.width - i.left - i.right, r.size.height - i.top - i.bottom);
}

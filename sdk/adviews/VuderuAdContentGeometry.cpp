#include "sdk/adviews/VuderuAdContentGeometry.h"

#include "platform/uikit/UIApplication.h"

#include <cmath>
#include <numbers>

CGFloat VuderuAdContentGeometry::offsetOf(const CGRect& rect) { return std::floor((rect.size.height - rect.size.width) / 2); }

CGAffineTransform VuderuAdContentGeometry::turn(CGFloat angle, CGFloat by) {
    return CGAffineTransformConcat(CGAffineTransformMakeTranslation(by, by), CGAffineTransformMakeRotation(angle));
}

CGAffineTransform VuderuAdContentGeometry::screenTurn(std::int64_t interfaceOrientation, const CGRect& screen) {
    constexpr CGFloat kHalfTurn = std::numbers::pi_v<CGFloat>;
    const CGFloat offset = offsetOf(screen);
    switch (interfaceOrientation) {
    case UIInterfaceOrientationPortraitUpsideDown: return turn(kHalfTurn);
    case UIInterfaceOrientationLandscapeLeft: return turn(-kHalfTurn / 2, -offset);
    case UIInterfaceOrientationLandscapeRight: return turn(kHalfTurn / 2, offset);
    default: return CGAffineTransformIdentity;
    }
}

void VuderuAdContentGeometry::fillRect(UIView& content, const CGRect& rect) {
    auto t = content.transform();
    if (CGAffineTransformIsIdentity(t)) return content.setFrame(rect);
    // A quarter turn maps width onto height; anything else keeps the sides where they are.
    bool quarter = std::fabs(t.a) < 0.5 && std::fabs(t.d) < 0.5;
    CGRect b = content.bounds();
    b.size = quarter ? CGSizeMake(rect.size.height, rect.size.width) : rect.size;
    content.setBounds(b);
    content.setCenter({CGRectGetMidX(rect) - t.tx, CGRectGetMidY(rect) - t.ty});
}

CGRect VuderuAdContentGeometry::centredFrame(CGSize content, CGSize container) {
    auto axis = [](CGFloat inner, CGFloat outer, CGFloat& origin, CGFloat& size) {
        if (outer < inner) {
            origin = 0;
            size = outer;
        } else {
            origin = std::floor((outer - inner) / 2);
            size = inner;
        }
    };
    CGRect out;
    axis(content.width, container.width, out.origin.x, out.size.width);
    axis(content.height, container.height, out.origin.y, out.size.height);
    return out;
}

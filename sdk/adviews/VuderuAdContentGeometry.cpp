#include "sdk/adviews/VuderuAdContentGeometry.h"

#include <cmath>

CGFloat VuderuAdContentGeometry::offsetOf(const CGRect& rect) { return std::floor((rect.size.height - rect.size.width) / 2); }

CGAffineTransform VuderuAdContentGeometry::turn(CGFloat angle, CGFloat by) {
    return CGAffineTransformConcat(CGAffineTransformMakeTranslation(by, by), CGAffineTransformMakeRotation(angle));
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

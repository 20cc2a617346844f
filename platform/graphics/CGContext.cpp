#include "platform/graphics/CGContext.h"

#include <cairo.h>

#include <cmath>

// Without a target cairo makes a context in its error state, on which every call does nothing.
CGContext::CGContext(CGImageRef target, CGFloat scale)
    : target_(std::move(target)), scale_(scale), cr_(cairo_create(target_ ? target_->surface() : nullptr)) {
    cairo_scale(cr_, scale_, scale_);
}

CGContext::~CGContext() {
    cairo_destroy(cr_);
    if (target_) cairo_surface_flush(target_->surface());
}

void CGContext::saveGState() {
    saved_.push_back(state_);
    cairo_save(cr_);
}

void CGContext::restoreGState() {
    if (saved_.empty()) return;
    state_ = saved_.back();
    saved_.pop_back();
    cairo_restore(cr_);
}

void CGContext::translateCTM(CGFloat tx, CGFloat ty) { cairo_translate(cr_, tx, ty); }
void CGContext::scaleCTM(CGFloat sx, CGFloat sy) { cairo_scale(cr_, sx, sy); }
void CGContext::rotateCTM(CGFloat angle) { cairo_rotate(cr_, angle); }

void CGContext::concatCTM(const CGAffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_transform(cr_, &m);
}

CGAffineTransform CGContext::getCTM() const {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    return {m.xx / scale_, m.yx / scale_, m.xy / scale_, m.yy / scale_, m.x0 / scale_, m.y0 / scale_};
}

void CGContext::setFillColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    state_.fill = {red, green, blue, alpha};
    state_.fillPattern = nullptr;
}

void CGContext::setFillPattern(const CGImageRef& image, CGFloat imageScale) {
    state_.fillPattern = image;
    state_.fillPatternScale = imageScale > 0 ? imageScale : 1;
}
void CGContext::setStrokeColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    state_.stroke = {red, green, blue, alpha};
}
void CGContext::setLineWidth(CGFloat width) { cairo_set_line_width(cr_, width); }

void CGContext::setShadow(CGSize offset, CGFloat blur, CGColorComponents color) {
    state_.shadow = {offset, std::max(0.0, blur), color};
}

void CGContext::beginPath() { cairo_new_path(cr_); }
void CGContext::moveToPoint(CGPoint p) { cairo_move_to(cr_, p.x, p.y); }

void CGContext::addLineToPoint(CGPoint p) { cairo_line_to(cr_, p.x, p.y); }

void CGContext::addCurveToPoint(CGPoint c1, CGPoint c2, CGPoint end) {
    if (!cairo_has_current_point(cr_)) cairo_move_to(cr_, c1.x, c1.y);
    cairo_curve_to(cr_, c1.x, c1.y, c2.x, c2.y, end.x, end.y);
}

void CGContext::addQuadCurveToPoint(CGPoint c, CGPoint end) {
    if (!cairo_has_current_point(cr_)) cairo_move_to(cr_, c.x, c.y);
    double x0, y0;
    cairo_get_current_point(cr_, &x0, &y0);
    cairo_curve_to(cr_, x0 + (c.x - x0) * 2 / 3, y0 + (c.y - y0) * 2 / 3, end.x + (c.x - end.x) * 2 / 3,
                   end.y + (c.y - end.y) * 2 / 3, end.x, end.y);
}

void CGContext::addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise) {
    // The flag counts as on a y-up page, as Core Graphics does: clockwise there is anticlockwise here.
    if (clockwise) cairo_arc_negative(cr_, center.x, center.y, radius, startAngle, endAngle);
    else cairo_arc(cr_, center.x, center.y, radius, startAngle, endAngle);
}

void CGContext::addArcToPoint(CGPoint p1, CGPoint p2, CGFloat radius) {
    if (!cairo_has_current_point(cr_)) cairo_move_to(cr_, p1.x, p1.y);
    double x0, y0;
    cairo_get_current_point(cr_, &x0, &y0);
    auto arc = CGTangentArcMake({x0, y0}, p1, p2, radius);
    if (!arc) return cairo_line_to(cr_, p1.x, p1.y);
    cairo_line_to(cr_, arc->start.x, arc->start.y);
    if (arc->clockwise) cairo_arc(cr_, arc->center.x, arc->center.y, radius, arc->startAngle, arc->endAngle);
    else cairo_arc_negative(cr_, arc->center.x, arc->center.y, radius, arc->startAngle, arc->endAngle);
}

void CGContext::addRect(const CGRect& rect) {
    auto r = CGRectStandardize(rect);
    cairo_rectangle(cr_, r.origin.x, r.origin.y, r.size.width, r.size.height);
}

void CGContext::addEllipseInRect(const CGRect& rect) {
    CGPath p;
    p.addEllipseInRect(rect);
    addPath(p);
}

void CGContext::addPath(const CGPath& path) {
    for (const auto& e : path.elements()) {
        const auto* p = e.points;
        switch (e.type) {
        case CGPathElementType::MoveToPoint: cairo_move_to(cr_, p[0].x, p[0].y); break;
        case CGPathElementType::AddLineToPoint: cairo_line_to(cr_, p[0].x, p[0].y); break;
        case CGPathElementType::AddCurveToPoint: cairo_curve_to(cr_, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y); break;
        case CGPathElementType::CloseSubpath: cairo_close_path(cr_); break;
        }
    }
}

void CGContext::closePath() { cairo_close_path(cr_); }

bool CGContext::isPathEmpty() const {
    auto* path = cairo_copy_path(cr_);
    bool empty = path->num_data == 0;
    cairo_path_destroy(path);
    return empty;
}

namespace {
void setSource(cairo_t* c, const CGColorComponents& color) { cairo_set_source_rgba(c, color.red, color.green, color.blue, color.alpha); }

struct FillSource {
    CGColorComponents color;
    CGImageRef pattern;
    CGFloat patternScale;
};

void setFillSource(cairo_t* c, const FillSource& fill) {
    if (!fill.pattern) return setSource(c, fill.color);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(fill.pattern->surface());
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    cairo_matrix_t matrix;
    cairo_matrix_init_scale(&matrix, fill.patternScale, fill.patternScale);
    cairo_pattern_set_matrix(pattern, &matrix);
    cairo_set_source(c, pattern);
    cairo_pattern_destroy(pattern);
}
} // namespace

void CGContext::fillPath() {
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    render([fill = FillSource{state_.fill, state_.fillPattern, state_.fillPatternScale}](cairo_t* c) { setFillSource(c, fill), cairo_fill(c); });
}

void CGContext::eoFillPath() {
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
    render([fill = FillSource{state_.fill, state_.fillPattern, state_.fillPatternScale}](cairo_t* c) { setFillSource(c, fill), cairo_fill(c); });
}

void CGContext::strokePath() {
    render([color = state_.stroke](cairo_t* c) { setSource(c, color), cairo_stroke(c); });
}

void CGContext::clip() {
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr_);
}

void CGContext::eoClip() {
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(cr_);
}

void CGContext::clipToRect(const CGRect& rect) {
    cairo_new_path(cr_);
    addRect(rect);
    clip();
}

void CGContext::fillRect(const CGRect& rect) {
    cairo_new_path(cr_);
    addRect(rect);
    fillPath();
}

void CGContext::strokeRect(const CGRect& rect) {
    cairo_new_path(cr_);
    addRect(rect);
    strokePath();
}

void CGContext::fillEllipseInRect(const CGRect& rect) {
    if (CGRectIsEmpty(rect)) return;
    cairo_new_path(cr_);
    addEllipseInRect(rect);
    fillPath();
}

void CGContext::fillImageMask(const CGRect& rect, const CGImage& image) {
    if (image.width() <= 0 || image.height() <= 0 || CGRectIsEmpty(rect)) return;
    auto r = CGRectStandardize(rect);
    cairo_new_path(cr_);
    render([&](cairo_t* c) {
        cairo_save(c);
        cairo_set_source_rgba(c, state_.fill.red, state_.fill.green, state_.fill.blue, state_.fill.alpha);
        cairo_translate(c, r.origin.x, r.origin.y);
        cairo_scale(c, r.size.width / image.width(), r.size.height / image.height());
        cairo_pattern_t* mask = cairo_pattern_create_for_surface(image.surface());
        cairo_pattern_set_filter(mask, CAIRO_FILTER_GOOD);
        cairo_mask(c, mask);
        cairo_pattern_destroy(mask);
        cairo_restore(c);
    });
}

void CGContext::drawImage(const CGRect& rect, const CGImage& image) {
    if (image.width() <= 0 || image.height() <= 0 || CGRectIsEmpty(rect)) return;
    auto r = CGRectStandardize(rect);
    cairo_new_path(cr_);
    render([&](cairo_t* c) {
        cairo_save(c);
        cairo_rectangle(c, r.origin.x, r.origin.y, r.size.width, r.size.height);
        cairo_clip(c);
        cairo_translate(c, r.origin.x, r.origin.y);
        cairo_scale(c, r.size.width / image.width(), r.size.height / image.height());
        cairo_set_source_surface(c, image.surface(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(c), CAIRO_FILTER_GOOD);
        // Padding keeps the edges opaque when an image is stretched, instead of fading into nothing.
        cairo_pattern_set_extend(cairo_get_source(c), CAIRO_EXTEND_PAD);
        cairo_paint(c);
        cairo_restore(c);
    });
}

#include "platform/graphics/CGContext.h"

#include <cairo.h>

#include <cmath>
#include <numbers>

CGContext::CGContext(CGImageRef target, CGFloat scale) : target_(std::move(target)), scale_(scale), cr_(cairo_create(target_->surface())) {
    cairo_scale(cr_, scale_, scale_);
}

CGContext::~CGContext() {
    cairo_destroy(cr_);
    cairo_surface_flush(target_->surface());
}

void CGContext::drawImage(const CGRect& rect, const CGImage& image) {
    if (image.width() <= 0 || image.height() <= 0 || CGRectIsEmpty(rect)) return;
    auto r = CGRectStandardize(rect);
    cairo_save(cr_);
    cairo_rectangle(cr_, r.origin.x, r.origin.y, r.size.width, r.size.height);
    cairo_clip(cr_);
    cairo_translate(cr_, r.origin.x, r.origin.y);
    cairo_scale(cr_, r.size.width / image.width(), r.size.height / image.height());
    cairo_set_source_surface(cr_, image.surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_GOOD);
    // Padding keeps the edges opaque when an image is stretched, instead of fading into nothing.
    cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_PAD);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

void CGContext::setFillColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    cairo_set_source_rgba(cr_, red, green, blue, alpha);
}

void CGContext::fillRect(const CGRect& rect) {
    auto r = CGRectStandardize(rect);
    cairo_rectangle(cr_, r.origin.x, r.origin.y, r.size.width, r.size.height);
    cairo_fill(cr_);
}

void CGContext::fillEllipseInRect(const CGRect& rect) {
    auto r = CGRectStandardize(rect);
    if (CGRectIsEmpty(r)) return;
    cairo_save(cr_);
    cairo_translate(cr_, r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2);
    cairo_scale(cr_, r.size.width / 2, r.size.height / 2);
    cairo_arc(cr_, 0, 0, 1, 0, 2 * std::numbers::pi);
    cairo_restore(cr_);
    cairo_fill(cr_);
}

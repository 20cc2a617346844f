// Shadows, transparency layers and gradients: what cairo does not do as Core Graphics does.

#include "platform/graphics/CGContext.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// One running-sum box pass over rows (or columns, with the strides swapped).
void boxPass(std::vector<float>& a, int lines, int length, int lineStride, int step, int radius) {
    std::vector<float> row(static_cast<std::size_t>(length));
    float width = static_cast<float>(2 * radius + 1);
    for (int l = 0; l < lines; ++l) {
        float* base = a.data() + static_cast<std::ptrdiff_t>(l) * lineStride;
        for (int i = 0; i < length; ++i) row[static_cast<std::size_t>(i)] = base[static_cast<std::ptrdiff_t>(i) * step];
        float sum = 0;
        for (int i = 0; i <= std::min(radius, length - 1); ++i) sum += row[static_cast<std::size_t>(i)];
        for (int i = 0; i < length; ++i) {
            base[static_cast<std::ptrdiff_t>(i) * step] = sum / width;
            int in = i + radius + 1, out = i - radius;
            if (in < length) sum += row[static_cast<std::size_t>(in)];
            if (out >= 0) sum -= row[static_cast<std::size_t>(out)];
        }
    }
}

// Three box passes each way approach a Gaussian blur of the alpha channel.
std::vector<float> blurredAlpha(const CGImage& image, CGFloat blurPixels) {
    int w = image.width(), h = image.height();
    cairo_surface_flush(image.surface());
    const unsigned char* data = cairo_image_surface_get_data(image.surface());
    int stride = cairo_image_surface_get_stride(image.surface());
    std::vector<float> alpha(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint32_t px;
            std::memcpy(&px, data + static_cast<std::ptrdiff_t>(y) * stride + x * 4, 4);
            alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] = static_cast<float>(px >> 24);
        }
    double sigma = blurPixels / 2;
    int radius = static_cast<int>(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2));
    if (radius > 0)
        for (int pass = 0; pass < 3; ++pass) {
            boxPass(alpha, h, w, w, 1, radius);
            boxPass(alpha, w, h, 1, w, radius);
        }
    return alpha;
}
} // namespace

void CGContext::setAlpha(CGFloat alpha) { state_.alpha = std::clamp(alpha, 0.0, 1.0); }

void CGContext::render(const std::function<void(cairo_t*)>& draw) {
    if (state_.alpha >= 1) return renderWithShadow(draw);
    cairo_push_group(cr_);
    renderWithShadow(draw);
    cairo_pop_group_to_source(cr_);
    cairo_paint_with_alpha(cr_, state_.alpha);
}

void CGContext::fillShadowOfPath() {
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    if (state_.shadow.color.alpha <= 0) return cairo_new_path(cr_);
    renderWithShadow([](cairo_t* c) { cairo_set_source_rgba(c, 0, 0, 0, 1), cairo_fill(c); }, true);
}

void CGContext::renderWithShadow(const std::function<void(cairo_t*)>& draw, bool shadowOnly) {
    if (state_.shadow.color.alpha <= 0) {
        draw(cr_);
        cairo_new_path(cr_);
        return;
    }
    auto scratch = target_ ? CGImage::createWithSize(target_->width(), target_->height()) : nullptr;
    if (!scratch) {
        cairo_new_path(cr_);
        return;
    }
    cairo_t* c = cairo_create(scratch->surface());
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    cairo_set_matrix(c, &m);
    cairo_set_fill_rule(c, cairo_get_fill_rule(cr_));
    cairo_set_line_width(c, cairo_get_line_width(cr_));
    cairo_set_line_cap(c, cairo_get_line_cap(cr_));
    cairo_set_line_join(c, cairo_get_line_join(cr_));
    cairo_path_t* path = cairo_copy_path(cr_);
    cairo_append_path(c, path);
    cairo_path_destroy(path);
    cairo_new_path(cr_);
    draw(c);
    cairo_destroy(c);
    cairo_surface_flush(scratch->surface());
    compositeWithShadow(*scratch, shadowOnly);
}

void CGContext::compositeWithShadow(const CGImage& drawn, bool shadowOnly) {
    const auto& s = state_.shadow;
    int w = drawn.width(), h = drawn.height();
    auto alpha = blurredAlpha(drawn, s.blur * scale_);
    auto shadow = CGImage::createWithSize(w, h);
    if (!shadow) return;
    unsigned char* data = cairo_image_surface_get_data(shadow->surface());
    int stride = cairo_image_surface_get_stride(shadow->surface());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double a = alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] / 255.0 *
                       std::clamp(s.color.alpha, 0.0, 1.0);
            auto channel = [a](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * a * 255)); };
            std::uint32_t px = channel(1) << 24 | channel(s.color.red) << 16 | channel(s.color.green) << 8 | channel(s.color.blue);
            std::memcpy(data + static_cast<std::ptrdiff_t>(y) * stride + x * 4, &px, 4);
        }
    cairo_surface_mark_dirty(shadow->surface());
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    cairo_new_path(cr_);
    cairo_set_source_surface(cr_, shadow->surface(), s.offset.width * scale_, s.offset.height * scale_);
    cairo_paint(cr_);
    if (!shadowOnly) {
        cairo_set_source_surface(cr_, drawn.surface(), 0, 0);
        cairo_paint(cr_);
    }
    cairo_restore(cr_);
}

void CGContext::beginTransparencyLayer() {
    layers_.push_back(state_);
    state_.shadow = {};
    state_.alpha = 1;
    cairo_push_group(cr_);
}

void CGContext::endTransparencyLayer() {
    if (layers_.empty()) return;
    cairo_pattern_t* layer = cairo_pop_group(cr_);
    state_ = layers_.back();
    layers_.pop_back();
    cairo_new_path(cr_);
    render([layer](cairo_t* c) {
        cairo_set_source(c, layer);
        cairo_paint(c);
    });
    cairo_pattern_destroy(layer);
}

void CGContext::drawLinearGradient(const CGGradient& gradient, CGPoint start, CGPoint end, unsigned options) {
    CGFloat dx = end.x - start.x, dy = end.y - start.y, length = std::hypot(dx, dy);
    if (length == 0 || gradient.stops().empty()) return;
    bool before = options & kCGGradientDrawsBeforeStartLocation, after = options & kCGGradientDrawsAfterEndLocation;
    cairo_new_path(cr_);
    render([&](cairo_t* c) {
        cairo_pattern_t* pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
        for (const auto& stop : gradient.stops())
            cairo_pattern_add_color_stop_rgba(pattern, stop.location, stop.red, stop.green, stop.blue, stop.alpha);
        cairo_pattern_set_extend(pattern, before || after ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
        cairo_save(c);
        if (before != after) {
            // Padding runs both ways: a half plane keeps the one side that is wanted.
            const CGFloat far = 1e6;
            CGFloat ux = dx / length * far, uy = dy / length * far, nx = -uy, ny = ux;
            CGPoint edge = after ? start : end;
            CGFloat sign = after ? 1 : -1;
            cairo_move_to(c, edge.x + nx, edge.y + ny);
            cairo_line_to(c, edge.x + nx + sign * ux, edge.y + ny + sign * uy);
            cairo_line_to(c, edge.x - nx + sign * ux, edge.y - ny + sign * uy);
            cairo_line_to(c, edge.x - nx, edge.y - ny);
            cairo_close_path(c);
            cairo_clip(c);
        }
        cairo_set_source(c, pattern);
        cairo_paint(c);
        cairo_restore(c);
        cairo_pattern_destroy(pattern);
    });
}

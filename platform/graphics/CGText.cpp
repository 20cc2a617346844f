// Text through Pango over cairo. Fonts come from a private fontconfig configuration that sees only
// the Liberation Sans faces, so text measures the same on every machine; their widths match the
// device's Helvetica, so a label sized for a text on the device holds it here too. Each designed
// font name maps to one of those faces by its weight and slant (there is no thin face: thin and
// light names take the regular one). This is the one unit that knows Pango.

#include "platform/graphics/CGContext.h"
#include "platform/foundation/Sanitizers.h"

#include "platform/foundation/NSString.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <cmath>
#include <mutex>

#if TANDREL_ADDRESS_SANITIZER
// Fontconfig keeps its configuration and match caches for the life of the process, partly from
// a thread Pango starts, in ways leak checks cannot trace back to it. The HEVC encoder behind
// HEIC encoding keeps a process-wide table alike.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libx265.so\n"; }
#endif
#if TANDREL_THREAD_SANITIZER
// Pango loads fontconfig and matches fonts on threads of its own and hands the patterns over
// through GLib's locks, which wait on futexes ThreadSanitizer does not see; it then takes every
// read of a pattern fontconfig made there for a race. Our calls into Pango are serialised by
// textLock and never touch those patterns themselves.
extern "C" const char* __tsan_default_suppressions() { return "race:libfontconfig.so\n"; }
#endif

#ifndef TANDREL_FONT_DIR
#define TANDREL_FONT_DIR "/usr/share/fonts/truetype/liberation2"
#endif

namespace {
std::mutex textLock;

PangoFontMap* fontMap() {
    static PangoFontMap* map = [] {
        FcConfig* config = FcConfigCreate();
        for (const char* face : {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf", "LiberationSans-Italic.ttf",
                                 "LiberationSans-BoldItalic.ttf"}) {
            std::string path = std::string(TANDREL_FONT_DIR) + "/" + face;
            FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(path.c_str()));
        }
        PangoFontMap* m = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(m), config);
        FcConfigDestroy(config);
        return m;
    }();
    return map;
}

// Weight and slant read from the designed name ("Helvetica", "HelveticaNeue-Thin", "Avenir-BlackOblique").
PangoFontDescription* describe(const CGTextStyle& style) {
    const std::string& name = style.fontName;
    auto has = [&name](const char* word) { return NSString::containsString(name, word); };
    PangoWeight weight = PANGO_WEIGHT_NORMAL;
    if (has("Bold") || has("Heavy") || has("Black") || has("Demi")) weight = PANGO_WEIGHT_BOLD;
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, "Liberation Sans");
    pango_font_description_set_weight(d, weight);
    pango_font_description_set_style(d, has("Italic") || has("Oblique") ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(d, std::max(1.0, style.pointSize) * PANGO_SCALE);
    return d;
}

// Unhinted metrics, so sizes do not depend on the scale or the machine's settings.
void setFontOptions(PangoContext* context) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_cairo_context_set_resolution(context, 72);
    pango_context_set_round_glyph_positions(context, FALSE);
}

PangoLayout* layoutText(PangoContext* context, const std::string& text, const CGTextStyle& style, CGFloat maxWidth) {
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* d = describe(style);
    pango_layout_set_font_description(layout, d);
    pango_font_description_free(d);
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    if (maxWidth > 0) {
        pango_layout_set_width(layout, static_cast<int>(maxWidth * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    if (style.maximumLines > 0) {
        pango_layout_set_height(layout, -static_cast<int>(style.maximumLines));
        pango_layout_set_ellipsize(layout, maxWidth > 0 ? PANGO_ELLIPSIZE_END : PANGO_ELLIPSIZE_NONE);
    }
    pango_layout_set_alignment(layout, style.alignment == 1   ? PANGO_ALIGN_CENTER
                                       : style.alignment == 2 ? PANGO_ALIGN_RIGHT
                                                              : PANGO_ALIGN_LEFT);
    return layout;
}

CGSize logicalSize(PangoLayout* layout) {
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    return {static_cast<CGFloat>(logical.width) / PANGO_SCALE, static_cast<CGFloat>(logical.height) / PANGO_SCALE};
}
} // namespace

CGSize CGTextMeasure(const std::string& text, const CGTextStyle& style, CGFloat maxWidth) {
    if (text.empty()) return CGSizeZero;
    std::lock_guard<std::mutex> guard(textLock);
    PangoContext* context = pango_font_map_create_context(fontMap());
    setFontOptions(context);
    PangoLayout* layout = layoutText(context, text, style, maxWidth);
    CGSize size = logicalSize(layout);
    g_object_unref(layout);
    g_object_unref(context);
    return size;
}

void CGContext::drawText(const std::string& text, const CGTextStyle& style, const CGRect& rect) {
    if (text.empty() || CGRectIsEmpty(rect)) return;
    std::lock_guard<std::mutex> guard(textLock);
    auto r = CGRectStandardize(rect);
    cairo_new_path(cr_);
    render([&](cairo_t* c) {
        PangoContext* context = pango_font_map_create_context(fontMap());
        setFontOptions(context);
        pango_cairo_update_context(c, context);
        PangoLayout* layout = layoutText(context, text, style, r.size.width);
        cairo_set_source_rgba(c, state_.fill.red, state_.fill.green, state_.fill.blue, state_.fill.alpha);
        cairo_save(c);
        cairo_rectangle(c, r.origin.x, r.origin.y, r.size.width, r.size.height);
        cairo_clip(c);
        // Centred vertically in the rectangle, as a label sets its lines.
        CGFloat top = r.origin.y + std::max(0.0, (r.size.height - logicalSize(layout).height) / 2);
        cairo_move_to(c, r.origin.x, top);
        pango_cairo_show_layout(c, layout);
        cairo_restore(c);
        g_object_unref(layout);
        g_object_unref(context);
    });
}

// The graphics stack (cairo, pango and fontconfig with freetype and harfbuzz, gdk-pixbuf with glib,
// libjpeg, giflib, libexif), opened when the first view is drawn or the first image decoded: linked
// in, it and the libraries it needs would be loaded and relocated at the start of every process,
// about half the start's time, though a process that draws nothing (a transfer, a hand-over, the
// background work) never calls it. These libraries are not linked: a function of theirs called for
// the first time needs its line here, or the link fails naming it.

#include <cstdio>

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gif_lib.h>
#include <jpeglib.h>
#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include "platform/foundation/LazyLibrary.h"

namespace {
static_assert(JPEG_LIB_VERSION == 62, "libjpeg.so.62 is the soname of the 6b interface these headers describe");
static_assert(GIFLIB_MAJOR == 5, "libgif.so.7 is the soname of giflib 5");
LazyLibrary pangocairo{"libpangocairo-1.0.so.0"};
LazyLibrary pango{"libpango-1.0.so.0"};
LazyLibrary pangoft2{"libpangoft2-1.0.so.0"};
LazyLibrary cairo{"libcairo.so.2"};
LazyLibrary fontconfig{"libfontconfig.so.1"};
LazyLibrary gobject{"libgobject-2.0.so.0"};
LazyLibrary glib{"libglib-2.0.so.0"};
LazyLibrary gdkPixbuf{"libgdk_pixbuf-2.0.so.0"};
LazyLibrary jpeg{"libjpeg.so.62"};
LazyLibrary gif{"libgif.so.7"};
LazyLibrary exif{"libexif.so.12"};
} // namespace

TD_LAZY_FUNCTION(pangocairo, void, pango_cairo_context_set_font_options, (PangoContext* context, const cairo_font_options_t* options),
                 (context, options))
TD_LAZY_FUNCTION(pangocairo, void, pango_cairo_context_set_resolution, (PangoContext* context, double dpi), (context, dpi))
TD_LAZY_FUNCTION(pangocairo, PangoFontMap*, pango_cairo_font_map_new_for_font_type, (cairo_font_type_t fonttype), (fonttype))
TD_LAZY_FUNCTION(pangocairo, void, pango_cairo_show_layout, (cairo_t* cr, PangoLayout* layout), (cr, layout))
TD_LAZY_FUNCTION(pangocairo, void, pango_cairo_update_context, (cairo_t* cr, PangoContext* context), (cr, context))

TD_LAZY_FUNCTION(pango, void, pango_context_set_round_glyph_positions, (PangoContext* context, gboolean round_positions),
                 (context, round_positions))
TD_LAZY_FUNCTION(pango, void, pango_font_description_free, (PangoFontDescription* desc), (desc))
TD_LAZY_FUNCTION(pango, PangoFontDescription*, pango_font_description_new, (void), ())
TD_LAZY_FUNCTION(pango, void, pango_font_description_set_absolute_size, (PangoFontDescription* desc, double size), (desc, size))
TD_LAZY_FUNCTION(pango, void, pango_font_description_set_family, (PangoFontDescription* desc, const char* family), (desc, family))
TD_LAZY_FUNCTION(pango, void, pango_font_description_set_style, (PangoFontDescription* desc, PangoStyle style), (desc, style))
TD_LAZY_FUNCTION(pango, void, pango_font_description_set_weight, (PangoFontDescription* desc, PangoWeight weight), (desc, weight))
TD_LAZY_FUNCTION(pango, PangoContext*, pango_font_map_create_context, (PangoFontMap* fontmap), (fontmap))
TD_LAZY_FUNCTION(pango, void, pango_layout_get_extents, (PangoLayout* layout, PangoRectangle* ink_rect, PangoRectangle* logical_rect),
                 (layout, ink_rect, logical_rect))
TD_LAZY_FUNCTION(pango, PangoLayout*, pango_layout_new, (PangoContext* context), (context))
TD_LAZY_FUNCTION(pango, void, pango_layout_set_alignment, (PangoLayout* layout, PangoAlignment alignment), (layout, alignment))
TD_LAZY_FUNCTION(pango, void, pango_layout_set_ellipsize, (PangoLayout* layout, PangoEllipsizeMode ellipsize), (layout, ellipsize))
TD_LAZY_FUNCTION(pango, void, pango_layout_set_font_description, (PangoLayout* layout, const PangoFontDescription* desc), (layout, desc))
TD_LAZY_FUNCTION(pango, void, pango_layout_set_height, (PangoLayout* layout, int height), (layout, height))
TD_LAZY_FUNCTION(pango, void, pango_layout_set_text, (PangoLayout* layout, const char* text, int length), (layout, text, length))
TD_LAZY_FUNCTION(pango, void, pango_layout_set_width, (PangoLayout* layout, int width), (layout, width))
TD_LAZY_FUNCTION(pango, void, pango_layout_set_wrap, (PangoLayout* layout, PangoWrapMode wrap), (layout, wrap))

TD_LAZY_FUNCTION(pangoft2, GType, pango_fc_font_map_get_type, (void), ())
TD_LAZY_FUNCTION(pangoft2, void, pango_fc_font_map_set_config, (PangoFcFontMap* fcfontmap, FcConfig* fcconfig), (fcfontmap, fcconfig))

TD_LAZY_FUNCTION(cairo, void, cairo_append_path, (cairo_t* cr, const cairo_path_t* path), (cr, path))
TD_LAZY_FUNCTION(cairo, void, cairo_arc, (cairo_t* cr, double xc, double yc, double radius, double angle1, double angle2),
                 (cr, xc, yc, radius, angle1, angle2))
TD_LAZY_FUNCTION(cairo, void, cairo_arc_negative, (cairo_t* cr, double xc, double yc, double radius, double angle1, double angle2),
                 (cr, xc, yc, radius, angle1, angle2))
TD_LAZY_FUNCTION(cairo, void, cairo_clip, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_close_path, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, cairo_path_t*, cairo_copy_path, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, cairo_t*, cairo_create, (cairo_surface_t* target), (target))
TD_LAZY_FUNCTION(cairo, void, cairo_curve_to, (cairo_t* cr, double x1, double y1, double x2, double y2, double x3, double y3),
                 (cr, x1, y1, x2, y2, x3, y3))
TD_LAZY_FUNCTION(cairo, void, cairo_destroy, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_fill, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, cairo_font_options_t*, cairo_font_options_create, (void), ())
TD_LAZY_FUNCTION(cairo, void, cairo_font_options_destroy, (cairo_font_options_t* options), (options))
TD_LAZY_FUNCTION(cairo, void, cairo_font_options_set_antialias, (cairo_font_options_t* options, cairo_antialias_t antialias),
                 (options, antialias))
TD_LAZY_FUNCTION(cairo, void, cairo_font_options_set_hint_metrics, (cairo_font_options_t* options, cairo_hint_metrics_t hint_metrics),
                 (options, hint_metrics))
TD_LAZY_FUNCTION(cairo, void, cairo_font_options_set_hint_style, (cairo_font_options_t* options, cairo_hint_style_t hint_style),
                 (options, hint_style))
TD_LAZY_FUNCTION(cairo, void, cairo_get_current_point, (cairo_t* cr, double* x, double* y), (cr, x, y))
TD_LAZY_FUNCTION(cairo, cairo_fill_rule_t, cairo_get_fill_rule, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, cairo_line_cap_t, cairo_get_line_cap, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, cairo_line_join_t, cairo_get_line_join, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, double, cairo_get_line_width, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_get_matrix, (cairo_t* cr, cairo_matrix_t* matrix), (cr, matrix))
TD_LAZY_FUNCTION(cairo, cairo_pattern_t*, cairo_get_source, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, cairo_bool_t, cairo_has_current_point, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_identity_matrix, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, cairo_surface_t*, cairo_image_surface_create, (cairo_format_t format, int width, int height),
                 (format, width, height))
TD_LAZY_FUNCTION(cairo, cairo_surface_t*, cairo_image_surface_create_from_png, (const char* filename), (filename))
TD_LAZY_FUNCTION(cairo, cairo_surface_t*, cairo_image_surface_create_from_png_stream, (cairo_read_func_t read_func, void* closure),
                 (read_func, closure))
TD_LAZY_FUNCTION(cairo, unsigned char*, cairo_image_surface_get_data, (cairo_surface_t* surface), (surface))
TD_LAZY_FUNCTION(cairo, cairo_format_t, cairo_image_surface_get_format, (cairo_surface_t* surface), (surface))
TD_LAZY_FUNCTION(cairo, int, cairo_image_surface_get_height, (cairo_surface_t* surface), (surface))
TD_LAZY_FUNCTION(cairo, int, cairo_image_surface_get_stride, (cairo_surface_t* surface), (surface))
TD_LAZY_FUNCTION(cairo, int, cairo_image_surface_get_width, (cairo_surface_t* surface), (surface))
TD_LAZY_FUNCTION(cairo, void, cairo_line_to, (cairo_t* cr, double x, double y), (cr, x, y))
TD_LAZY_FUNCTION(cairo, void, cairo_mask, (cairo_t* cr, cairo_pattern_t* pattern), (cr, pattern))
TD_LAZY_FUNCTION(cairo, void, cairo_matrix_init, (cairo_matrix_t* matrix, double xx, double yx, double xy, double yy, double x0, double y0),
                 (matrix, xx, yx, xy, yy, x0, y0))
TD_LAZY_FUNCTION(cairo, void, cairo_matrix_init_scale, (cairo_matrix_t* matrix, double sx, double sy), (matrix, sx, sy))
TD_LAZY_FUNCTION(cairo, void, cairo_move_to, (cairo_t* cr, double x, double y), (cr, x, y))
TD_LAZY_FUNCTION(cairo, void, cairo_new_path, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_paint, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_paint_with_alpha, (cairo_t* cr, double alpha), (cr, alpha))
TD_LAZY_FUNCTION(cairo, void, cairo_path_destroy, (cairo_path_t* path), (path))
TD_LAZY_FUNCTION(cairo, void, cairo_pattern_add_color_stop_rgba, (cairo_pattern_t* pattern, double offset, double red, double green,
                 double blue, double alpha),
                 (pattern, offset, red, green, blue, alpha))
TD_LAZY_FUNCTION(cairo, cairo_pattern_t*, cairo_pattern_create_for_surface, (cairo_surface_t* surface), (surface))
TD_LAZY_FUNCTION(cairo, cairo_pattern_t*, cairo_pattern_create_linear, (double x0, double y0, double x1, double y1), (x0, y0, x1, y1))
TD_LAZY_FUNCTION(cairo, void, cairo_pattern_destroy, (cairo_pattern_t* pattern), (pattern))
TD_LAZY_FUNCTION(cairo, void, cairo_pattern_set_extend, (cairo_pattern_t* pattern, cairo_extend_t extend), (pattern, extend))
TD_LAZY_FUNCTION(cairo, void, cairo_pattern_set_filter, (cairo_pattern_t* pattern, cairo_filter_t filter), (pattern, filter))
TD_LAZY_FUNCTION(cairo, void, cairo_pattern_set_matrix, (cairo_pattern_t* pattern, const cairo_matrix_t* matrix), (pattern, matrix))
TD_LAZY_FUNCTION(cairo, cairo_pattern_t*, cairo_pop_group, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_pop_group_to_source, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_push_group, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_rectangle, (cairo_t* cr, double x, double y, double width, double height), (cr, x, y, width, height))
TD_LAZY_FUNCTION(cairo, void, cairo_restore, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_rotate, (cairo_t* cr, double angle), (cr, angle))
TD_LAZY_FUNCTION(cairo, void, cairo_save, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_scale, (cairo_t* cr, double sx, double sy), (cr, sx, sy))
TD_LAZY_FUNCTION(cairo, void, cairo_select_font_face, (cairo_t* cr, const char* family, cairo_font_slant_t slant,
                 cairo_font_weight_t weight),
                 (cr, family, slant, weight))
TD_LAZY_FUNCTION(cairo, void, cairo_set_fill_rule, (cairo_t* cr, cairo_fill_rule_t fill_rule), (cr, fill_rule))
TD_LAZY_FUNCTION(cairo, void, cairo_set_font_size, (cairo_t* cr, double size), (cr, size))
TD_LAZY_FUNCTION(cairo, void, cairo_set_line_cap, (cairo_t* cr, cairo_line_cap_t line_cap), (cr, line_cap))
TD_LAZY_FUNCTION(cairo, void, cairo_set_line_join, (cairo_t* cr, cairo_line_join_t line_join), (cr, line_join))
TD_LAZY_FUNCTION(cairo, void, cairo_set_line_width, (cairo_t* cr, double width), (cr, width))
TD_LAZY_FUNCTION(cairo, void, cairo_set_matrix, (cairo_t* cr, const cairo_matrix_t* matrix), (cr, matrix))
TD_LAZY_FUNCTION(cairo, void, cairo_set_source, (cairo_t* cr, cairo_pattern_t* source), (cr, source))
TD_LAZY_FUNCTION(cairo, void, cairo_set_source_rgb, (cairo_t* cr, double red, double green, double blue), (cr, red, green, blue))
TD_LAZY_FUNCTION(cairo, void, cairo_set_source_rgba, (cairo_t* cr, double red, double green, double blue, double alpha),
                 (cr, red, green, blue, alpha))
TD_LAZY_FUNCTION(cairo, void, cairo_set_source_surface, (cairo_t* cr, cairo_surface_t* surface, double x, double y), (cr, surface, x, y))
TD_LAZY_FUNCTION(cairo, void, cairo_show_text, (cairo_t* cr, const char* utf8), (cr, utf8))
TD_LAZY_FUNCTION(cairo, void, cairo_stroke, (cairo_t* cr), (cr))
TD_LAZY_FUNCTION(cairo, void, cairo_surface_destroy, (cairo_surface_t* surface), (surface))
TD_LAZY_FUNCTION(cairo, void, cairo_surface_flush, (cairo_surface_t* surface), (surface))
TD_LAZY_FUNCTION(cairo, void, cairo_surface_mark_dirty, (cairo_surface_t* surface), (surface))
TD_LAZY_FUNCTION(cairo, cairo_surface_t*, cairo_surface_reference, (cairo_surface_t* surface), (surface))
TD_LAZY_FUNCTION(cairo, cairo_status_t, cairo_surface_status, (cairo_surface_t* surface), (surface))
TD_LAZY_FUNCTION(cairo, cairo_status_t, cairo_surface_write_to_png_stream, (cairo_surface_t* surface, cairo_write_func_t write_func,
                 void* closure),
                 (surface, write_func, closure))
TD_LAZY_FUNCTION(cairo, void, cairo_transform, (cairo_t* cr, const cairo_matrix_t* matrix), (cr, matrix))
TD_LAZY_FUNCTION(cairo, void, cairo_translate, (cairo_t* cr, double tx, double ty), (cr, tx, ty))

TD_LAZY_FUNCTION(fontconfig, FcBool, FcConfigAppFontAddFile, (FcConfig* config, const FcChar8* file), (config, file))
TD_LAZY_FUNCTION(fontconfig, FcConfig*, FcConfigCreate, (void), ())
TD_LAZY_FUNCTION(fontconfig, void, FcConfigDestroy, (FcConfig* config), (config))

TD_LAZY_FUNCTION(gobject, void, g_object_unref, (gpointer object), (object))
TD_LAZY_FUNCTION(gobject, gulong, g_signal_connect_data, (gpointer instance, const gchar* detailed_signal, GCallback c_handler,
                 gpointer data, GClosureNotify destroy_data, GConnectFlags connect_flags),
                 (instance, detailed_signal, c_handler, data, destroy_data, connect_flags))
TD_LAZY_FUNCTION(gobject, GTypeInstance*, g_type_check_instance_cast, (GTypeInstance* instance, GType iface_type), (instance, iface_type))

TD_LAZY_FUNCTION(glib, void, g_clear_error, (GError** err), (err))

TD_LAZY_FUNCTION(gdkPixbuf, int, gdk_pixbuf_get_bits_per_sample, (const GdkPixbuf* pixbuf), (pixbuf))
TD_LAZY_FUNCTION(gdkPixbuf, GdkColorspace, gdk_pixbuf_get_colorspace, (const GdkPixbuf* pixbuf), (pixbuf))
TD_LAZY_FUNCTION(gdkPixbuf, gboolean, gdk_pixbuf_get_has_alpha, (const GdkPixbuf* pixbuf), (pixbuf))
TD_LAZY_FUNCTION(gdkPixbuf, int, gdk_pixbuf_get_height, (const GdkPixbuf* pixbuf), (pixbuf))
TD_LAZY_FUNCTION(gdkPixbuf, int, gdk_pixbuf_get_n_channels, (const GdkPixbuf* pixbuf), (pixbuf))
TD_LAZY_FUNCTION(gdkPixbuf, int, gdk_pixbuf_get_rowstride, (const GdkPixbuf* pixbuf), (pixbuf))
TD_LAZY_FUNCTION(gdkPixbuf, int, gdk_pixbuf_get_width, (const GdkPixbuf* pixbuf), (pixbuf))
TD_LAZY_FUNCTION(gdkPixbuf, gboolean, gdk_pixbuf_loader_close, (GdkPixbufLoader* loader, GError** error), (loader, error))
TD_LAZY_FUNCTION(gdkPixbuf, GdkPixbuf*, gdk_pixbuf_loader_get_pixbuf, (GdkPixbufLoader* loader), (loader))
TD_LAZY_FUNCTION(gdkPixbuf, GdkPixbufLoader*, gdk_pixbuf_loader_new_with_type, (const char* image_type, GError** error),
                 (image_type, error))
TD_LAZY_FUNCTION(gdkPixbuf, void, gdk_pixbuf_loader_set_size, (GdkPixbufLoader* loader, int width, int height), (loader, width, height))
TD_LAZY_FUNCTION(gdkPixbuf, gboolean, gdk_pixbuf_loader_write, (GdkPixbufLoader* loader, const guchar* buf, gsize count, GError** error),
                 (loader, buf, count, error))
TD_LAZY_FUNCTION(gdkPixbuf, const guint8*, gdk_pixbuf_read_pixels, (const GdkPixbuf* pixbuf), (pixbuf))

TD_LAZY_FUNCTION(jpeg, void, jpeg_CreateCompress, (j_compress_ptr cinfo, int version, size_t structsize), (cinfo, version, structsize))
TD_LAZY_FUNCTION(jpeg, void, jpeg_CreateDecompress, (j_decompress_ptr cinfo, int version, size_t structsize), (cinfo, version, structsize))
TD_LAZY_FUNCTION(jpeg, void, jpeg_destroy_compress, (j_compress_ptr cinfo), (cinfo))
TD_LAZY_FUNCTION(jpeg, void, jpeg_destroy_decompress, (j_decompress_ptr cinfo), (cinfo))
TD_LAZY_FUNCTION(jpeg, void, jpeg_finish_compress, (j_compress_ptr cinfo), (cinfo))
TD_LAZY_FUNCTION(jpeg, boolean, jpeg_finish_decompress, (j_decompress_ptr cinfo), (cinfo))
TD_LAZY_FUNCTION(jpeg, void, jpeg_mem_dest, (j_compress_ptr cinfo, unsigned char** outbuffer, unsigned long* outsize),
                 (cinfo, outbuffer, outsize))
TD_LAZY_FUNCTION(jpeg, void, jpeg_mem_src, (j_decompress_ptr cinfo, const unsigned char* inbuffer, unsigned long insize),
                 (cinfo, inbuffer, insize))
TD_LAZY_FUNCTION(jpeg, int, jpeg_read_header, (j_decompress_ptr cinfo, boolean require_image), (cinfo, require_image))
TD_LAZY_FUNCTION(jpeg, JDIMENSION, jpeg_read_scanlines, (j_decompress_ptr cinfo, JSAMPARRAY scanlines, JDIMENSION max_lines),
                 (cinfo, scanlines, max_lines))
TD_LAZY_FUNCTION(jpeg, boolean, jpeg_resync_to_restart, (j_decompress_ptr cinfo, int desired), (cinfo, desired))
TD_LAZY_FUNCTION(jpeg, void, jpeg_set_defaults, (j_compress_ptr cinfo), (cinfo))
TD_LAZY_FUNCTION(jpeg, void, jpeg_set_quality, (j_compress_ptr cinfo, int quality, boolean force_baseline),
                 (cinfo, quality, force_baseline))
TD_LAZY_FUNCTION(jpeg, void, jpeg_start_compress, (j_compress_ptr cinfo, boolean write_all_tables), (cinfo, write_all_tables))
TD_LAZY_FUNCTION(jpeg, boolean, jpeg_start_decompress, (j_decompress_ptr cinfo), (cinfo))
TD_LAZY_FUNCTION(jpeg, struct jpeg_error_mgr*, jpeg_std_error, (struct jpeg_error_mgr* err), (err))
TD_LAZY_FUNCTION(jpeg, void, jpeg_write_marker, (j_compress_ptr cinfo, int marker, const JOCTET* dataptr, unsigned int datalen),
                 (cinfo, marker, dataptr, datalen))
TD_LAZY_FUNCTION(jpeg, JDIMENSION, jpeg_write_scanlines, (j_compress_ptr cinfo, JSAMPARRAY scanlines, JDIMENSION num_lines),
                 (cinfo, scanlines, num_lines))

TD_LAZY_FUNCTION(gif, int, DGifCloseFile, (GifFileType* GifFile, int* ErrorCode), (GifFile, ErrorCode))
TD_LAZY_FUNCTION(gif, int, DGifExtensionToGCB, (const size_t GifExtensionLength, const GifByteType* GifExtension,
                 GraphicsControlBlock* GCB),
                 (GifExtensionLength, GifExtension, GCB))
TD_LAZY_FUNCTION(gif, int, DGifGetExtension, (GifFileType* GifFile, int* GifExtCode, GifByteType** GifExtension),
                 (GifFile, GifExtCode, GifExtension))
TD_LAZY_FUNCTION(gif, int, DGifGetExtensionNext, (GifFileType* GifFile, GifByteType** GifExtension), (GifFile, GifExtension))
TD_LAZY_FUNCTION(gif, int, DGifGetImageDesc, (GifFileType* GifFile), (GifFile))
TD_LAZY_FUNCTION(gif, int, DGifGetLine, (GifFileType* GifFile, GifPixelType* GifLine, int GifLineLen), (GifFile, GifLine, GifLineLen))
TD_LAZY_FUNCTION(gif, int, DGifGetRecordType, (GifFileType* GifFile, GifRecordType* GifType), (GifFile, GifType))
TD_LAZY_FUNCTION(gif, GifFileType*, DGifOpen, (void* userPtr, InputFunc readFunc, int* Error), (userPtr, readFunc, Error))
TD_LAZY_FUNCTION(gif, int, EGifCloseFile, (GifFileType* GifFile, int* ErrorCode), (GifFile, ErrorCode))
TD_LAZY_FUNCTION(gif, size_t, EGifGCBToExtension, (const GraphicsControlBlock* GCB, GifByteType* GifExtension), (GCB, GifExtension))
TD_LAZY_FUNCTION(gif, GifFileType*, EGifOpen, (void* userPtr, OutputFunc writeFunc, int* Error), (userPtr, writeFunc, Error))
TD_LAZY_FUNCTION(gif, int, EGifPutExtension, (GifFileType* GifFile, const int GifExtCode, const int GifExtLen, const void* GifExtension),
                 (GifFile, GifExtCode, GifExtLen, GifExtension))
TD_LAZY_FUNCTION(gif, int, EGifPutImageDesc, (GifFileType* GifFile, const int GifLeft, const int GifTop, const int GifWidth,
                 const int GifHeight, const bool GifInterlace, const ColorMapObject* GifColorMap),
                 (GifFile, GifLeft, GifTop, GifWidth, GifHeight, GifInterlace, GifColorMap))
TD_LAZY_FUNCTION(gif, int, EGifPutLine, (GifFileType* GifFile, GifPixelType* GifLine, int GifLineLen), (GifFile, GifLine, GifLineLen))
TD_LAZY_FUNCTION(gif, int, EGifPutScreenDesc, (GifFileType* GifFile, const int GifWidth, const int GifHeight, const int GifColorRes,
                 const int GifBackGround, const ColorMapObject* GifColorMap),
                 (GifFile, GifWidth, GifHeight, GifColorRes, GifBackGround, GifColorMap))
TD_LAZY_FUNCTION(gif, void, EGifSetGifVersion, (GifFileType* GifFile, const bool gif89), (GifFile, gif89))
TD_LAZY_FUNCTION(gif, void, GifFreeMapObject, (ColorMapObject* Object), (Object))
TD_LAZY_FUNCTION(gif, ColorMapObject*, GifMakeMapObject, (int ColorCount, const GifColorType* ColorMap), (ColorCount, ColorMap))

TD_LAZY_FUNCTION(exif, void, exif_content_add_entry, (ExifContent* c, ExifEntry* entry), (c, entry))
TD_LAZY_FUNCTION(exif, ExifEntry*, exif_content_get_entry, (ExifContent* content, ExifTag tag), (content, tag))
TD_LAZY_FUNCTION(exif, ExifByteOrder, exif_data_get_byte_order, (ExifData* data), (data))
TD_LAZY_FUNCTION(exif, ExifData*, exif_data_new, (void), ())
TD_LAZY_FUNCTION(exif, ExifData*, exif_data_new_from_data, (const unsigned char* data, unsigned int size), (data, size))
TD_LAZY_FUNCTION(exif, void, exif_data_save_data, (ExifData* data, unsigned char** d, unsigned int* ds), (data, d, ds))
TD_LAZY_FUNCTION(exif, void, exif_data_set_byte_order, (ExifData* data, ExifByteOrder order), (data, order))
TD_LAZY_FUNCTION(exif, void, exif_data_unref, (ExifData* data), (data))
TD_LAZY_FUNCTION(exif, void, exif_entry_initialize, (ExifEntry* e, ExifTag tag), (e, tag))
TD_LAZY_FUNCTION(exif, ExifEntry*, exif_entry_new, (void), ())
TD_LAZY_FUNCTION(exif, void, exif_entry_unref, (ExifEntry* entry), (entry))
TD_LAZY_FUNCTION(exif, ExifShort, exif_get_short, (const unsigned char* b, ExifByteOrder order), (b, order))
TD_LAZY_FUNCTION(exif, void, exif_set_short, (unsigned char* b, ExifByteOrder order, ExifShort value), (b, order, value))


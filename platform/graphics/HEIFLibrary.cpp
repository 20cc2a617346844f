// libheif, opened on first use: linked in, it and its codecs would be loaded and set up at every
// launch, though only a HEIF photo's decoding or encoding ever calls them.

#include <libheif/heif.h>

#include "platform/foundation/LazyLibrary.h"

namespace {
static_assert((LIBHEIF_NUMERIC_VERSION >> 24) == 1, "the soname below names libheif's major version");
LazyLibrary heif{"libheif.so.1"};
} // namespace

TD_LAZY_FUNCTION(heif, struct heif_context*, heif_context_alloc, (void), ())
TD_LAZY_FUNCTION(heif, void, heif_context_free, (struct heif_context * context), (context))
TD_LAZY_FUNCTION(heif, struct heif_error, heif_context_encode_image,
                 (struct heif_context * context, const struct heif_image* image, struct heif_encoder* encoder,
                  const struct heif_encoding_options* options, struct heif_image_handle** handle),
                 (context, image, encoder, options, handle))
TD_LAZY_FUNCTION(heif, struct heif_error, heif_context_get_encoder_for_format,
                 (struct heif_context * context, enum heif_compression_format format, struct heif_encoder** encoder),
                 (context, format, encoder))
TD_LAZY_FUNCTION(heif, struct heif_error, heif_context_get_primary_image_handle,
                 (struct heif_context * context, struct heif_image_handle** handle), (context, handle))
TD_LAZY_FUNCTION(heif, struct heif_error, heif_context_read_from_file,
                 (struct heif_context * context, const char* filename, const struct heif_reading_options* options),
                 (context, filename, options))
TD_LAZY_FUNCTION(heif, struct heif_error, heif_context_read_from_memory_without_copy,
                 (struct heif_context * context, const void* memory, size_t size, const struct heif_reading_options* options),
                 (context, memory, size, options))
TD_LAZY_FUNCTION(heif, struct heif_error, heif_context_write,
                 (struct heif_context * context, struct heif_writer* writer, void* userdata), (context, writer, userdata))
TD_LAZY_FUNCTION(heif, struct heif_error, heif_decode_image,
                 (const struct heif_image_handle* handle, struct heif_image** image, enum heif_colorspace colorspace,
                  enum heif_chroma chroma, const struct heif_decoding_options* options),
                 (handle, image, colorspace, chroma, options))
TD_LAZY_FUNCTION(heif, void, heif_encoder_release, (struct heif_encoder * encoder), (encoder))
TD_LAZY_FUNCTION(heif, struct heif_error, heif_encoder_set_lossy_quality, (struct heif_encoder * encoder, int quality),
                 (encoder, quality))
TD_LAZY_FUNCTION(heif, struct heif_error, heif_image_add_plane,
                 (struct heif_image * image, enum heif_channel channel, int width, int height, int depth),
                 (image, channel, width, height, depth))
TD_LAZY_FUNCTION(heif, struct heif_error, heif_image_create,
                 (int width, int height, enum heif_colorspace colorspace, enum heif_chroma chroma, struct heif_image** image),
                 (width, height, colorspace, chroma, image))
TD_LAZY_FUNCTION(heif, int, heif_image_get_height, (const struct heif_image* image, enum heif_channel channel), (image, channel))
TD_LAZY_FUNCTION(heif, int, heif_image_get_width, (const struct heif_image* image, enum heif_channel channel), (image, channel))
TD_LAZY_FUNCTION(heif, uint8_t*, heif_image_get_plane, (struct heif_image * image, enum heif_channel channel, int* stride),
                 (image, channel, stride))
TD_LAZY_FUNCTION(heif, const uint8_t*, heif_image_get_plane_readonly,
                 (const struct heif_image* image, enum heif_channel channel, int* stride), (image, channel, stride))
TD_LAZY_FUNCTION(heif, void, heif_image_release, (const struct heif_image* image), (image))
TD_LAZY_FUNCTION(heif, int, heif_image_handle_get_height, (const struct heif_image_handle* handle), (handle))
TD_LAZY_FUNCTION(heif, int, heif_image_handle_get_width, (const struct heif_image_handle* handle), (handle))
TD_LAZY_FUNCTION(heif, int, heif_image_handle_has_alpha_channel, (const struct heif_image_handle* handle), (handle))
TD_LAZY_FUNCTION(heif, int, heif_image_handle_get_list_of_metadata_block_IDs,
                 (const struct heif_image_handle* handle, const char* type, heif_item_id* ids, int count), (handle, type, ids, count))
TD_LAZY_FUNCTION(heif, struct heif_error, heif_image_handle_get_metadata,
                 (const struct heif_image_handle* handle, heif_item_id id, void* data), (handle, id, data))
TD_LAZY_FUNCTION(heif, size_t, heif_image_handle_get_metadata_size, (const struct heif_image_handle* handle, heif_item_id id),
                 (handle, id))
TD_LAZY_FUNCTION(heif, void, heif_image_handle_release, (const struct heif_image_handle* handle), (handle))

// Photo headers: JPEG markers up to the first scan, PNG's header chunk, HEIF's boxes through
// libheif; EXIF entries through libexif.
#include "platform/graphics/CGImageProperties.h"

#include "platform/foundation/RegularFile.h"

#include <libexif/exif-data.h>
#include <libheif/heif.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <memory>

namespace CGImageProperties {
namespace {
using CGImageDecoding::ImageType;

constexpr char kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
// Enough for the markers before the first scan of most cameras' JPEGs (EXIF's segment holds at
// most 64 KB); longer headers read on.
constexpr std::size_t kFirstHeaderReadLength = 96 * 1024;

int be16(const std::uint8_t* p) { return (p[0] << 8) | p[1]; }

struct ExifFree {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};

// Orientation and date from an EXIF block that begins with "Exif\0\0".
void readExif(const std::uint8_t* block, std::size_t length, Properties& out) {
    std::unique_ptr<ExifData, ExifFree> data(exif_data_new_from_data(block, static_cast<unsigned>(length)));
    if (!data) return;
    const ExifByteOrder order = exif_data_get_byte_order(data.get());
    if (ExifEntry* entry = exif_data_get_entry(data.get(), EXIF_TAG_ORIENTATION);
        entry && entry->format == EXIF_FORMAT_SHORT && entry->components >= 1) {
        int value = exif_get_short(entry->data, order);
        if (value >= 1 && value <= 8) out.orientation = value;
    }
    for (ExifTag tag : {EXIF_TAG_DATE_TIME_ORIGINAL, EXIF_TAG_DATE_TIME}) {
        ExifEntry* entry = exif_data_get_entry(data.get(), tag);
        if (!entry || entry->format != EXIF_FORMAT_ASCII || entry->size < 19) continue;
        out.dateTimeOriginal.assign(reinterpret_cast<const char*>(entry->data), 19);
        break;
    }
}

bool isStartOfFrame(int marker) { return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC; }

// false when the bytes end before the frame header.
bool readJPEG(const std::uint8_t* bytes, std::size_t length, Properties& out) {
    std::size_t at = 2;
    while (at + 4 <= length) {
        if (bytes[at] != 0xFF) return false;
        const int marker = bytes[at + 1];
        if (marker == 0xFF) { ++at; continue; }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { at += 2; continue; }
        const std::size_t segment = static_cast<std::size_t>(be16(bytes + at + 2));
        if (segment < 2 || at + 2 + segment > length) return false;
        const std::uint8_t* payload = bytes + at + 4;
        if (marker == 0xE1 && segment >= 8 && std::memcmp(payload, kExifHeader, sizeof kExifHeader) == 0)
            readExif(payload, segment - 2, out);
        if (isStartOfFrame(marker) && segment >= 7) {
            out.pixelHeight = be16(payload + 1);
            out.pixelWidth = be16(payload + 3);
            out.type = ImageType::JPEG;
            return true;
        }
        if (marker == 0xDA) return false;
        at += 2 + segment;
    }
    return false;
}

struct ImagePropertiesContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct ImagePropertiesHandleRelease {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};

// libheif applies the file's rotation when decoding, so the size given is the shown one and the
// orientation stays 1; the EXIF block only gives the date.
void readHEIF(heif_context* context, Properties& out) {
    heif_image_handle* raw = nullptr;
    if (heif_context_get_primary_image_handle(context, &raw).code != heif_error_Ok) return;
    std::unique_ptr<heif_image_handle, ImagePropertiesHandleRelease> handle(raw);
    out.pixelWidth = heif_image_handle_get_width(handle.get());
    out.pixelHeight = heif_image_handle_get_height(handle.get());
    out.type = ImageType::HEIF;
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "Exif", &id, 1) != 1) return;
    std::vector<std::uint8_t> block(heif_image_handle_get_metadata_size(handle.get(), id));
    if (block.size() < 4 || heif_image_handle_get_metadata(handle.get(), id, block.data()).code != heif_error_Ok) return;
    // The block opens with the offset of the TIFF header.
    const std::size_t offset = 4 + ((std::size_t{block[0]} << 24) | (block[1] << 16) | (block[2] << 8) | block[3]);
    if (offset >= block.size()) return;
    std::vector<std::uint8_t> exif(kExifHeader, kExifHeader + sizeof kExifHeader);
    exif.insert(exif.end(), block.begin() + static_cast<std::ptrdiff_t>(offset), block.end());
    Properties dated;
    readExif(exif.data(), exif.size(), dated);
    out.dateTimeOriginal = dated.dateTimeOriginal;
}
} // namespace

Properties propertiesOfImageData(const std::uint8_t* bytes, std::size_t length) {
    Properties out;
    switch (CGImageDecoding::typeOfImageData(bytes, length)) {
    case ImageType::JPEG: readJPEG(bytes, length, out); break;
    case ImageType::PNG:
        if (length >= 24) {
            out.type = ImageType::PNG;
            out.pixelWidth = static_cast<int>((bytes[16] << 24) | (bytes[17] << 16) | (bytes[18] << 8) | bytes[19]);
            out.pixelHeight = static_cast<int>((bytes[20] << 24) | (bytes[21] << 16) | (bytes[22] << 8) | bytes[23]);
        }
        break;
    case ImageType::HEIF: {
        std::unique_ptr<heif_context, ImagePropertiesContextFree> context(heif_context_alloc());
        if (heif_context_read_from_memory_without_copy(context.get(), bytes, length, nullptr).code == heif_error_Ok)
            readHEIF(context.get(), out);
        break;
    }
    case ImageType::GIF:
        if (length >= 10) {
            out.type = ImageType::GIF;
            out.pixelWidth = bytes[6] | (bytes[7] << 8);
            out.pixelHeight = bytes[8] | (bytes[9] << 8);
        }
        break;
    case ImageType::Unknown: break;
    }
    if (!out.valid()) return {};
    return out;
}

namespace {
// Reads up to `length` more bytes of a file straight onto the end of the buffer; false at the
// file's end (or on an error), when fewer came.
bool extendFromFile(int fd, std::vector<std::uint8_t>& bytes, std::size_t length) {
    const std::size_t start = bytes.size();
    bytes.resize(start + length);
    std::size_t filled = 0;
    while (filled < length) {
        ssize_t n = ::read(fd, bytes.data() + start + filled, length - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        filled += static_cast<std::size_t>(n);
    }
    bytes.resize(start + filled);
    return filled == length;
}
} // namespace

Properties propertiesOfImageFile(const std::string& hostPath) {
    // Whatever stands at the path is opened without waiting: a FIFO named like a photo is no image.
    NSRegularFile file = NSOpenRegularFileAt(AT_FDCWD, hostPath);
    if (!file) return {};
    // A camera's markers before the first scan fit in the first read; headers that reach past it
    // (a large EXIF preview) are read on, the buffer doubling, until the frame header or the end.
    std::vector<std::uint8_t> head;
    bool more = extendFromFile(file.fd.get(), head, kFirstHeaderReadLength);
    if (CGImageDecoding::typeOfImageData(head.data(), head.size()) == ImageType::HEIF) {
        Properties out;
        std::unique_ptr<heif_context, ImagePropertiesContextFree> context(heif_context_alloc());
        if (heif_context_read_from_file(context.get(), hostPath.c_str(), nullptr).code == heif_error_Ok)
            readHEIF(context.get(), out);
        return out.valid() ? out : Properties{};
    }
    for (;;) {
        Properties out = propertiesOfImageData(head.data(), head.size());
        if (out.valid() || !more) return out;
        more = extendFromFile(file.fd.get(), head, head.size());
    }
}

std::vector<std::uint8_t> exifBlock(int orientation, const std::string& dateTimeOriginal) {
    std::unique_ptr<ExifData, ExifFree> data(exif_data_new());
    if (!data) return {};
    exif_data_set_byte_order(data.get(), EXIF_BYTE_ORDER_MOTOROLA);
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(data->ifd[EXIF_IFD_0], entry);
    exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
    exif_set_short(entry->data, EXIF_BYTE_ORDER_MOTOROLA, static_cast<ExifShort>(orientation));
    exif_entry_unref(entry);
    if (dateTimeOriginal.size() == 19) {
        // Initialised with the current time in a buffer of the text and its terminating zero.
        ExifEntry* date = exif_entry_new();
        exif_content_add_entry(data->ifd[EXIF_IFD_EXIF], date);
        exif_entry_initialize(date, EXIF_TAG_DATE_TIME_ORIGINAL);
        if (date->data && date->size >= 20) std::memcpy(date->data, dateTimeOriginal.c_str(), 20);
        exif_entry_unref(date);
    }
    unsigned char* bytes = nullptr;
    unsigned int size = 0;
    exif_data_save_data(data.get(), &bytes, &size);
    std::vector<std::uint8_t> out;
    if (bytes) out.assign(bytes, bytes + size);
    std::free(bytes);
    return out;
}

} // namespace CGImageProperties

#include "platform/media/SampleMedia.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/WholeFile.h"
#include "platform/graphics/CGImageEncoding.h"
#include "platform/media/MediaWriter.h"
#include "platform/media/SongFile.h"

#include <cairo.h>

#include <cmath>
#include <numbers>

namespace SampleMedia {
namespace {
void hueToRGB(double hue, double& r, double& g, double& b) {
    auto channel = [hue](double offset) { return 0.5 + 0.5 * std::cos(2 * std::numbers::pi * (hue + offset)); };
    r = channel(0);
    g = channel(2.0 / 3);
    b = channel(1.0 / 3);
}

bool makeParent(const std::string& devicePath) {
    return NSFileManager::defaultManager()->createDirectoryAtPath(NSString::stringByDeletingLastPathComponent(devicePath), true,
                                                                  nullptr, nullptr);
}

bool writeBytes(const std::string& devicePath, std::vector<std::uint8_t> bytes) {
    if (bytes.empty() || !makeParent(devicePath)) return false;
    NSData data(std::move(bytes));
    return NSFileManager::defaultManager()->createFileAtPath(devicePath, &data, nullptr);
}
} // namespace

CGImageRef picture(int width, int height, const std::string& label, double hue) {
    auto image = CGImage::createWithSize(width, height);
    if (!image) return nullptr;
    cairo_t* cr = cairo_create(image->surface());
    const int bands = 8;
    for (int i = 0; i < bands; ++i) {
        double r, g, b;
        hueToRGB(hue + i / static_cast<double>(bands) * 0.5, r, g, b);
        cairo_set_source_rgb(cr, r, g, b);
        cairo_rectangle(cr, 0, height * i / static_cast<double>(bands), width, height / static_cast<double>(bands) + 1);
        cairo_fill(cr);
    }
    const double square = std::max(2, std::min(width, height) / 8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            if ((x + y) % 2) cairo_set_source_rgb(cr, 1, 1, 1);
            else cairo_set_source_rgb(cr, 1, 0, 0);
            cairo_rectangle(cr, x * square, y * square, square, square);
            cairo_fill(cr);
        }
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, std::max(8.0, height / 10.0));
    cairo_move_to(cr, width * 0.1, height * 0.55);
    cairo_show_text(cr, label.c_str());
    cairo_destroy(cr);
    cairo_surface_mark_dirty(image->surface());
    return image;
}

bool writePhoto(const std::string& devicePath, const CGImage& picture, PhotoFormat format, int exifOrientation,
                const std::string& exifDate) {
    switch (format) {
    case PhotoFormat::JPEG: return writeBytes(devicePath, CGImageEncoding::jpegData(picture, 0.85, exifOrientation, exifDate));
    case PhotoFormat::PNG: return writeBytes(devicePath, picture.pngData());
    case PhotoFormat::HEIC: return writeBytes(devicePath, CGImageEncoding::heifData(picture, 0.7));
    }
    return false;
}

bool writeVideo(const std::string& devicePath, int width, int height, double seconds, std::optional<double> creationTime) {
    constexpr int kFramesPerSecond = 10;
    WholeFileWriter file;
    if (!makeParent(devicePath) || file.begin(devicePath) != 0) return false;
    {
        auto writer = MediaWriter::forVideo(file.temporaryHostPath(), width, height, kFramesPerSecond, creationTime);
        if (!writer) return false;
        const int frames = std::max(1, static_cast<int>(std::lround(seconds * kFramesPerSecond)));
        for (int i = 0; i < frames; ++i) {
            auto frame = picture(width, height, "Video " + std::to_string(i / kFramesPerSecond), i / static_cast<double>(frames));
            if (!frame || !writer->appendFrame(*frame)) return false;
        }
        if (!writer->finish()) return false;
    }
    return file.commit(WholeFileWriter::Sync::None) == 0;
}

bool writeSong(const std::string& devicePath, double seconds, const std::string& title, const std::string& artist,
               const std::string& album, const std::string& artworkLabel) {
    constexpr int kRate = 44100;
    // Encoded and tagged under a temporary name: the library never holds half a song.
    WholeFileWriter file;
    if (!makeParent(devicePath) || file.begin(devicePath) != 0) return false;
    const std::string host = file.temporaryHostPath();
    const bool mp3 = NSString::lowercaseString(NSString::pathExtension(devicePath)) == "mp3";
    {
        auto writer = MediaWriter::forAudio(host, mp3 ? MediaWriter::AudioCodec::MP3 : MediaWriter::AudioCodec::AAC, kRate, 2);
        if (!writer) return false;
        const auto frames = static_cast<std::size_t>(seconds * kRate);
        std::vector<float> samples(frames * 2);
        for (std::size_t i = 0; i < frames; ++i)
            samples[2 * i] = samples[2 * i + 1] = 0.2f * static_cast<float>(std::sin(2 * std::numbers::pi * 440.0 * i / kRate));
        if (!writer->appendSamples(samples.data(), frames) || !writer->finish()) return false;
    }
    SongFile::Tags tags{title, artist, album, "Sample", {}};
    if (!artworkLabel.empty())
        if (auto art = picture(300, 300, artworkLabel, 0.1)) tags.artwork = art->pngData();
    return SongFile::writeTags(host, tags) && file.commit(WholeFileWriter::Sync::None) == 0;
}

bool makeLibrary() {
    const std::string roll = "/var/mobile/Media/DCIM/100APPLE/";
    const std::string album = "/var/mobile/Media/Albums/Holidays/";
    const std::string music = "/var/mobile/Media/iTunes_Control/Music/";
    bool ok = true;
    // A camera held upright: the sensor's landscape bitmap, EXIF orientation 6 (turn right).
    ok &= writePhoto(roll + "IMG_0001.JPG", *picture(640, 480, "Upright"), PhotoFormat::JPEG, 6, "2023:06:01 09:00:00");
    ok &= writePhoto(roll + "IMG_0002.PNG", *picture(480, 360, "Screenshot", 0.3), PhotoFormat::PNG);
    ok &= writePhoto(roll + "IMG_0003.HEIC", *picture(640, 480, "HEIC", 0.8), PhotoFormat::HEIC);
    ok &= writeVideo(roll + "IMG_0004.MOV", 320, 240, 2, 1685610000.0);
    ok &= writeVideo(roll + "IMG_0005.MP4", 240, 320, 3, 1685620000.0);
    ok &= writePhoto(album + "Beach.JPG", *picture(600, 400, "Beach", 0.5), PhotoFormat::JPEG, 1, "2023:07:14 16:30:00");
    ok &= writePhoto(album + "Hills.JPG", *picture(600, 400, "Hills", 0.2), PhotoFormat::JPEG, 1, "2023:07:15 10:00:00");
    ok &= writeSong(music + "F00/Morning.m4a", 3, "Morning Tune", "Sample Band", "Sample Album", "Morning");
    ok &= writeSong(music + "F01/Evening.mp3", 4, "Evening Song", "Sample Band", "Sample Album", "Evening");
    ok &= writeSong(music + "F02/Untitled Track.m4a", 2, "", "Unknown", "", "");
    return ok;
}

} // namespace SampleMedia

// Square thumbnails of a camera roll of full-size photos, the way the photo pickers get them.
//
//   bench_thumbnails --photos FOLDER COUNT    writes COUNT photos of 4032 × 3024 (IMG_0001.JPG …)
//                                             into a host folder, each one different; every
//                                             fourth taken upright (EXIF orientation 6)
//   bench_thumbnails --library DEVICE OUTPUT  every camera-roll photo of the device rooted at
//                                             DEVICE through ALAsset's thumbnail pipeline
//                                             (one photo per core in flight), each encoded
//                                             and written on its core to the host folder
//                                             OUTPUT as a JPEG (as a thumbnailing tool would)
//   bench_thumbnails --grid DEVICE            the asset picker on a phone-sized window, its
//                                             Camera Roll opened and the screen painted; prints
//                                             the time until that first screen of thumbnails

#include "pickers/assetpicker/APAssetsGroupViewController.h"
#include "pickers/assetpicker/APAssetsPickerController.h"
#include "pickers/assetpicker/APAssetsViewCell.h"
#include "pickers/assetpicker/APAssetsViewController.h"
#include "platform/device/Driver.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/graphics/CGImageEncoding.h"
#include "platform/media/ALAssetsLibrary.h"
#include "platform/media/AssetImageRendering.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIWindow.h"

#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kPhotoWidth = 4032, kPhotoHeight = 3024;
constexpr double kPhotoQuality = 0.9;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A small, fast generator: every photo draws from its own seed.
struct Random {
    std::uint32_t state;
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int below(int limit) { return static_cast<int>(next() % static_cast<std::uint32_t>(limit)); }
};

std::uint32_t clampChannel(int value) { return static_cast<std::uint32_t>(std::clamp(value, 0, 255)); }

// A sky-to-ground gradient of the photo's own colours, a few dozen soft discs, and sensor-like
// grain, so the file carries about the detail (and size) of a phone's photo.
CGImageRef photoPixels(int index) {
    Random random{0x9e3779b9u ^ static_cast<std::uint32_t>(index * 2654435761u)};
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPhotoWidth, kPhotoHeight);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    int top[3], bottom[3];
    for (int c = 0; c < 3; ++c) {
        top[c] = random.below(256);
        bottom[c] = random.below(256);
    }
    struct Disc {
        int x, y, radius, colour[3];
    };
    std::vector<Disc> discs(static_cast<std::size_t>(20 + random.below(30)));
    for (auto& d : discs) d = {random.below(kPhotoWidth), random.below(kPhotoHeight), 80 + random.below(700), {random.below(256), random.below(256), random.below(256)}};

    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::vector<int> rgb(static_cast<std::size_t>(kPhotoWidth) * 3);
    for (int y = 0; y < kPhotoHeight; ++y) {
        for (int c = 0; c < 3; ++c) {
            const int base = top[c] + (bottom[c] - top[c]) * y / kPhotoHeight;
            for (int x = 0; x < kPhotoWidth; ++x) rgb[static_cast<std::size_t>(x) * 3 + c] = base;
        }
        for (const auto& d : discs) {
            const int dy = y - d.y;
            if (dy * dy >= d.radius * d.radius) continue;
            const int half = static_cast<int>(std::sqrt(static_cast<double>(d.radius * d.radius - dy * dy)));
            for (int x = std::max(0, d.x - half); x < std::min(kPhotoWidth, d.x + half); ++x)
                for (int c = 0; c < 3; ++c) {
                    int& v = rgb[static_cast<std::size_t>(x) * 3 + c];
                    v = (v + d.colour[c] + (x ^ y) % 16) / 2;
                }
        }
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(stride) * y);
        for (int x = 0; x < kPhotoWidth; ++x) {
            const int grain = static_cast<int>(random.next() % 25) - 12;
            const int* p = &rgb[static_cast<std::size_t>(x) * 3];
            row[x] = (clampChannel(p[0] + grain) << 16) | (clampChannel(p[1] + grain) << 8) | clampChannel(p[2] + grain);
        }
    }
    cairo_surface_mark_dirty(surface);
    return std::make_shared<CGImage>(surface);
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return !bytes.empty() && static_cast<bool>(out);
}

int writePhotos(const std::string& folder, int count) {
    std::atomic<int> nextIndex{0}, failures{0};
    auto work = [&] {
        for (int i; (i = nextIndex++) < count;) {
            auto pixels = photoPixels(i);
            char name[32], date[32];
            std::snprintf(name, sizeof name, "/IMG_%04d.JPG", i + 1);
            // A minute apart, so the camera roll's order is the names' order.
            std::snprintf(date, sizeof date, "2026:06:%02d %02d:%02d:00", 1 + i / 1440, i / 60 % 24, i % 60);
            const int orientation = i % 4 == 3 ? 6 : 1;
            if (!pixels || !writeFile(folder + name, CGImageEncoding::jpegData(*pixels, kPhotoQuality, orientation, date))) ++failures;
        }
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency() / 2, 1u, 3u);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work);
    for (auto& w : workers) w.join();
    if (failures) std::fprintf(stderr, "%d photos could not be written\n", failures.load());
    return failures ? 1 : 0;
}

// Runs the main loop until the condition holds; false after ten seconds without it.
bool runMainUntil(const std::function<bool()>& condition) {
    auto start = std::chrono::steady_clock::now();
    auto loop = NSRunLoop::mainRunLoop();
    while (!condition()) {
        if (secondsSince(start) > 10) return false;
        loop->runOnce(0.001);
    }
    return true;
}

ALAssetsGroupPtr cameraRoll() {
    ALAssetsLibrary library;
    ALAssetsGroupPtr found;
    bool done = false;
    library.enumerateGroupsWithTypesUsingBlockFailureBlock(
        ALAssetsGroupSavedPhotos,
        [&](const ALAssetsGroupPtr& group, bool* stop) {
            if (group && !found) {
                found = group;
                *stop = true;
            }
            if (!group || *stop) done = true;
        },
        [&](const NSErrorPtr&) { done = true; });
    runMainUntil([&] { return done; });
    return found;
}

int thumbnailLibrary(const std::string& device, const std::string& output) {
    DeviceRoot::setRoot(device);
    auto start = std::chrono::steady_clock::now();
    auto group = cameraRoll();
    if (!group) {
        std::fprintf(stderr, "the device has no camera roll\n");
        return 1;
    }
    // The library's pipeline: each core takes the next photo as soon as it is free, then decodes,
    // scales, encodes and writes it; only the photos in flight (one per core) are in memory.
    std::vector<ALAssetPtr> assets;
    group->enumerateAssetsUsingBlock([&](const ALAssetPtr& asset, unsigned long, bool*) {
        if (asset) assets.push_back(asset);
    });
    std::atomic<int> written{0}, failed{0};
    ALAsset::eachThumbnailOf(assets, [&](std::size_t i, const CGImageRef& thumbnail) {
        char name[32];
        std::snprintf(name, sizeof name, "/%04zu.jpg", i + 1);
        if (thumbnail && writeFile(output + name, CGImageEncoding::jpegData(*thumbnail, kPhotoQuality))) ++written;
        else ++failed;
    });
    std::printf("library: %d thumbnails in %.3f s (%d failed)\n", written.load(), secondsSince(start), failed.load());
    return failed || written == 0 ? 1 : 0;
}

// The cells on screen that show an asset's own thumbnail.
long cellsWithThumbnails(APAssetsViewController& grid) {
    long shown = 0;
    for (auto& cell : grid.collectionView()->visibleCells()) {
        auto assetCell = std::dynamic_pointer_cast<APAssetsViewCell>(cell);
        if (assetCell && assetCell->asset && assetCell->image && assetCell->image->CGImage() &&
            assetCell->image->CGImage()->width() == AssetImageRendering::kThumbnailSide)
            ++shown;
    }
    return shown;
}

int firstScreen(const std::string& device) {
    DeviceRoot::setRoot(device);
    auto root = std::make_shared<UIViewController>();
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    Driver driver;

    auto start = std::chrono::steady_clock::now();
    auto picker = APAssetsPickerController::init();
    root->presentViewControllerAnimatedCompletion(picker, false, nullptr);
    auto list = std::dynamic_pointer_cast<APAssetsGroupViewController>(picker->viewControllers().front());
    if (!list || !runMainUntil([&] { return list->tableView()->numberOfRowsInSection(0) > 0; })) {
        std::fprintf(stderr, "the album list shows no album\n");
        return 1;
    }
    const double listSeconds = secondsSince(start);
    auto said = driver.execute("tap Camera Roll");
    auto grid = std::dynamic_pointer_cast<APAssetsViewController>(picker->topViewController());
    if (!said.empty() || !grid) {
        std::fprintf(stderr, "the Camera Roll did not open: %s\n", said.c_str());
        return 1;
    }
    runMainUntil([&] { return !grid->assets.empty(); });
    window->layoutIfNeeded();
    auto screen = UIDisplaySnapshot();
    const double seconds = secondsSince(start);
    const long shown = cellsWithThumbnails(*grid);
    std::printf("first screen: %.1f ms (album list %.1f ms), %ld thumbnails of %zu assets\n", seconds * 1000, listSeconds * 1000, shown,
                grid->assets.size());
    return screen && shown > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--photos") == 0) return writePhotos(argv[2], std::atoi(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "--library") == 0) return thumbnailLibrary(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "--grid") == 0) return firstScreen(argv[2]);
    std::fprintf(stderr, "usage: %s --photos FOLDER COUNT | --library DEVICE OUTPUT | --grid DEVICE\n", argv[0]);
    return 2;
}

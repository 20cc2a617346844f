#include "platform/media/ALAssetsLibraryStore.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/graphics/CGImageProperties.h"
#include "platform/media/VideoFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <set>

namespace ALAssetsLibraryStore {
namespace {
const std::set<std::string> kPhotoExtensions = {"JPG", "JPEG", "PNG", "HEIC", "HEIF", "GIF"};
const std::set<std::string> kVideoExtensions = {"MOV", "MP4", "M4V"};

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::uint64_t fnv1a(const std::string& text, std::uint64_t seed) {
    std::uint64_t hash = 14695981039346656037ull ^ seed;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

// "YYYY:MM:DD HH:MM:SS", taken as the device's clock writes it (no zone), read as UTC.
std::optional<double> parseEXIFDate(const std::string& text) {
    std::tm parts{};
    if (std::sscanf(text.c_str(), "%4d:%2d:%2d %2d:%2d:%2d", &parts.tm_year, &parts.tm_mon, &parts.tm_mday, &parts.tm_hour,
                    &parts.tm_min, &parts.tm_sec) != 6 || parts.tm_year < 1900)
        return std::nullopt;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    return static_cast<double>(timegm(&parts));
}

struct CacheEntry {
    std::int64_t modified = 0;
    std::uint64_t size = 0;
    Record record;
};
std::mutex cacheLock;
std::map<std::string, CacheEntry> cache; // by host path

Record readHeaders(const std::string& devicePath, const std::string& hostPath, Kind kind, const struct stat& info) {
    Record record;
    record.devicePath = devicePath;
    record.name = NSString::lastPathComponent(devicePath);
    record.extension = upper(NSString::pathExtension(devicePath));
    record.identifier = identifierOf(devicePath);
    record.kind = kind;
    record.size = static_cast<std::uint64_t>(info.st_size);
    record.date = static_cast<double>(info.st_mtim.tv_sec) + info.st_mtim.tv_nsec / 1e9;
    if (kind == Kind::Photo) {
        auto headers = CGImageProperties::propertiesOfImageFile(hostPath);
        record.pixelWidth = headers.pixelWidth;
        record.pixelHeight = headers.pixelHeight;
        record.exifOrientation = headers.orientation;
        if (auto taken = parseEXIFDate(headers.dateTimeOriginal)) record.date = *taken;
    } else if (auto video = VideoFile::propertiesOfFile(hostPath)) {
        record.pixelWidth = video->width;
        record.pixelHeight = video->height;
        record.duration = video->duration;
        if (video->creationTime) record.date = *video->creationTime;
    }
    return record;
}

std::optional<Record> recordOf(const std::string& devicePath) {
    const std::string extension = upper(NSString::pathExtension(devicePath));
    Kind kind;
    if (kPhotoExtensions.count(extension)) kind = Kind::Photo;
    else if (kVideoExtensions.count(extension)) kind = Kind::Video;
    else return std::nullopt;
    const std::string hostPath = DeviceRoot::hostPath(devicePath);
    struct stat info {};
    if (hostPath.empty() || ::stat(hostPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    const std::int64_t modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    {
        std::lock_guard<std::mutex> guard(cacheLock);
        auto it = cache.find(hostPath);
        if (it != cache.end() && it->second.modified == modified && it->second.size == static_cast<std::uint64_t>(info.st_size) &&
            it->second.record.devicePath == devicePath)
            return it->second.record;
    }
    Record record = readHeaders(devicePath, hostPath, kind, info);
    std::lock_guard<std::mutex> guard(cacheLock);
    cache[hostPath] = CacheEntry{modified, record.size, record};
    return record;
}
} // namespace

std::string identifierOf(const std::string& devicePath) {
    const std::uint64_t a = fnv1a(devicePath, 0), b = fnv1a(devicePath, 0x5bd1e995);
    char text[40];
    std::snprintf(text, sizeof text, "%08llX-%04llX-%04llX-%04llX-%012llX", static_cast<unsigned long long>(a >> 32),
                  static_cast<unsigned long long>((a >> 16) & 0xffff), static_cast<unsigned long long>(a & 0xffff),
                  static_cast<unsigned long long>(b >> 48), static_cast<unsigned long long>(b & 0xffffffffffffull));
    return text;
}

std::vector<Record> recordsUnder(const std::string& deviceFolder) {
    std::vector<Record> records;
    auto subpaths = NSFileManager::defaultManager()->subpathsOfDirectoryAtPath(deviceFolder, nullptr);
    if (!subpaths) return records;
    // Each file's headers are read on every core at once: a roll of many photos is not read one
    // file after the other.
    std::vector<std::optional<Record>> found(subpaths->size());
    dispatch_apply(found.size(), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&](std::size_t i) {
        found[i] = recordOf(NSString::stringByAppendingPathComponent(deviceFolder, (*subpaths)[i]));
    });
    records.reserve(found.size());
    for (auto& record : found)
        if (record) records.push_back(std::move(*record));
    std::sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
        if (a.date != b.date) return a.date < b.date;
        if (a.name != b.name) return a.name < b.name;
        return a.devicePath < b.devicePath;
    });
    return records;
}

std::vector<std::string> albumNames() {
    std::vector<std::string> names;
    auto manager = NSFileManager::defaultManager();
    auto contents = manager->contentsOfDirectoryAtPath(kAlbumsFolder, nullptr);
    if (!contents) return names;
    for (const std::string& name : *contents) {
        bool folder = false;
        if (!name.empty() && name[0] != '.' && manager->fileExistsAtPath(NSString::stringByAppendingPathComponent(kAlbumsFolder, name), &folder) && folder)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<Record> recordWithIdentifier(const std::string& identifier) {
    std::vector<std::string> folders{kCameraRollFolder};
    for (const std::string& album : albumNames()) folders.push_back(NSString::stringByAppendingPathComponent(kAlbumsFolder, album));
    for (const std::string& folder : folders)
        for (Record& record : recordsUnder(folder))
            if (record.identifier == identifier) return std::move(record);
    return std::nullopt;
}

} // namespace ALAssetsLibraryStore

#include "platform/media/MPMediaItem.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/RegularFile.h"
#include "platform/media/ALAssetsLibraryStore.h"
#include "platform/media/SongFile.h"
#include "platform/media/VideoFile.h"
#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"

#include <algorithm>
#include <set>

namespace {
const std::set<std::string> kSongExtensions = {"m4a", "mp3", "aac", "wav", "aif", "aiff", "flac", "m4b", "ogg"};

std::uint64_t persistentIDOf(const std::string& devicePath) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : devicePath) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash >> 1; // a positive 64-bit number, as the URL's decimal form shows it
}

std::optional<MPMediaItem::Song> songAt(const std::string& devicePath) {
    // TagLib opens by path and picks the song's kind from its extension, so a descriptor cannot be
    // handed to it: what stands at the path is checked first, and a FIFO or device is no song.
    if (!NSOpenRegularFile(devicePath)) return std::nullopt;
    const std::string host = DeviceRoot::hostPath(devicePath);
    auto tags = SongFile::readTags(host);
    auto media = VideoFile::propertiesOfFile(host);
    if (!tags || !media || media->audioCodec.empty()) return std::nullopt;
    MPMediaItem::Song song{devicePath, persistentIDOf(devicePath), tags->title, tags->artist, tags->album, tags->genre,
                           media->duration, std::move(tags->artwork)};
    if (song.title.empty()) song.title = NSString::stringByDeletingPathExtension(NSString::lastPathComponent(devicePath));
    return song;
}
} // namespace

std::vector<MPMediaItemPtr> MPMediaItem::allSongs() {
    std::vector<MPMediaItemPtr> songs;
    auto subpaths = NSFileManager::defaultManager()->subpathsOfDirectoryAtPath(kMusicFolder, nullptr);
    if (!subpaths) return songs;
    for (const std::string& subpath : *subpaths) {
        if (!kSongExtensions.count(NSString::lowercaseString(NSString::pathExtension(subpath)))) continue;
        if (auto song = songAt(NSString::stringByAppendingPathComponent(kMusicFolder, subpath)))
            songs.push_back(std::make_shared<MPMediaItem>(std::move(*song)));
    }
    std::sort(songs.begin(), songs.end(), [](const MPMediaItemPtr& a, const MPMediaItemPtr& b) {
        return a->song_.title != b->song_.title ? a->song_.title < b->song_.title : a->song_.devicePath < b->song_.devicePath;
    });
    return songs;
}

MPMediaItemPtr MPMediaItem::songWithAssetURL(const NSURLPtr& url) {
    if (!url || url->scheme() != "ipod-library" || !url->query()) return nullptr;
    std::string id;
    for (const std::string& pair : NSString::componentsSeparatedByString(*url->query(), "&"))
        if (NSString::hasPrefix(pair, "id=")) id = pair.substr(3);
    for (auto& song : allSongs())
        if (std::to_string(song->song_.persistentID) == id) return song;
    return nullptr;
}

NSURLPtr MPMediaItem::assetURL() const {
    const std::string extension = NSString::lowercaseString(NSString::pathExtension(song_.devicePath));
    return NSURL::URLWithString("ipod-library://item/item." + extension + "?id=" + std::to_string(song_.persistentID));
}

std::shared_ptr<MPMediaItemArtwork> MPMediaItem::artwork() const {
    return song_.artwork.empty() ? nullptr : std::make_shared<MPMediaItemArtwork>(song_.artwork);
}

Value MPMediaItem::valueForProperty(const std::string& property) const {
    if (property == MPMediaItemPropertyPersistentID) return static_cast<long long>(song_.persistentID);
    if (property == MPMediaItemPropertyMediaType) return static_cast<long long>(MPMediaTypeMusic);
    if (property == MPMediaItemPropertyTitle) return song_.title;
    if (property == MPMediaItemPropertyArtist) return song_.artist.empty() ? Value() : Value(song_.artist);
    if (property == MPMediaItemPropertyAlbumTitle) return song_.albumTitle.empty() ? Value() : Value(song_.albumTitle);
    if (property == MPMediaItemPropertyGenre) return song_.genre.empty() ? Value() : Value(song_.genre);
    if (property == MPMediaItemPropertyPlaybackDuration) return song_.duration;
    if (property == MPMediaItemPropertyAssetURL) return assetURL();
    if (property == MPMediaItemPropertyArtwork) {
        auto art = artwork();
        return art ? Value(art) : Value();
    }
    return nullptr;
}

CGRect MPMediaItemArtwork::bounds() const {
    auto image = UIImage::imageWithData(NSData(data_));
    return image ? CGRectMake(0, 0, image->size().width, image->size().height) : CGRectZero;
}

std::shared_ptr<UIImage> MPMediaItemArtwork::imageWithSize(CGSize size) const {
    auto image = UIImage::imageWithData(NSData(data_));
    if (!image || size.width <= 0 || size.height <= 0) return nullptr;
    UIGraphicsBeginImageContextWithOptions(size, false, 0);
    image->drawInRect(CGRectMake(0, 0, size.width, size.height));
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return drawn;
}

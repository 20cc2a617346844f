#include "app/support/BridgeConnect.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIApplication.h"

namespace {
Value stringArray(const std::vector<std::string>& strings) {
    Value::Array array;
    for (const auto& s : strings) array.emplace_back(s);
    return Value(std::move(array));
}

// The property list's dictionary: a single file is named by a string, several by arrays.
Value::Dictionary metadata(const std::vector<std::string>& paths, const std::vector<std::string>& titles,
                           const std::string& artist, const std::string& album, const std::string& genre) {
    const bool multi = paths.size() > 1;
    Value::Dictionary plist;
    plist["Multi"] = Value(static_cast<std::int64_t>(multi ? 1 : 0));
    plist["Contents"] = multi ? stringArray(paths) : Value(paths.front());
    if (!titles.empty()) plist["Titles"] = multi ? stringArray(titles) : Value(titles.front());
    if (!artist.empty()) plist["Artist"] = Value(artist);
    if (!album.empty()) plist["Album"] = Value(album);
    if (!genre.empty()) plist["Genre"] = Value(genre);
    return plist;
}
} // namespace

bool BridgeConnect::canImportFiles() {
    return UIApplication::sharedApplication()->canOpenURL(NSURL::URLWithString(kURLPrefix));
}

bool BridgeConnect::importFileAtPath(const std::string& path) { return importFilesAtPaths({path}); }

bool BridgeConnect::importFilesAtPaths(const std::vector<std::string>& paths) {
    return importFilesAtPathsTitlesArtistAlbumGenreArtwork(paths, {}, "", "", "", nullptr);
}

bool BridgeConnect::importFileAtPathTitleArtistAlbumGenreArtwork(const std::string& path, const std::string& title,
                                                                 const std::string& artist, const std::string& album,
                                                                 const std::string& genre, const UIImagePtr& artwork) {
    return importFilesAtPathsTitlesArtistAlbumGenreArtwork({path}, {title}, artist, album, genre, artwork);
}

bool BridgeConnect::importFilesAtPathsTitlesArtistAlbumGenreArtwork(const std::vector<std::string>& paths,
                                                                    const std::vector<std::string>& titles,
                                                                    const std::string& artist, const std::string& album,
                                                                    const std::string& genre, const UIImagePtr& artwork) {
    if (!canImportFiles() || paths.empty()) return false;
    Value::Dictionary plist = metadata(paths, titles, artist, album, genre);
    const std::string folder = NSTemporaryDirectory();
    if (artwork) {
        const std::string artworkPath = folder + kArtworkFileName;
        auto png = UIImagePNGRepresentation(artwork);
        if (!png || !png->writeToFile(artworkPath, true)) return false;
        plist["Artwork"] = Value(artworkPath);
    }
    const std::string metadataPath = folder + kMetadataFileName;
    if (!NSWritePropertyListToFile(Value(std::move(plist)), metadataPath, true)) return false;
    auto url = NSURL::URLWithString(std::string(kURLPrefix) + metadataPath);
    if (url) UIApplication::sharedApplication()->openURL(url);
    return true;
}

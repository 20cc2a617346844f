#pragma once
// Hands audio files to the outside audio-import app: a metadata property list
// ("BridgeImportMetadata.plist", with the artwork as "AlbumArt.png" beside it) is written into the
// temporary folder, then the app's URL "bridgeAPIvA://" followed by that file's path is opened.
// Nothing comes back. Every call answers whether the hand-over was started.

#include "platform/uikit/UIImage.h"

#include <string>
#include <vector>

class BridgeConnect {
public:
    static constexpr const char* kURLPrefix = "bridgeAPIvA://";
    static constexpr const char* kMetadataFileName = "BridgeImportMetadata.plist";
    static constexpr const char* kArtworkFileName = "AlbumArt.png";

    // Whether an app takes "bridgeAPIvA://" URLs.
    static bool canImportFiles();

    static bool importFileAtPath(const std::string& path);
    static bool importFilesAtPaths(const std::vector<std::string>& paths);
    static bool importFileAtPathTitleArtistAlbumGenreArtwork(const std::string& path, const std::string& title,
                                                             const std::string& artist, const std::string& album,
                                                             const std::string& genre, const UIImagePtr& artwork);
    // The full hand-over. NO, with nothing opened, when the import app is missing, no path is given,
    // or the artwork or the property list cannot be written.
    static bool importFilesAtPathsTitlesArtistAlbumGenreArtwork(const std::vector<std::string>& paths,
                                                                const std::vector<std::string>& titles,
                                                                const std::string& artist, const std::string& album,
                                                                const std::string& genre, const UIImagePtr& artwork);
};

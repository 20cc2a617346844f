#pragma once
// The device's music: every audio file under /var/mobile/Media/iTunes_Control/Music is a song,
// its tags and artwork read with TagLib; a song without a title tag is titled by its file name.
// Songs are reached by "ipod-library://item/item.EXT?id=N" URLs, stable per file.

#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/CGGeometry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class UIImage;

inline constexpr char MPMediaItemPropertyPersistentID[] = "persistentID";
inline constexpr char MPMediaItemPropertyMediaType[] = "mediaType";
inline constexpr char MPMediaItemPropertyTitle[] = "title";
inline constexpr char MPMediaItemPropertyAlbumTitle[] = "albumTitle";
inline constexpr char MPMediaItemPropertyArtist[] = "artist";
inline constexpr char MPMediaItemPropertyGenre[] = "genre";
inline constexpr char MPMediaItemPropertyPlaybackDuration[] = "playbackDuration";
inline constexpr char MPMediaItemPropertyArtwork[] = "artwork";
inline constexpr char MPMediaItemPropertyAssetURL[] = "assetURL";

using MPMediaType = unsigned long;
enum : MPMediaType { MPMediaTypeMusic = 1 << 0, MPMediaTypePodcast = 1 << 1, MPMediaTypeAudioBook = 1 << 2, MPMediaTypeAnyAudio = 0xff };

inline constexpr char kMusicFolder[] = "/var/mobile/Media/iTunes_Control/Music";

class MPMediaItemArtwork : public NSObject {
public:
    explicit MPMediaItemArtwork(std::vector<std::uint8_t> imageData) : data_(std::move(imageData)) {}
    // The artwork drawn at the size in points, at the screen's scale; nil when it cannot be read.
    std::shared_ptr<UIImage> imageWithSize(CGSize size) const;
    // The picture's own size in points (scale 1).
    CGRect bounds() const;

private:
    std::vector<std::uint8_t> data_;
};

class MPMediaItem;
using MPMediaItemPtr = std::shared_ptr<MPMediaItem>;

class MPMediaItem : public NSObject {
public:
    struct Song {
        std::string devicePath;
        std::uint64_t persistentID = 0;
        std::string title, artist, albumTitle, genre;
        double duration = 0;
        std::vector<std::uint8_t> artwork;
    };
    explicit MPMediaItem(Song song) : song_(std::move(song)) {}

    // Every song of the device, by title (then path).
    static std::vector<MPMediaItemPtr> allSongs();
    // The song an "ipod-library:" URL names; nil for none.
    static MPMediaItemPtr songWithAssetURL(const NSURLPtr& url);

    // Strings for the texts, numbers for the ID, type and duration, an MPMediaItemArtwork, the
    // asset URL as an NSURL; null for a property the song lacks.
    Value valueForProperty(const std::string& property) const;
    std::string title() const { return song_.title; }
    NSURLPtr assetURL() const;
    std::shared_ptr<MPMediaItemArtwork> artwork() const;
    const std::string& devicePath() const { return song_.devicePath; }

private:
    Song song_;
};

#include "platform/media/SongFile.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

namespace SongFile {
namespace {
std::string utf8(const TagLib::String& text) { return text.to8Bit(true); }
TagLib::String fromUTF8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

bool isPNG(const std::vector<std::uint8_t>& bytes) { return bytes.size() > 4 && bytes[0] == 0x89 && bytes[1] == 'P'; }

std::vector<std::uint8_t> bytesOf(const TagLib::ByteVector& vector) {
    return std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(vector.data()),
                                     reinterpret_cast<const std::uint8_t*>(vector.data()) + vector.size());
}

std::vector<std::uint8_t> mp4Artwork(const std::string& hostPath) {
    TagLib::MP4::File file(hostPath.c_str(), false);
    if (!file.isValid() || !file.tag() || !file.tag()->contains("covr")) return {};
    auto covers = file.tag()->item("covr").toCoverArtList();
    return covers.isEmpty() ? std::vector<std::uint8_t>{} : bytesOf(covers.front().data());
}

std::vector<std::uint8_t> mp3Artwork(const std::string& hostPath) {
    TagLib::MPEG::File file(hostPath.c_str(), false);
    if (!file.isValid() || !file.ID3v2Tag()) return {};
    const auto& frames = file.ID3v2Tag()->frameListMap()["APIC"];
    for (auto* frame : frames)
        if (auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame)) return bytesOf(picture->picture());
    return {};
}

bool hasExtension(const std::string& path, const char* extension) {
    const std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    std::string lower;
    for (char c : tail) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == extension;
}
} // namespace

std::optional<Tags> readTags(const std::string& hostPath) {
    TagLib::FileRef file(hostPath.c_str(), false);
    if (file.isNull() || !file.tag()) return std::nullopt;
    Tags tags{utf8(file.tag()->title()), utf8(file.tag()->artist()), utf8(file.tag()->album()), utf8(file.tag()->genre()), {}};
    if (hasExtension(hostPath, ".m4a") || hasExtension(hostPath, ".mp4")) tags.artwork = mp4Artwork(hostPath);
    else if (hasExtension(hostPath, ".mp3")) tags.artwork = mp3Artwork(hostPath);
    return tags;
}

bool writeTags(const std::string& hostPath, const Tags& tags) {
    {
        TagLib::FileRef file(hostPath.c_str(), false);
        if (file.isNull() || !file.tag()) return false;
        file.tag()->setTitle(fromUTF8(tags.title));
        file.tag()->setArtist(fromUTF8(tags.artist));
        file.tag()->setAlbum(fromUTF8(tags.album));
        file.tag()->setGenre(fromUTF8(tags.genre));
        if (!file.save()) return false;
    }
    if (tags.artwork.empty()) return true;
    const TagLib::ByteVector picture(reinterpret_cast<const char*>(tags.artwork.data()), static_cast<unsigned>(tags.artwork.size()));
    if (hasExtension(hostPath, ".m4a") || hasExtension(hostPath, ".mp4")) {
        TagLib::MP4::File file(hostPath.c_str(), false);
        if (!file.isValid() || !file.tag()) return false;
        TagLib::MP4::CoverArtList covers;
        covers.append(TagLib::MP4::CoverArt(isPNG(tags.artwork) ? TagLib::MP4::CoverArt::PNG : TagLib::MP4::CoverArt::JPEG, picture));
        file.tag()->setItem("covr", TagLib::MP4::Item(covers));
        return file.save();
    }
    if (hasExtension(hostPath, ".mp3")) {
        TagLib::MPEG::File file(hostPath.c_str(), false);
        if (!file.isValid()) return false;
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setMimeType(isPNG(tags.artwork) ? "image/png" : "image/jpeg");
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        frame->setPicture(picture);
        file.ID3v2Tag(true)->addFrame(frame);
        return file.save();
    }
    return true;
}

} // namespace SongFile

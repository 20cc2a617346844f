#pragma once
// Class-level helpers of VAST parsing: the version a document declares, durations written
// HH:MM:SS, and the media file to play.

#include "sdk/ads/VuderuVASTMediaFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuVASTUtil {
public:
    static constexpr std::int32_t kVASTMinVersionSupported = 1;
    static constexpr std::int32_t kVASTMaxVersionSupported = 3;
    // The longest version attribute looked at: the search for it stays linear in the text.
    static constexpr std::size_t kVersionSearchWindow = 1024;

    // The integer of the first `<VAST version="...">` in the text when it is a supported version;
    // 0 otherwise (nil text, no such tag, or a version outside the supported ones).
    static std::int32_t detectVASTVersion(const std::optional<std::string>& text);
    // The first HH:MM:SS (two digits each) anywhere in the text, in seconds; 0 for nil or none.
    static std::int32_t determineIntDurationFromString(const std::optional<std::string>& text);
    // Of the files with a bit rate of at most 500, a URL, and type "video/mp4" or a URL path
    // ending in ".mp4": the one with the highest bit rate, the earliest on a tie; nil when none.
    static VuderuVASTMediaFilePtr determineMediaFile(const std::shared_ptr<std::vector<VuderuVASTMediaFilePtr>>& mediaFiles);
    static std::int32_t getVASTMinVersionSupported() { return kVASTMinVersionSupported; }
    static std::int32_t getVASTMaxVersionSupported() { return kVASTMaxVersionSupported; }

    // The leading decimal value of an attribute (white space and a sign allowed before it),
    // clamped to 32 bits; 0 when there is none.
    static std::int32_t integerOfAttribute(const std::string& text);
    // YES for text beginning with Y, y, T, t or a digit other than 0.
    static bool booleanOfAttribute(const std::string& text);
};

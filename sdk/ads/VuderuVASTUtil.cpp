// GCC 12 at -O1 with the sanitizers takes the std::function inside <regex>'s automaton for
// uninitialized (a false report from its headers); nothing here is.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "sdk/ads/VuderuVASTUtil.h"

#include "platform/foundation/NSURL.h"

#include <cctype>
#include <limits>
#include <regex>

namespace {

constexpr std::int32_t kMaxMediaBitRate = 500;
constexpr const char* kVersionTagStart = "<VAST version=\"";
const char* const kMp4Type = "video/mp4";
const char* const kMp4Extension = "mp4";
constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;

const std::regex& versionExpression() {
    static const std::regex expression("<VAST version=\"(.+?)\">");
    return expression;
}

const std::regex& durationExpression() {
    static const std::regex expression("(\\d{2}):(\\d{2}):(\\d{2})");
    return expression;
}

bool isSupported(std::int32_t version) {
    return version >= VuderuVASTUtil::kVASTMinVersionSupported && version <= VuderuVASTUtil::kVASTMaxVersionSupported;
}

} // namespace

std::int32_t VuderuVASTUtil::integerOfAttribute(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), kLimit);
    }
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

bool VuderuVASTUtil::booleanOfAttribute(const std::string& text) {
    if (text.empty()) return false;
    char first = text.front();
    return first == 'Y' || first == 'y' || first == 'T' || first == 't' || (first >= '1' && first <= '9');
}

std::int32_t VuderuVASTUtil::detectVASTVersion(const std::optional<std::string>& text) {
    if (!text) return 0;
    // The expression's match starts at the tag and cannot pass a line end, so each candidate tag
    // is tried on a bounded window of its own (std::regex recurses once per character matched).
    const std::string tag = kVersionTagStart;
    for (std::size_t at = text->find(tag); at != std::string::npos; at = text->find(tag, at + 1)) {
        auto begin = text->begin() + static_cast<std::ptrdiff_t>(at);
        auto end = text->begin() + static_cast<std::ptrdiff_t>(std::min(text->size(), at + tag.size() + kVersionSearchWindow));
        std::smatch match;
        if (!std::regex_search(begin, end, match, versionExpression(), std::regex_constants::match_continuous)) continue;
        std::int32_t version = integerOfAttribute(match[1].str());
        return isSupported(version) ? version : 0;
    }
    return 0;
}

std::int32_t VuderuVASTUtil::determineIntDurationFromString(const std::optional<std::string>& text) {
    if (!text) return 0;
    std::smatch match;
    if (!std::regex_search(*text, match, durationExpression())) return 0;
    return std::stoi(match[1].str()) * kSecondsPerHour + std::stoi(match[2].str()) * kSecondsPerMinute + std::stoi(match[3].str());
}

VuderuVASTMediaFilePtr VuderuVASTUtil::determineMediaFile(const std::shared_ptr<std::vector<VuderuVASTMediaFilePtr>>& mediaFiles) {
    if (!mediaFiles) return nullptr;
    VuderuVASTMediaFilePtr chosen;
    for (const auto& file : *mediaFiles) {
        if (!file || file->bitRate() > kMaxMediaBitRate || !file->url()) continue;
        bool mp4 = file->type() == kMp4Type;
        if (!mp4) {
            auto url = NSURL::URLWithString(*file->url());
            mp4 = url && url->pathExtension() == kMp4Extension;
        }
        if (mp4 && (!chosen || file->bitRate() > chosen->bitRate())) chosen = file;
    }
    return chosen;
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

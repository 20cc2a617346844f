#include "app/support/NSString+QueryString.h"

#include "platform/foundation/NSString.h"

namespace NSString_QueryString {

std::optional<std::string> stringByDecodingURLFormat(std::string_view text) {
    std::string spaced(text);
    for (char& c : spaced) {
        if (c == '+') c = ' ';
    }
    return NSString::stringByRemovingPercentEncoding(spaced);
}

VPQueryDictionary dictionaryFromQueryStringComponents(std::string_view text) {
    VPQueryDictionary dictionary;
    for (const std::string& piece : NSString::componentsSeparatedByString(text, "&")) {
        auto parts = NSString::componentsSeparatedByString(piece, "=");
        if (parts.size() < 2) continue;
        auto key = stringByDecodingURLFormat(parts[0]);
        auto value = stringByDecodingURLFormat(parts[1]);
        if (!key || !value) continue;
        dictionary[*key].push_back(std::move(*value));
    }
    return dictionary;
}

std::optional<std::string> firstValue(const VPQueryDictionary& dictionary, const std::string& key) {
    auto found = dictionary.find(key);
    if (found == dictionary.end() || found->second.empty()) return std::nullopt;
    return found->second.front();
}

} // namespace NSString_QueryString

#pragma once
// Query-string decoding: "key=value&key=value" text, as form submissions and the video site's
// replies use it, into keys that each map to all their values in order of appearance.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Each decoded key with every decoded value it was given, in order.
using VPQueryDictionary = std::map<std::string, std::vector<std::string>>;

namespace NSString_QueryString {

// "+" becomes a space, then percent escapes are resolved as UTF-8; nullopt when an escape is
// malformed or the result is not UTF-8.
std::optional<std::string> stringByDecodingURLFormat(std::string_view text);

// Pieces split at "&", each split at "=": the first part is the key, the second the value, any
// further part is ignored; a piece without "=" and a pair that does not decode are dropped.
VPQueryDictionary dictionaryFromQueryStringComponents(std::string_view text);

// The first value of a key, or nullopt.
std::optional<std::string> firstValue(const VPQueryDictionary& dictionary, const std::string& key);

} // namespace NSString_QueryString

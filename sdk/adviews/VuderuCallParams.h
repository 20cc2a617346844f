#pragma once
// The parameters of a page's call to the native side ("vuderu://vuderucall?event=NAME&key=value..."),
// written by the page with escape(): "%uXXXX" for UTF-16 units, "%XX" for bytes, "+" for a blank.

#include <map>
#include <string>

namespace VuderuCallParams {
// Decodes one value: "+" is a blank; "%uXXXX" a UTF-16 unit (pairs joined, a lone surrogate
// becomes U+FFFD); a run of "%XX" bytes is taken as UTF-8 when it forms it, else each byte as
// Latin-1. A "%" that starts no escape stays as it is. Never fails.
std::string decodeValue(const std::string& text);
// Splits "k=v&k2=v2": the key is the text before the first "=", the value the text up to the
// next "="; a piece without "=" is skipped; a later key replaces an earlier one.
std::map<std::string, std::string> parse(const std::string& paramsString);
} // namespace VuderuCallParams

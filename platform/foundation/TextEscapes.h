#pragma once
// Text bound for a terminal or for a line of its own (the screen text, the log), with whatever could
// act on either shown as escapes.

#include <string>
#include <string_view>

namespace NSString {
// Control characters as "\n", "\t", "\r" or "\x1b"; C1 controls and the direction embeddings,
// overrides and isolates as "\u202e"; each byte that is not part of UTF-8 text as "\xff".
std::string stringByEscapingControlCharacters(std::string_view text);
} // namespace NSString

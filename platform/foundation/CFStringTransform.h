#pragma once
// Text transforms by name, as the platform's transliterator offers them. Only the Latin-to-ASCII
// family is here (through iconv's transliteration): "Latin-ASCII", "Any-Latin; Latin-ASCII", each
// optionally followed by "; [:^ASCII:] Remove". Scripts other than Latin are not romanised; what
// iconv cannot turn into ASCII is removed.

#include <string>

extern const std::string kCFStringTransformToLatin;   // "Any-Latin"
extern const std::string kCFStringTransformLatinASCII; // "Latin-ASCII"

// Transforms the UTF-8 text in place; false (text unchanged) for an unknown transform, a reverse
// request or text that is not UTF-8.
bool CFStringTransform(std::string& string, const std::string& transform, bool reverse);

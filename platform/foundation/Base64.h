#pragma once
// Standard Base64 (RFC 4648): padded, without line breaks. The one encoder of the tree.

#include <cstddef>
#include <string>

std::string NSBase64Encode(const void* bytes, std::size_t length);
// Appends the encoding to `out`, which grows once to its final size.
void NSBase64EncodeAppending(const void* bytes, std::size_t length, std::string& out);

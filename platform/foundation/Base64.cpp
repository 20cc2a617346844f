#include "platform/foundation/Base64.h"

#include <algorithm>
#include <cstdint>

namespace {
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
} // namespace

void NSBase64EncodeAppending(const void* bytes, std::size_t length, std::string& out) {
    const auto* in = static_cast<const unsigned char*>(bytes);
    out.reserve(out.size() + (length + 2) / 3 * 4);
    for (std::size_t i = 0; i < length; i += 3) {
        const std::size_t count = std::min<std::size_t>(3, length - i);
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 3; ++j) group = (group << 8) | (j < count ? in[i + j] : 0u);
        out += kBase64Alphabet[(group >> 18) & 0x3F];
        out += kBase64Alphabet[(group >> 12) & 0x3F];
        out += count > 1 ? kBase64Alphabet[(group >> 6) & 0x3F] : '=';
        out += count > 2 ? kBase64Alphabet[group & 0x3F] : '=';
    }
}

std::string NSBase64Encode(const void* bytes, std::size_t length) {
    std::string out;
    NSBase64EncodeAppending(bytes, length, out);
    return out;
}

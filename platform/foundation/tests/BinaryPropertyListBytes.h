// Binary property lists assembled byte by byte, for tests that feed the reader what our own writer
// never makes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace binary_plist {

inline std::string bigEndian(std::uint64_t value, unsigned bytes) {
    std::string out;
    for (unsigned i = bytes; i-- > 0;) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// A binary list of the given objects (already encoded), with four-byte offsets; `count` overrides
// the object count the trailer gives.
inline std::string bplist(const std::vector<std::string>& objects, std::uint64_t root = 0, unsigned referenceSize = 1,
                          std::uint64_t count = UINT64_MAX) {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const std::string& object : objects) {
        offsets.push_back(out.size());
        out += object;
    }
    const std::uint64_t table = out.size();
    for (std::uint64_t offset : offsets) out += bigEndian(offset, 4);
    out += std::string(6, '\0') + char(4) + static_cast<char>(referenceSize);
    out += bigEndian(count == UINT64_MAX ? objects.size() : count, 8) + bigEndian(root, 8) + bigEndian(table, 8);
    return out;
}

} // namespace binary_plist

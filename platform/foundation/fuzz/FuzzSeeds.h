#pragma once
// What every seed-corpus writer of the fuzz targets does: takes one folder per corpus from its
// command line, and writes each seed whole or says it could not.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz_seeds {

// The `count` folders named on the command line; nullopt, after a usage line naming them as
// `usage` says on standard error, when there are not that many.
inline std::optional<std::vector<std::string>> folders(int argc, char** argv, int count, const char* usage) {
    if (argc != count + 1) {
        std::fprintf(stderr, "usage: %s %s\n", argv[0], usage);
        return std::nullopt;
    }
    return std::vector<std::string>(argv + 1, argv + argc);
}

// Writes the bytes as the file `name` in `folder`; false when they could not all be written.
inline bool save(const std::string& folder, const std::string& name, std::string_view bytes) {
    FILE* out = std::fopen((folder + "/" + name).c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}
inline bool save(const std::string& folder, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    return save(folder, name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace fuzz_seeds

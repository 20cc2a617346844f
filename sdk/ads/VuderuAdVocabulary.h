#pragma once
// An ordered table of names whose position is the stored value; the last name is the "unknown"
// that absent and foreign names map to. Tables are built once and kept for the process.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct VuderuVocabulary {
    std::vector<std::string> names;

    std::int32_t unknownIndex() const { return static_cast<std::int32_t>(names.size()) - 1; }
    std::int32_t indexOf(std::optional<std::string_view> name) const {
        if (!name) return unknownIndex();
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == *name) return static_cast<std::int32_t>(i);
        }
        return unknownIndex();
    }
    std::int32_t indexOf(const char* name) const {
        return name ? indexOf(std::optional<std::string_view>(name)) : unknownIndex();
    }
};

#pragma once
// The ad player's built-in PNG images, held in the program (drawn by scripts/draw-icons).

#include <optional>
#include <span>
#include <string_view>

// The PNG bytes of the image of that exact name, or nullopt.
std::optional<std::span<const unsigned char>> vuderuBuiltInImage(std::string_view name);

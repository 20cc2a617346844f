#pragma once
// The scripts every HTML ad page gets, embedded unchanged: the template engine (Hogan.js 1.0.5,
// minified), the bridge (`vuderuBridgeCtor`) and the MRAID 1.0 adapter (`mraidCtor`).

#include <cstddef>
#include <string_view>

extern const char hogan_1_0_5_min_js[];
extern const std::size_t hogan_1_0_5_min_js_length;
extern const char vuderu_bridge_js[];
extern const std::size_t vuderu_bridge_js_length;
extern const char vuderu_mraid_js[];
extern const std::size_t vuderu_mraid_js_length;

namespace VuderuAdScripts {
inline std::string_view hogan() { return {hogan_1_0_5_min_js, hogan_1_0_5_min_js_length}; }
inline std::string_view bridge() { return {vuderu_bridge_js, vuderu_bridge_js_length}; }
inline std::string_view mraid() { return {vuderu_mraid_js, vuderu_mraid_js_length}; }
} // namespace VuderuAdScripts

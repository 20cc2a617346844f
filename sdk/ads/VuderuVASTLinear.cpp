#include "sdk/ads/VuderuVASTLinear.h"

#include <algorithm>
#include <array>

namespace {
const std::array<std::string, 17> kTrackingEvents = {
    "unknown", "creativeView", "start", "midpoint", "firstQuartile", "thirdQuartile", "complete", "mute", "unmute",
    "pause",   "rewind",       "resume", "fullscreen", "expand",     "collapse",      "acceptInvitation", "close",
};
} // namespace

std::optional<std::string> VuderuVASTLinear::trackingEventEnumToString(std::int32_t event) {
    if (event < 0 || static_cast<std::size_t>(event) >= kTrackingEvents.size()) return std::nullopt;
    return kTrackingEvents[static_cast<std::size_t>(event)];
}

std::int32_t VuderuVASTLinear::trackingEventStringToEnum(const std::string& name) {
    auto found = std::find(kTrackingEvents.begin(), kTrackingEvents.end(), name);
    return found == kTrackingEvents.end() ? VuderuVASTTrackingEventUnknown : static_cast<std::int32_t>(found - kTrackingEvents.begin());
}

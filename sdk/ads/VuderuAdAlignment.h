#pragma once
// The alignment letters of a layout and where an ad lies in its container.

#include "platform/graphics/CGGeometry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class VuderuAdAlignment {
public:
    enum : std::int32_t { kTop = 0, kMiddle = 1, kBottom = 2, kLeft = 3, kCentre = 4, kRight = 5, kUnknown = 6 };

    static const std::vector<std::string>& adAlignmentArrayInstance();
    static const std::string& adAlignmentEnumToString(std::int32_t alignment);
    // "unknown" (6) for an absent or foreign letter.
    static std::int32_t adAlignmentStringToEnum(const std::optional<std::string>& letter);

    // The ad's rectangle inside the container: an origin relative to the container and the ad's
    // own size. Top/bottom and left/right align to the edges; anything else centres.
    static CGRect getBoundsForAdVerticalHorizontalAdFrameViewContainerFrame(const std::optional<std::string>& vertical,
                                                                            const std::optional<std::string>& horizontal,
                                                                            const CGRect& adFrame, const CGRect& container);
    static CGRect getBoundsForAdTypeVerticalHorizontalAdFrameViewContainerFrame(std::int32_t vertical, std::int32_t horizontal,
                                                                                const CGRect& adFrame, const CGRect& container);
};

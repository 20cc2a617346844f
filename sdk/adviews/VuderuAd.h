#pragma once
// The ad-space view. Only its class operations live here so far.

#include "sdk/ads/VuderuAdFrame.h"

#include <cstdint>

class VuderuAd {
public:
    // The ad type of a frame, by binding and takeover layout: 1 or 2 for a page or HTML (banner,
    // takeover), 4 or 3 for binding 3, 6 or 7 for binding 4, 4 or 5 for any other binding.
    static std::int32_t getAdType(const VuderuAdFramePtr& frame);
};

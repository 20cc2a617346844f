#pragma once
// The ad-space view as the ad serving core sees it. The view itself belongs to the presentation
// side; this face grows with the operations the core calls.

#include "sdk/ads/VuderuAdUnit.h"

#include <string>

class IVuderuAd {
public:
    virtual ~IVuderuAd() = default;

    // The unit being shown, or nil.
    virtual VuderuAdUnitPtr activeAdUnit() const = 0;
    // Whether the frame with this GUID is part of what the view shows.
    virtual bool isGuidActive(const std::string& guid) const = 0;
    // The view has prepared its ad and may be shown.
    virtual bool readyForDisplay() const = 0;
    virtual std::string adSpaceName() const = 0;
};
using IVuderuAdPtr = std::shared_ptr<IVuderuAd>;

#pragma once
// The ad-space view as the ad serving core sees it. The view itself belongs to the presentation
// side; this face grows with the operations the core calls.

#include "platform/foundation/Value.h"
#include "sdk/ads/VuderuAdUnit.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class IVuderuAd {
public:
    virtual ~IVuderuAd() = default;

    // The unit being shown, or nil.
    virtual VuderuAdUnitPtr activeAdUnit() const = 0;
    // Every unit of the view, the active one first.
    virtual std::vector<VuderuAdUnitPtr> allAdUnitsList() const = 0;
    // The frame being shown, or nil.
    virtual VuderuAdFramePtr adFrame() const = 0;
    // Whether the frame with this GUID is part of what the view shows.
    virtual bool isGuidActive(const std::string& guid) const = 0;
    // The view has prepared its ad and may be shown.
    virtual bool readyForDisplay() const = 0;
    // The ad space's name.
    virtual std::string adSpaceName() const = 0;

    // Fetches between minimum and maximum further units into the view; nil when too few came.
    virtual std::shared_ptr<std::vector<VuderuAdUnitPtr>> appendAdUnitsMaximum(std::int32_t minimum, std::int32_t maximum) = 0;
    // MRAID expand with the action's parameters, and collapse.
    virtual bool processExpandAction(const std::map<std::string, std::string>& params) = 0;
    virtual bool processCollapseAction() = 0;
    // The page told the view it finished loading.
    virtual void windowOnLoadCalledAction() = 0;
    // The in-app store page of an app id.
    virtual void openSKAppstore(const Value& appId) = 0;
};
using IVuderuAdPtr = std::shared_ptr<IVuderuAd>;

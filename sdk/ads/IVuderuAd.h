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
    // Whether the frame with this GUID is part of what the view shows.
    virtual bool isGuidActive(const std::string& guid) const = 0;
    // The view has prepared its ad and may be shown.
    virtual bool readyForDisplay() const = 0;
    // The ad space's name.
    virtual std::string adSpaceName() const = 0;

    // What the event and action engine reads and asks. The bodies here are those of a view that
    // shows one unit and offers none of these features; the ad-space view overrides them all.

    // Every unit of the view, the active one first.
    virtual std::vector<VuderuAdUnitPtr> allAdUnitsList() const {
        auto unit = activeAdUnit();
        return unit ? std::vector<VuderuAdUnitPtr>{unit} : std::vector<VuderuAdUnitPtr>{};
    }
    // The frame being shown, or nil.
    virtual VuderuAdFramePtr adFrame() const {
        auto unit = activeAdUnit();
        return unit ? unit->curAdFrame() : nullptr;
    }
    // Fetches between minimum and maximum further units into the view; nil when too few came.
    virtual std::shared_ptr<std::vector<VuderuAdUnitPtr>> appendAdUnitsMaximum(std::int32_t /*minimum*/, std::int32_t /*maximum*/) {
        return nullptr;
    }
    // MRAID expand with the action's parameters, and collapse; false when nothing changed.
    virtual bool processExpandAction(const std::map<std::string, std::string>& /*params*/) { return false; }
    virtual bool processCollapseAction() { return false; }
    // The page told the view it finished loading.
    virtual void windowOnLoadCalledAction() {}
    // The in-app store page of an app id.
    virtual void openSKAppstore(const Value& /*appId*/) {}
};
using IVuderuAdPtr = std::shared_ptr<IVuderuAd>;

#pragma once
// The ad-space view as the ad serving core sees it. The view itself belongs to the presentation
// side; this face grows with the operations the core calls.

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"
#include "sdk/ads/VuderuAdUnit.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class UIView;
class UIViewController;
class UIWebView;

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

    // What the ad manager asks of a view it made for a taken unit.

    // The space the view is for.
    virtual std::string space() const { return adSpaceName(); }
    // The view or view controller the ad goes into.
    virtual void updateViewContainer(const std::shared_ptr<NSObject>& /*container*/) {}
    virtual void addAdUnit(const VuderuAdUnitPtr& /*unit*/) {}
    // An interface orientation (1 to 4).
    virtual void setInitialOrientation(std::int64_t /*orientation*/) {}
    // The ad manager's time-out and notification value the view was made with.
    virtual std::int64_t notificationFlag() const { return 0; }
    virtual void setNotificationFlag(std::int64_t /*flag*/) {}
    virtual bool displayWhenReady() const { return false; }
    virtual void setDisplayWhenReady(bool /*value*/) {}
    // Starts preparing the active unit's frame; the view calls the manager's adReadyForDisplay
    // when it is ready. NO with an error when it cannot.
    virtual bool prepareAdForDisplay(NSErrorPtr* /*error*/) { return false; }
    virtual void renderView() {}
    virtual bool adRendered() const { return false; }
    // NO for a banner in the expanded state, a rendered takeover, or while in the background.
    virtual bool canBeRefreshed() const { return true; }
    virtual void removeAd() {}
    // The ad will never be shown: a removal of its space withdrew it while it was pending (main
    // thread). What it loads and runs ends at once; nothing is reported.
    virtual void withdraw() {}
    // The host view the ad lives in, and the view of its container (a controller's view).
    virtual std::shared_ptr<UIView> parentView() const { return nullptr; }
    virtual std::shared_ptr<UIView> parentViewContainersView() const { return nullptr; }
    // The view the ad draws in, added to the parent view when shown.
    virtual std::shared_ptr<UIView> adView() const { return nullptr; }
    virtual bool activeFrameTakeover() const {
        auto frame = adFrame();
        return frame && frame->adSpaceLayout() && frame->adSpaceLayout()->isTakeover();
    }

    // What the full-screen, takeover and modal controllers read and ask.

    // The web view the ad's page runs in (its web view loader's), or nil.
    virtual std::shared_ptr<UIWebView> webView() const { return nullptr; }
    // The interface orientation (1 to 4) the ad was requested in; 0 when unknown.
    virtual std::int64_t initialOrientation() const { return 0; }
    // The host's view controller when the ad is to be shown modally over it, else nil.
    virtual std::shared_ptr<UIViewController> parentViewController() const { return nullptr; }
    virtual bool isShownModallyForViewController() const { return parentViewController() != nullptr; }
    // The ad's page loaded its own MRAID script (and draws its own close control).
    virtual bool mraidAdLoaded() const { return false; }
    // The user closed an MRAID ad (a tap in its close corner); whether the ad acted on it.
    virtual bool processMRAIDCloseEvent() { return false; }
    // Takes every window and controller the ad put on screen away.
    virtual void removeTakeoverWindows() {}
};
using IVuderuAdPtr = std::shared_ptr<IVuderuAd>;

#pragma once
// One parsed action inside the action engine: its name, id and parameter string, the event and
// handler it acts for, and the caller's dictionary. Private to the engine's files.

#include "sdk/ads/VuderuAdAction.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

struct VuderuAdActionCall {
    std::int32_t id = 0;
    std::string name;
    std::optional<std::string> paramString;
    std::map<std::string, std::string> pairs;
    VuderuAdEventPtr event;
    IVuderuEventControllerHandlerPtr handler;
    VuderuAdAction::Params& params;

    // The template parameter, or nil when it is missing.
    std::optional<std::string> templateParameter(const std::string& key) const;
    // The plain dictionary value, or nil.
    std::optional<std::string> pair(const std::string& key) const;
    void ok() const { params["status"] = "ok"; }
    void fail() const { params["status"] = "fail"; }
    std::string space() const { return handler ? handler->adSpaceName() : std::string(); }
    // The ad-log GUID of the active unit's current frame ("" without one).
    std::string activeFrameGuid() const;
};

namespace VuderuAdActionSteps {

// Integers as the actions read them: the whole text, or its leading integer.
std::optional<std::int64_t> wholeInteger(const std::string& text);
std::optional<std::int64_t> leadingInteger(const std::string& text);

// The actions that move between frames and ads, and those that open links and alerts.
void nextFrame(const VuderuAdActionCall& call);
void nextAdUnit(const VuderuAdActionCall& call);
void closeAd(const VuderuAdActionCall& call);
void loadAdComponents(const VuderuAdActionCall& call);
void notifyUser(const VuderuAdActionCall& call);
void processRedirect(const VuderuAdActionCall& call);
void directOpen(const VuderuAdActionCall& call);
void directOpenNonAC(const VuderuAdActionCall& call);
// The frequency-cap actions.
void checkCap(const VuderuAdActionCall& call);
void updateViewCount(const VuderuAdActionCall& call);

} // namespace VuderuAdActionSteps

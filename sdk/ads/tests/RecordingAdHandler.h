#pragma once
// An ad-space view for the event and action engine's tests: it answers from fields the test sets
// and records every operation the engine calls on it, with its arguments, as one line each.

#include "sdk/ads/IVuderuEventControllerHandler.h"

#include <string>
#include <vector>

class RecordingAdHandler : public IVuderuEventControllerHandler {
public:
    // What the view answers.
    std::vector<VuderuAdUnitPtr> units;  // the active one first
    VuderuAdFramePtr frame;              // adFrame(); the active unit's current frame when nil
    std::string space = "space";
    bool modal = false;
    bool rendered = false;
    bool showWhenReady = false;
    bool nativeBrowserOpens = true;
    bool frameLoads = true;
    std::shared_ptr<std::vector<VuderuAdUnitPtr>> appendedUnits;
    std::shared_ptr<NSObject> container = std::make_shared<NSObject>();

    // What the engine did, in order.
    std::vector<std::string> calls;
    std::shared_ptr<UIAlertView> alert;

    bool called(const std::string& call) const;

    VuderuAdUnitPtr activeAdUnit() const override { return units.empty() ? nullptr : units.front(); }
    std::vector<VuderuAdUnitPtr> allAdUnitsList() const override { return units; }
    VuderuAdFramePtr adFrame() const override;
    bool isGuidActive(const std::string& guid) const override;
    bool readyForDisplay() const override { return true; }
    std::string adSpaceName() const override { return space; }
    std::shared_ptr<std::vector<VuderuAdUnitPtr>> appendAdUnitsMaximum(std::int32_t minimum, std::int32_t maximum) override;
    bool processExpandAction(const std::map<std::string, std::string>& params) override;
    bool processCollapseAction() override;
    void windowOnLoadCalledAction() override;
    void openSKAppstore(const Value& appId) override;

    bool loadAdFrameError(const VuderuAdFramePtr& frame, NSErrorPtr* error) override;
    void loadAdFrameWithDelayFrameOffset(std::int64_t delay, std::string& offset) override;
    void resumeFrame() override;
    void linkProcessedForAdAction(const std::optional<std::string>& url, const std::string& adAction) override;
    void linkNotProcessedForAdAction(const NSErrorPtr& error, const std::string& adAction) override;

    std::shared_ptr<NSObject> parentViewContainer() const override { return container; }
    bool isShownModallyForViewController() const override { return modal; }
    bool adRendered() const override { return rendered; }
    bool displayWhenReady() const override { return showWhenReady; }
    void setNotificationFlag(std::int32_t flag) override;
    void setIsLoadingAdComponents(bool loading) override;
    void setMraidAdLoaded(bool loaded) override;
    std::shared_ptr<UIAlertView> alertView() const override { return alert; }
    void setAlertView(const std::shared_ptr<UIAlertView>& value) override;
    bool openUrlInNativeBrowserParams(const NSURLPtr& url, Value::Dictionary& params) override;

    void alertViewClickedButtonAtIndex(UIAlertView& alertView, long index) override;
};

// A unit whose frames carry the GUIDs and layout formats given, the cursor on the first.
VuderuAdUnitPtr makeUnit(const std::vector<std::pair<std::string, std::string>>& guidsAndFormats);
// Sets the callback of a frame for an event.
void setCallback(const VuderuAdFramePtr& frame, const std::string& event, std::vector<std::string> actions);

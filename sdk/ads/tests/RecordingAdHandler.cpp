#include "sdk/ads/tests/RecordingAdHandler.h"

#include <algorithm>

bool RecordingAdHandler::called(const std::string& call) const { return std::find(calls.begin(), calls.end(), call) != calls.end(); }

VuderuAdFramePtr RecordingAdHandler::adFrame() const {
    if (frame) return frame;
    auto unit = activeAdUnit();
    return unit ? unit->curAdFrame() : nullptr;
}

bool RecordingAdHandler::isGuidActive(const std::string& guid) const {
    return std::any_of(units.begin(), units.end(), [&](auto& unit) {
        auto current = unit->curAdFrame();
        return current && current->adLogGUID() == guid;
    });
}

std::shared_ptr<std::vector<VuderuAdUnitPtr>> RecordingAdHandler::appendAdUnitsMaximum(std::int32_t minimum, std::int32_t maximum) {
    calls.push_back("appendAdUnits(" + std::to_string(minimum) + "," + std::to_string(maximum) + ")");
    return appendedUnits;
}

bool RecordingAdHandler::processExpandAction(const std::map<std::string, std::string>& params) {
    std::string text;
    for (auto& [key, value] : params) text += (text.empty() ? "" : ",") + key + "=" + value;
    calls.push_back("processExpandAction(" + text + ")");
    return true;
}

bool RecordingAdHandler::processCollapseAction() {
    calls.push_back("processCollapseAction");
    return true;
}

void RecordingAdHandler::windowOnLoadCalledAction() { calls.push_back("windowOnLoadCalledAction"); }

void RecordingAdHandler::openSKAppstore(const Value& appId) { calls.push_back("openSKAppstore(" + appId.stringValue() + ")"); }

bool RecordingAdHandler::loadAdFrameError(const VuderuAdFramePtr& loaded, NSErrorPtr* error) {
    calls.push_back("loadAdFrame(" + (loaded ? loaded->adLogGUID() : std::string("nil")) + ")");
    if (!frameLoads && error) *error = NSError::errorWithDomain("test", 1, {});
    return frameLoads;
}

void RecordingAdHandler::loadAdFrameWithDelayFrameOffset(std::int64_t delay, std::string& offset) {
    calls.push_back("loadAdFrameWithDelay(" + std::to_string(delay) + "," + offset + ")");
}

void RecordingAdHandler::resumeFrame() { calls.push_back("resumeFrame"); }

void RecordingAdHandler::linkProcessedForAdAction(const std::optional<std::string>& url, const std::string& adAction) {
    calls.push_back("linkProcessed(" + url.value_or("nil") + "," + adAction + ")");
}

void RecordingAdHandler::linkNotProcessedForAdAction(const NSErrorPtr& error, const std::string& adAction) {
    calls.push_back("linkNotProcessed(" + (error ? std::to_string(error->code()) : std::string("nil")) + "," + adAction + ")");
}

void RecordingAdHandler::setNotificationFlag(std::int32_t flag) { calls.push_back("setNotificationFlag(" + std::to_string(flag) + ")"); }

void RecordingAdHandler::setIsLoadingAdComponents(bool loading) {
    calls.push_back(std::string("setIsLoadingAdComponents(") + (loading ? "YES" : "NO") + ")");
}

void RecordingAdHandler::setMraidAdLoaded(bool loaded) { calls.push_back(std::string("setMraidAdLoaded(") + (loaded ? "YES" : "NO") + ")"); }

void RecordingAdHandler::setAlertView(const std::shared_ptr<UIAlertView>& value) {
    calls.push_back("setAlertView");
    alert = value;
}

bool RecordingAdHandler::openUrlInNativeBrowserParams(const NSURLPtr& url, Value::Dictionary&) {
    calls.push_back("openUrlInNativeBrowser(" + (url ? url->absoluteString() : std::string("nil")) + ")");
    return nativeBrowserOpens;
}

void RecordingAdHandler::alertViewClickedButtonAtIndex(UIAlertView& alertView, long index) {
    calls.push_back("alertClicked(" + alertView.buttonTitleAtIndex(index) + ")");
}

VuderuAdUnitPtr makeUnit(const std::vector<std::pair<std::string, std::string>>& guidsAndFormats) {
    auto unit = std::make_shared<VuderuAdUnit>();
    for (auto& [guid, format] : guidsAndFormats) {
        auto frame = std::make_shared<VuderuAdFrame>();
        frame->setAdLogGUID(guid);
        auto layout = std::make_shared<VuderuAdSpaceLayout>();
        layout->setFormat(format);
        frame->setAdSpaceLayout(layout);
        unit->addAdFrame(frame);
    }
    return unit;
}

void setCallback(const VuderuAdFramePtr& frame, const std::string& event, std::vector<std::string> actions) {
    auto table = frame->adCallbacks() ? frame->adCallbacks() : std::make_shared<VuderuAdCallbackTable>();
    auto callback = std::make_shared<VuderuAdCallback>();
    callback->setEvent(event);
    callback->setActions(std::move(actions));
    (*table)[event] = callback;
    frame->setAdCallbacks(table);
}

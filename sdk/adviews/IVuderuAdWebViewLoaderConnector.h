#pragma once
// What the web view loader asks of the ad-space view besides its IVuderuAd face. The bodies are
// those of a view that takes nothing over and handles no page events; the ad-space view overrides them.

#include "platform/foundation/NSURL.h"

#include <map>
#include <string>

class IVuderuAdWebViewLoaderConnector {
public:
    virtual ~IVuderuAdWebViewLoaderConnector() = default;

    // Whether the URL opened an app (and the web view must not follow it).
    virtual bool openAppUrlFromExWebView(const NSURLPtr& /*url*/, bool /*fromExWebView*/) { return false; }
    // YES once per new frame; records the frame as seen.
    virtual bool isWebViewNewAdRequest(bool /*value*/) { return false; }
    // Makes the unit with this ad-log GUID the active one; NO when there is none.
    virtual bool setActiveAdUnit(const std::string& /*guid*/) { return false; }
    virtual void setIsLoadingAdComponents(bool /*loading*/) {}
    // A page event with its raw parameter string; fills `processed` and answers whether the event
    // was handled.
    virtual bool processWebLoaderEventParamsStringParams(const std::string& /*event*/, const std::string& /*paramsString*/,
                                                         std::map<std::string, std::string>& /*processed*/) {
        return false;
    }
    virtual void applyProcessedParamsForEvent(const std::map<std::string, std::string>& /*processed*/,
                                              const std::string& /*event*/) {}
    virtual void reportCurrentViewStateToAd() {}
};

#pragma once
// What the in-app browser's controllers ask of the ad-space view that opened the page: its
// loading cover, its mark of an action under way, the links it takes over (App Store and
// application links) and the news that the browser closed.

#include "platform/foundation/NSURL.h"

class IVuderuAdExternalViewConnector {
public:
    virtual ~IVuderuAdExternalViewConnector() = default;

    virtual void showLoadingView() = 0;
    virtual void removeLoadingView() = 0;
    virtual void setActivelyRespondingToAction(bool responding) = 0;
    // Whether the ad opened the URL itself (and the browser must not load it).
    virtual bool openAppUrlFromExWebView(const NSURLPtr& url, bool fromExWebView) = 0;
    // The browser closed; dismiss: the ad goes as well.
    virtual void externalAdViewDidCloseDismissAd(bool dismiss) = 0;
};

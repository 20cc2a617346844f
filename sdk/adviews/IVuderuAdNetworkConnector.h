#pragma once
// What a network plugin asks of the ad-space view it serves. The connector is always the
// ad-space view itself, so a plugin may also see it as the UIView it is (banner placement).

#include "platform/foundation/NSError.h"
#include "sdk/ads/VuderuAdFrame.h"

#include <memory>
#include <string>

class UIViewController;

class IVuderuAdNetworkConnector {
public:
    virtual ~IVuderuAdNetworkConnector() = default;

    // The network has an ad loaded: the view prepares its display and later asks the plugin to render.
    virtual void prepareView() = 0;
    // The banner was placed, or the interstitial is about to show.
    virtual void processRendered() = 0;
    // The network failed before anything showed; the view may clean the plugin up and drop it.
    virtual bool processRenderFailureSendReport(const NSErrorPtr& error, bool sendReport) = 0;
    // The network failed after its ad showed: the view drops the ad and asks for another.
    virtual bool processAdNetworkErrorAfterAdRendered() = 0;
    virtual void processClick() = 0;
    // The network's full-screen view or interstitial closed, or the app is being left.
    virtual void externalAdDidClose() = 0;
    virtual void reportCurrentViewStateToAdAsExpanded() = 0;
    virtual void reportCurrentViewStateToAdAsDefault() = 0;

    virtual std::string space() const = 0;
    // The view controller the view was given, if any.
    virtual std::shared_ptr<UIViewController> parentViewController() const = 0;
    // The frame being shown (its layout's alignment places banners).
    virtual VuderuAdFramePtr adFrame() const = 0;
};

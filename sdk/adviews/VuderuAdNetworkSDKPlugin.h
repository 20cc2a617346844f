#pragma once
// What the plugins of outside ad-network SDKs share: the banner or interstitial object of the
// request, whether the network's ad has been shown (which decides how a later failure is
// reported), outside classes found by name, and calls to the host's delegate.

#include "platform/uikit/UIView.h"
#include "sdk/adviews/VuderuAdNetworkBasePlugin.h"
#include "sdk/adviews/VuderuOutsideSDK.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class VuderuAdDelegate;

class VuderuAdNetworkSDKPlugin : public VuderuAdNetworkBasePlugin {
public:
    UIViewPtr currentBanner() const override { return std::dynamic_pointer_cast<UIView>(currentBannerObject_); }
    const std::shared_ptr<NSObject>& currentInterstitial() const { return currentInterstitial_; }
    bool isAdRendered() const { return adRendered_; }

protected:
    // The outside class, or nil after logging the message for a missing one.
    static Class outsideClass(const std::string& name, const std::string& missingMessage);
    // A key of the host's delegate; nullopt when there is no delegate or it does not answer.
    std::optional<std::string> delegateKey(std::optional<std::string> (VuderuAdDelegate::*key)()) const;
    // Calls the host's delegate when there is one (its unanswered methods do nothing).
    void tellDelegate(const std::function<void(VuderuAdDelegate&, const std::string& space)>& call) const;
    // The failure rule with this plugin's adRendered.
    void failed(const NSErrorPtr& error) { reportNetworkFailure(adRendered_, error); }
    // The banner goes into the parent view; the ad-space view hears it rendered.
    void placeBannerRendered(const UIViewPtr& parentView);
    // The banner's root controller becomes what the view's parent controller presented, if any.
    void adoptPresentedRootViewController();
    // Clears the outside objects' delegates (a plugin going away must not be called back).
    void clearDelegates();

    std::shared_ptr<NSObject> currentBannerObject_;
    std::shared_ptr<NSObject> currentInterstitial_;
    bool adRendered_ = false;
};

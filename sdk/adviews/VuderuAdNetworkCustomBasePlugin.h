#pragma once
// The plugin of a network the host registered: one new instance of the host's class per
// request, driven through VuderuCustomAdNetwork, its reports passed on to the ad-space view and
// the host's delegate.

#include "platform/foundation/NSObjCRuntime.h"
#include "sdk/adviews/VuderuAdNetworkBasePlugin.h"
#include "sdk/ads/VuderuCustomAdNetwork.h"

#include <memory>

class VuderuAdNetworkCustomBasePlugin : public VuderuAdNetworkBasePlugin, public VuderuCustomAdNetworkDelegate {
public:
    // The plugin for an instance of the class made with the wrapped properties; nil when the
    // class does not declare VuderuCustomAdNetwork or makes no instance.
    static std::shared_ptr<VuderuAdNetworkCustomBasePlugin> initAdNetworkWithProperties(const Class& networkClass,
                                                                                       const std::shared_ptr<VuderuCustomAdNetworkProperties>& properties);

    bool adIsAvailableParentViewOrientation(const std::string& space, const UIViewPtr& parentView, std::int64_t orientation) override;
    bool getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                    const Connector& adContainer) override;
    void renderAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                       const Connector& adContainer) override;
    void cleanupAdView(const std::string& space) override;

    const std::shared_ptr<VuderuCustomAdNetwork>& adNetwork() const { return adNetwork_; }
    const std::shared_ptr<VuderuCustomAdNetworkProperties>& adNetworkProperties() const { return adNetworkProperties_; }

    void networkDidFailAdInterstitialAd(const NSErrorPtr& error, bool interstitial) override;
    void networkDidReceiveAdInterstitialAd(const Value& object, bool interstitial) override;
    void networkAdDidReceiveClick(bool clicked) override;
    void networkWillPresentInterstitial() override;
    void networkWillDismissInterstitial() override;
    void networkDidDismissInterstitial() override;
    void networkWillLeaveApplication(bool leaving) override;
    void networkWillExpandAd() override;
    void networkWillCollapseAd() override;
    void networkDidCollapseAd() override;

private:
    std::string networkName() const;

    std::shared_ptr<VuderuCustomAdNetwork> adNetwork_;
    std::shared_ptr<VuderuCustomAdNetworkProperties> adNetworkProperties_;
};

#pragma once
// A host's own ad network, as the host program registers it through the ads facade: every call
// it gets goes to the stand-ins' journal ("custom ..."), a displayed ad is a view in the network's
// colour labelled with its name, and report() makes the latest instance tell its plugin.

#include "platform/foundation/NSObjCRuntime.h"
#include "sdk/ads/VuderuCustomAdNetwork.h"

#include <memory>
#include <string>
#include <vector>

class StandInCustomNetwork : public NSObject, public VuderuCustomAdNetwork {
public:
    explicit StandInCustomNetwork(std::string name) : name_(std::move(name)) {}

    // Registers a class under the class name whose instances are the network `networkName`.
    static void registerClass(const std::string& className, const std::string& networkName);
    // A properties object for the facade call.
    static std::shared_ptr<NSObject> makeProperties();
    // Runs a report of VuderuCustomAdNetworkDelegate by its name ("networkDidReceiveAd") on
    // the latest instance; NO (with the reason) for an unknown report or no instance.
    static bool report(const std::string& name, std::string* reason = nullptr);
    static std::vector<std::string> reportNames();

    bool initWithAdProperites(const std::shared_ptr<VuderuCustomAdNetworkProperties>& properties) override;
    void setMediationDelegate(const std::weak_ptr<VuderuCustomAdNetworkDelegate>& delegate) override;
    std::optional<std::string> adNetworkName() override { return name_; }
    std::string adNetworkVersion() override { return "1.0"; }
    bool getAdWithFrameLoadInterstitial(const std::string& space, const CGRect& frame, bool interstitial) override;
    bool adWillDisplayForSpaceViewContainerShowInterstitial(const std::string& space, const std::shared_ptr<UIView>& container,
                                                           bool interstitial) override;
    void adRequestCompleteForSpaceIsInterstitial(const std::string& space, bool interstitial) override;

private:
    std::string name_;
    std::weak_ptr<VuderuCustomAdNetworkDelegate> delegate_;
    std::shared_ptr<UIView> adView_;
};

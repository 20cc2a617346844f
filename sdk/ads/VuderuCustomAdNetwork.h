#pragma once
// The interfaces of an ad network the host application brings itself. The host registers a
// class (by name, declaring conformance to "VuderuCustomAdNetwork") and a properties object
// through +[VuderuAds addCustomAdNetwork:withProperties:]; the SDK makes one instance of the
// class per ad request ("alloc", then initWithAdProperites:) and drives it on the main thread.

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <optional>
#include <string>

class UIView;
class UIViewController;

// What the host's properties object answers. publisherViewController is optional: nullopt
// means the object does not answer it.
class VuderuCustomAdNetworkProperties {
public:
    virtual ~VuderuCustomAdNetworkProperties() = default;
    virtual std::string publisherId() = 0;
    virtual std::string publisherIdExtended() = 0;
    virtual bool testAdsEnabled() = 0;
    virtual Value targetData() = 0;
    virtual std::optional<std::shared_ptr<UIViewController>> publisherViewController() { return std::nullopt; }
};

// Where the network reports. The flags and the object passed along are the network's own.
class VuderuCustomAdNetworkDelegate {
public:
    virtual ~VuderuCustomAdNetworkDelegate() = default;
    virtual void networkDidFailAdInterstitialAd(const NSErrorPtr& error, bool interstitial) = 0;
    virtual void networkDidReceiveAdInterstitialAd(const Value& object, bool interstitial) = 0;
    virtual void networkAdDidReceiveClick(bool clicked) = 0;
    virtual void networkWillPresentInterstitial() = 0;
    virtual void networkWillDismissInterstitial() = 0;
    virtual void networkDidDismissInterstitial() = 0;
    virtual void networkWillLeaveApplication(bool leaving) = 0;
    virtual void networkWillExpandAd() = 0;
    virtual void networkWillCollapseAd() = 0;
    virtual void networkDidCollapseAd() = 0;
};

// The host's network. It keeps its mediation delegate weakly: the delegate owns the network.
class VuderuCustomAdNetwork {
public:
    virtual ~VuderuCustomAdNetwork() = default;
    // The initializer after "alloc"; NO leaves no instance.
    virtual bool initWithAdProperites(const std::shared_ptr<VuderuCustomAdNetworkProperties>& properties) = 0;
    virtual void setMediationDelegate(const std::weak_ptr<VuderuCustomAdNetworkDelegate>& delegate) = 0;
    // The network's name, also the name it is registered under; nullopt when it has none.
    virtual std::optional<std::string> adNetworkName() = 0;
    virtual std::string adNetworkVersion() = 0;
    // Starts loading an ad; YES when the request was started.
    virtual bool getAdWithFrameLoadInterstitial(const std::string& space, const CGRect& frame, bool interstitial) = 0;
    // Shows the loaded ad in the container or as an interstitial; YES when shown.
    virtual bool adWillDisplayForSpaceViewContainerShowInterstitial(const std::string& space, const std::shared_ptr<UIView>& container,
                                                                   bool interstitial) = 0;
    // The ad-space view is done with this ad.
    virtual void adRequestCompleteForSpaceIsInterstitial(const std::string& space, bool interstitial) = 0;
};

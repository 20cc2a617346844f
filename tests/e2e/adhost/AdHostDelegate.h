#pragma once
// The host's ad delegate: every call it hears becomes one line of the screen's list, in order,
// failures with their error codes. It answers neither question before a display, as a delegate
// that does not implement them. Of the outside networks' keys it answers those `ads key` set;
// the controller they present from is the root.

#include "sdk/ads/VuderuAdDelegate.h"

#include <string>
#include <vector>

class AdHostDelegate : public VuderuAdDelegate {
public:
    void spaceDidReceiveAd(const std::string& space) override;
    void spaceDidFailToReceiveAdError(const std::string& space, const NSErrorPtr& error) override;
    std::optional<bool> spaceShouldDisplayInterstitial(const std::string& space, bool interstitial) override;
    std::optional<bool> spaceShouldDisplayForType(const std::string& space, std::int32_t type) override;
    void spaceDidRenderInterstitial(const std::string& space, bool interstitial) override;
    void spaceDidFailToRenderError(const std::string& space, const NSErrorPtr& error) override;
    void spaceWillDismissInterstitial(const std::string& space, bool interstitial) override;
    void spaceDidDismissInterstitial(const std::string& space, bool interstitial) override;
    void spaceWillLeaveApplication(const std::string& space) override;
    void spaceWillExpand(const std::string& space) override;
    void spaceWillCollapse(const std::string& space) override;
    void spaceDidCollapse(const std::string& space) override;
    void spaceDidReceiveClick(const std::string& space) override;
    void videoDidFinish(const std::string& space) override;
    void videoDidNotFinish(const std::string& space) override;

    // The key names the delegate may answer; a value sets one, nullopt leaves it unanswered.
    static const std::vector<std::string>& keyNames();
    static void setKey(const std::string& name, const Key& value);
    static Key key(const std::string& name);
    Key zidUvovAdMobPublisherID() override { return key("zidUvovAdMobPublisherID"); }
    Key zidUvovInMobiAppKey() override { return key("zidUvovInMobiAppKey"); }
    Key zidUvovMillennialAppKey() override { return key("zidUvovMillennialAppKey"); }
    Key zidUvovMillennialInterstitalAppKey() override { return key("zidUvovMillennialInterstitalAppKey"); }
    Key zidUvovMobclixApplicationID() override { return key("zidUvovMobclixApplicationID"); }
    Key zidUvovJumptapPublisherID() override { return key("zidUvovJumptapPublisherID"); }
    Key zidUvovJumptapSiteID() override { return key("zidUvovJumptapSiteID"); }
    Key zidUvovJumptapBannerAdSpotID() override { return key("zidUvovJumptapBannerAdSpotID"); }
    Key zidUvovJumptapLeaderboardAdSpotID() override { return key("zidUvovJumptapLeaderboardAdSpotID"); }
    Key zidUvovJumptapMediumRectangleAdSpotID() override { return key("zidUvovJumptapMediumRectangleAdSpotID"); }
    Key zidUvovGreystripeApplicationID() override { return key("zidUvovGreystripeApplicationID"); }
    std::optional<std::shared_ptr<UIViewController>> zidUvovRootViewController() override;
};

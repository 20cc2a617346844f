#pragma once
// Millennial Media through its SDK ("MMAdView", "MMInterstitial", "MMSDK", "MMRequest"). Loads
// end in completion blocks; shows, taps and departures come as notifications, which a plugin
// takes only when they carry its own key ("MillennialMediaAPID").

#include "sdk/adviews/VuderuAdNetworkSDKPlugin.h"

class NSNotification;

class VuderuAdNetworkMillennialPlugin : public VuderuAdNetworkSDKPlugin {
public:
    // Made with its notification registrations.
    static std::shared_ptr<VuderuAdNetworkMillennialPlugin> create();
    ~VuderuAdNetworkMillennialPlugin() override;

    bool adIsAvailableParentViewOrientation(const std::string& space, const UIViewPtr& parentView, std::int64_t orientation) override;
    bool getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                    const Connector& adContainer) override;
    void renderAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                       const Connector& adContainer) override;
    const std::string& millennialAppKey() const { return millennialAppKey_; }

    // The request with the analytics settings' location, gender and age; nil without the class.
    std::shared_ptr<NSObject> millennialAdRequest();
    void reportInterstitialError(const NSErrorPtr& error) { failed(error); }
    void reportBannerError(const NSErrorPtr& error) { failed(error); }

    void adWasTapped(const std::shared_ptr<NSNotification>& notification);
    void applicationWillTerminateFromAd(const std::shared_ptr<NSNotification>& notification);
    void adModalDidAppear(const std::shared_ptr<NSNotification>& notification);
    void adModalDidDismiss(const std::shared_ptr<NSNotification>& notification);

protected:
    std::vector<CGSize> makeSupportedAdSizes() const override;

private:
    // The outside class; the first one found starts the SDK, once per process.
    static Class millennialClass(const std::string& name);
    bool isOwn(const std::shared_ptr<NSNotification>& notification) const;
    // The completion of a load: the failure rule, or the view prepares.
    std::shared_ptr<NSBlock> loadCompletion(bool interstitial);

    std::string millennialAppKey_;
};

#pragma once
// The host's properties object as its network sees it: the host's answers, with the SDK's
// test-device setting and the ad manager's root view controller as defaults.

#include "platform/foundation/NSObject.h"
#include "sdk/ads/VuderuCustomAdNetwork.h"

#include <memory>

class VuderuCustomAdNetworkPropertiesInternal : public NSObject, public VuderuCustomAdNetworkProperties {
public:
    explicit VuderuCustomAdNetworkPropertiesInternal(std::shared_ptr<VuderuCustomAdNetworkProperties> properties);
    static std::shared_ptr<VuderuCustomAdNetworkPropertiesInternal> initAdNetworkProperties(
        std::shared_ptr<VuderuCustomAdNetworkProperties> properties);

    std::string publisherId() override;
    std::string publisherIdExtended() override;
    // YES when the host's object says so, else the SDK's test-device setting.
    bool testAdsEnabled() override;
    Value targetData() override;
    // The host's answer when it gives one, else the ad manager's root view controller.
    std::optional<std::shared_ptr<UIViewController>> publisherViewController() override;

private:
    std::shared_ptr<VuderuCustomAdNetworkProperties> adNetworkProperties_;
};

#pragma once
// The view an ad event happened to, as the event controller and the actions it runs see it: the
// ad (its units and frame), what actions do to it, and the delegate of the alert an action raises.
// Controllers hold their handler weakly: the view owns what it runs.

#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIAlertView.h"
#include "sdk/ads/IVuderuAd.h"
#include "sdk/ads/VuderuActionDelegate.h"

#include <cstdint>
#include <memory>

class IVuderuEventControllerHandler : public virtual IVuderuAd, public virtual VuderuActionDelegate, public virtual UIAlertViewDelegate {
public:
    ~IVuderuEventControllerHandler() override = default;

    // The host's view or, when the ad is shown modally, its view controller.
    virtual std::shared_ptr<NSObject> parentViewContainer() const = 0;
    bool isShownModallyForViewController() const override = 0;
    bool adRendered() const override = 0;
    bool displayWhenReady() const override = 0;
    virtual void setNotificationFlag(std::int32_t flag) = 0;
    virtual void setIsLoadingAdComponents(bool loading) = 0;
    virtual void setMraidAdLoaded(bool loaded) = 0;
    virtual std::shared_ptr<UIAlertView> alertView() const = 0;
    virtual void setAlertView(const std::shared_ptr<UIAlertView>& alert) = 0;
    // Opens the URL outside the app; false when the system refused.
    virtual bool openUrlInNativeBrowserParams(const NSURLPtr& url, Value::Dictionary& params) = 0;
};
using IVuderuEventControllerHandlerPtr = std::shared_ptr<IVuderuEventControllerHandler>;

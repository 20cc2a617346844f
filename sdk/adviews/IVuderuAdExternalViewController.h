#pragma once
// What an in-app browser controller offers the full-screen controller: reused for a later page,
// taken off screen, and told which controller to present on.

#include "platform/net/NSURLRequest.h"
#include "sdk/ads/IVuderuAd.h"

#include <memory>

class UIViewController;

class IVuderuAdExternalViewController {
public:
    virtual ~IVuderuAdExternalViewController() = default;

    virtual void loadAdWithRequest(const IVuderuAdPtr& ad, const NSURLRequestPtr& request) = 0;
    virtual void removeWindow() = 0;
    virtual std::shared_ptr<UIViewController> parentVC() const = 0;
    virtual void setParentVC(const std::shared_ptr<UIViewController>& controller) = 0;
};
using IVuderuAdExternalViewControllerPtr = std::shared_ptr<IVuderuAdExternalViewController>;

#pragma once
// What every takeover controller offers the full-screen controller: made for one ad, reused for
// the next, and taken off screen again.

#include "sdk/ads/IVuderuAd.h"

#include <memory>

class UIView;

class IVuderuAdViewController {
public:
    virtual ~IVuderuAdViewController() = default;

    // Shows the ad's current content in this controller (a controller reused for a new ad).
    virtual void loadAd(const IVuderuAdPtr& ad) = 0;
    // Takes the controller off screen: dismissed, or its window removed.
    virtual void removeWindow() = 0;
    virtual IVuderuAdPtr ad() const = 0;
    virtual void setAd(const IVuderuAdPtr& ad) = 0;
    // The view that shows the ad's content inside the controller.
    virtual std::shared_ptr<UIView> adView() const = 0;
    virtual void setAdView(const std::shared_ptr<UIView>& view) = 0;
};
using IVuderuAdViewControllerPtr = std::shared_ptr<IVuderuAdViewController>;

#pragma once
// The base of every ad-network plugin. A plugin serves one ad-space view (its adContainer) for
// one request: it loads the network's banner or interstitial, places or presents it, and reports
// each step to the view through IVuderuAdNetworkConnector. The base refuses a second request
// while bound, chooses the banner size from the plugin's list and places banners in the view.
//
// Outside SDKs call plugins back by selector name (NSDynamicMessaging): each plugin class lists
// the selectors it answers in its table. A plugin is kept alive while one of its callbacks runs,
// since a callback may make the view drop it.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/graphics/CGGeometry.h"
#include "sdk/adviews/IVuderuAdNetworkConnector.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIView;
class UIViewController;
class VuderuAdDelegate;

class VuderuAdNetworkBasePlugin : public NSObject, public NSDynamicMessaging {
public:
    using UIViewPtr = std::shared_ptr<UIView>;
    using Connector = std::shared_ptr<IVuderuAdNetworkConnector>;

    // The plugin interface the ad-space view drives.
    virtual bool adIsAvailableParentViewOrientation(const std::string& space, const UIViewPtr& parentView, std::int64_t orientation);
    virtual bool getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                            const Connector& adContainer);
    virtual void renderAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                               const Connector& adContainer);
    virtual void cleanupAdView(const std::string& space);
    virtual bool viewIsBannerWithSpace(const UIViewPtr& view, const std::string& space);
    virtual void removeBanner(const UIViewPtr& view);
    // The first listed size that fits the parent view; height 0 means none fits.
    CGSize getBannerDimensions(const UIViewPtr& parentView);
    void addBannerViewIntoHolderView(const UIViewPtr& banner, const UIViewPtr& holder);
    // The view's frame or orientation changed: the banner is placed again in its holder.
    virtual void adjustAdBannerFrame();
    std::shared_ptr<VuderuAdDelegate> getVuderuAdDelegate() const;

    // The network's banner of this request; nil when the plugin has none.
    virtual UIViewPtr currentBanner() const { return nullptr; }
    bool interstitial() const { return interstitial_; }
    Connector adContainer() const { return adContainer_.lock(); }
    // Banner sizes the network serves, largest first.
    const std::vector<CGSize>& supportedAdSizes();

    bool respondsToSelector(std::string_view selector) const override;
    Value performSelector(std::string_view selector) override;
    Value performSelectorWithArguments(std::string_view selector, const Value::Array& arguments) override;

protected:
    using Selector = std::function<Value(VuderuAdNetworkBasePlugin& plugin, const Value::Array& arguments)>;
    using SelectorTable = std::map<std::string, Selector, std::less<>>;
    // The outside callbacks and questions this plugin class answers.
    virtual const SelectorTable& outsideSelectors() const;
    // Adapts a member taking the message's arguments to a table entry.
    template <class Plugin>
    static Selector on(Value (Plugin::*member)(const Value::Array&)) {
        return [member](VuderuAdNetworkBasePlugin& plugin, const Value::Array& arguments) {
            return (static_cast<Plugin&>(plugin).*member)(arguments);
        };
    }

    virtual std::vector<CGSize> makeSupportedAdSizes() const { return {}; }

    // The bound view's space (empty when unbound).
    std::string boundSpace() const;
    // The controller to present from: the view's parentViewController, else the ad manager's
    // root view controller, else the delegate's zidUvovRootViewController.
    std::shared_ptr<UIViewController> presentingViewController() const;
    // A network failure: after the ad showed the view drops it, before it reports a render failure.
    void reportNetworkFailure(bool adRendered, const NSErrorPtr& error);
    // Calls the bound view when there is one.
    void withContainer(const std::function<void(IVuderuAdNetworkConnector&)>& call);

private:
    bool interstitial_ = false;
    std::weak_ptr<IVuderuAdNetworkConnector> adContainer_;
    std::optional<std::vector<CGSize>> supportedAdSizes_;
};
using VuderuAdNetworkBasePluginPtr = std::shared_ptr<VuderuAdNetworkBasePlugin>;

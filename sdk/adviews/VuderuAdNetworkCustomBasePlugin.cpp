#include "sdk/adviews/VuderuAdNetworkCustomBasePlugin.h"

#include "platform/uikit/UIView.h"
#include "sdk/adviews/VuderuCustomAdNetworkPropertiesInternal.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/analytics/VuderuLog.h"

std::shared_ptr<VuderuAdNetworkCustomBasePlugin> VuderuAdNetworkCustomBasePlugin::initAdNetworkWithProperties(
    const Class& networkClass, const std::shared_ptr<VuderuCustomAdNetworkProperties>& properties) {
    auto plugin = std::make_shared<VuderuAdNetworkCustomBasePlugin>();
    plugin->adNetworkProperties_ = VuderuCustomAdNetworkPropertiesInternal::initAdNetworkProperties(properties);
    std::string className = NSStringFromClass(networkClass);
    if (!NSClassConformsToProtocol(networkClass, "VuderuCustomAdNetwork")) {
        VuderuLog("Network class [%@] do not conform to VuderuCustomAdNetwork protocol.", className);
        return nullptr;
    }
    auto object = NSObjectPerformSelector(networkClass, "alloc").objectAs<NSObject>();
    auto network = std::dynamic_pointer_cast<VuderuCustomAdNetwork>(object);
    if (network && !network->initWithAdProperites(plugin->adNetworkProperties_)) network.reset();
    VuderuLog("instance %@", network ? object->description() : std::string("(null)"));
    if (!network) {
        VuderuLog("AdNetwork error: Include SDK for plugin %@ in your project to use the ad network", className);
        return nullptr;
    }
    plugin->adNetwork_ = network;
    network->setMediationDelegate(std::static_pointer_cast<VuderuCustomAdNetworkDelegate>(plugin));
    return plugin;
}

std::string VuderuAdNetworkCustomBasePlugin::networkName() const { return adNetwork_->adNetworkName().value_or("(null)"); }

bool VuderuAdNetworkCustomBasePlugin::adIsAvailableParentViewOrientation(const std::string&, const UIViewPtr&, std::int64_t) { return true; }

bool VuderuAdNetworkCustomBasePlugin::getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView,
                                                                                 bool takeover, const Connector& adContainer) {
    VuderuLog("Retrieving an ad from %@, version %@", networkName(), adNetwork_->adNetworkVersion());
    if (!VuderuAdNetworkBasePlugin::getAdViewParentViewShowTakeoverAdContainer(space, parentView, takeover, adContainer)) return false;
    CGRect frame = parentView ? parentView->frame() : CGRectZero;
    return adNetwork_->getAdWithFrameLoadInterstitial(space, frame, takeover);
}

void VuderuAdNetworkCustomBasePlugin::renderAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView,
                                                                                    bool takeover, const Connector& adContainer) {
    auto keep = self();
    if (adNetwork_->adWillDisplayForSpaceViewContainerShowInterstitial(space, parentView, takeover) && adContainer)
        adContainer->processRendered();
}

void VuderuAdNetworkCustomBasePlugin::cleanupAdView(const std::string& space) {
    auto container = adContainer();
    if (container && container->space() == space) adNetwork_->adRequestCompleteForSpaceIsInterstitial(space, interstitial());
    VuderuAdNetworkBasePlugin::cleanupAdView(space);
}

// The network reports on the main thread; each report may make the view drop this plugin, so
// the plugin is held until the report is done.

void VuderuAdNetworkCustomBasePlugin::networkDidFailAdInterstitialAd(const NSErrorPtr& error, bool) {
    auto keep = self();
    VuderuLog("Ad failed from network %@ with error %@", networkName(), error ? error->description() : std::string("(null)"));
    withContainer([&](IVuderuAdNetworkConnector& view) { view.processRenderFailureSendReport(error, true); });
}

void VuderuAdNetworkCustomBasePlugin::networkDidReceiveAdInterstitialAd(const Value&, bool) {
    auto keep = self();
    VuderuLog("Ad received from network %@", networkName());
    withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
}

void VuderuAdNetworkCustomBasePlugin::networkAdDidReceiveClick(bool) {
    auto keep = self();
    VuderuLog("Ad clicked on network %@", networkName());
    withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
}

void VuderuAdNetworkCustomBasePlugin::networkWillPresentInterstitial() {
    VuderuLog("Ad network will present interstitial %@", networkName());
}

void VuderuAdNetworkCustomBasePlugin::networkWillDismissInterstitial() {
    VuderuLog("Ad network will dismiss interstitial %@", networkName());
}

void VuderuAdNetworkCustomBasePlugin::networkDidDismissInterstitial() {
    auto keep = self();
    VuderuLog("Ad network did dismiss interstitial %@", networkName());
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
}

void VuderuAdNetworkCustomBasePlugin::networkWillLeaveApplication(bool) {
    auto keep = self();
    VuderuLog("Ad network will leave app %@", networkName());
    if (auto delegate = getVuderuAdDelegate()) delegate->spaceWillLeaveApplication(boundSpace());
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
}

void VuderuAdNetworkCustomBasePlugin::networkWillExpandAd() {
    auto keep = self();
    VuderuLog("Ad network will expand ad %@", networkName());
    if (auto delegate = getVuderuAdDelegate()) delegate->spaceWillExpand(boundSpace());
    withContainer([](IVuderuAdNetworkConnector& view) { view.reportCurrentViewStateToAdAsExpanded(); });
}

void VuderuAdNetworkCustomBasePlugin::networkWillCollapseAd() {
    auto keep = self();
    VuderuLog("Ad network will collapse ad %@", networkName());
    if (auto delegate = getVuderuAdDelegate()) delegate->spaceWillCollapse(boundSpace());
    withContainer([](IVuderuAdNetworkConnector& view) { view.reportCurrentViewStateToAdAsDefault(); });
}

void VuderuAdNetworkCustomBasePlugin::networkDidCollapseAd() {
    VuderuLog("Ad network did collapse ad %@", networkName());
    if (auto delegate = getVuderuAdDelegate()) delegate->spaceDidCollapse(boundSpace());
}

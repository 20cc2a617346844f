#include "sdk/adviews/testsupport/StandInCustomNetwork.h"

#include "platform/foundation/NSError.h"
#include "platform/uikit/UIView.h"
#include "sdk/adviews/testsupport/AdNetworkStandInObjects.h"

#include <functional>
#include <map>
#include <mutex>

namespace {

std::mutex& lock() {
    static std::mutex shared;
    return shared;
}
std::weak_ptr<StandInCustomNetwork>& latest() {
    static std::weak_ptr<StandInCustomNetwork> instance;
    return instance;
}

std::string flag(bool value) { return value ? "YES" : "NO"; }

class CustomNetworkClass : public NSObject, public NSDynamicMessaging {
public:
    explicit CustomNetworkClass(std::string name) : name_(std::move(name)) {}
    bool respondsToSelector(std::string_view selector) const override { return selector == "alloc"; }
    Value performSelector(std::string_view selector) override {
        if (selector != "alloc") return Value();
        return Value(std::static_pointer_cast<NSObject>(std::make_shared<StandInCustomNetwork>(name_)));
    }

private:
    std::string name_;
};

class Properties : public NSObject, public VuderuCustomAdNetworkProperties {
public:
    std::string publisherId() override { return "host-publisher"; }
    std::string publisherIdExtended() override { return ""; }
    bool testAdsEnabled() override { return false; }
    Value targetData() override { return Value(); }
};

using Report = std::function<void(VuderuCustomAdNetworkDelegate&)>;
const std::map<std::string, Report>& reports() {
    static const std::map<std::string, Report> all = {
        {"networkDidFailAd",
         [](VuderuCustomAdNetworkDelegate& d) {
             d.networkDidFailAdInterstitialAd(NSError::errorWithDomain("custom", 1, {{NSLocalizedDescriptionKey, Value("custom failed")}}), false);
         }},
        {"networkDidReceiveAd", [](VuderuCustomAdNetworkDelegate& d) { d.networkDidReceiveAdInterstitialAd(Value(), false); }},
        {"networkAdDidReceiveClick", [](VuderuCustomAdNetworkDelegate& d) { d.networkAdDidReceiveClick(true); }},
        {"networkWillPresentInterstitial", [](VuderuCustomAdNetworkDelegate& d) { d.networkWillPresentInterstitial(); }},
        {"networkWillDismissInterstitial", [](VuderuCustomAdNetworkDelegate& d) { d.networkWillDismissInterstitial(); }},
        {"networkDidDismissInterstitial", [](VuderuCustomAdNetworkDelegate& d) { d.networkDidDismissInterstitial(); }},
        {"networkWillLeaveApplication", [](VuderuCustomAdNetworkDelegate& d) { d.networkWillLeaveApplication(true); }},
        {"networkWillExpandAd", [](VuderuCustomAdNetworkDelegate& d) { d.networkWillExpandAd(); }},
        {"networkWillCollapseAd", [](VuderuCustomAdNetworkDelegate& d) { d.networkWillCollapseAd(); }},
        {"networkDidCollapseAd", [](VuderuCustomAdNetworkDelegate& d) { d.networkDidCollapseAd(); }},
    };
    return all;
}

} // namespace

void StandInCustomNetwork::registerClass(const std::string& className, const std::string& networkName) {
    NSRegisterClass(className, std::make_shared<CustomNetworkClass>(networkName), {"VuderuCustomAdNetwork"});
}

std::shared_ptr<NSObject> StandInCustomNetwork::makeProperties() { return std::make_shared<Properties>(); }

std::vector<std::string> StandInCustomNetwork::reportNames() {
    std::vector<std::string> names;
    for (const auto& [name, report] : reports()) names.push_back(name);
    return names;
}

bool StandInCustomNetwork::report(const std::string& name, std::string* reason) {
    auto found = reports().find(name);
    if (found == reports().end()) {
        if (reason) *reason = "no custom network report \"" + name + "\"";
        return false;
    }
    std::shared_ptr<StandInCustomNetwork> network;
    {
        std::lock_guard guard(lock());
        network = latest().lock();
    }
    auto delegate = network ? network->delegate_.lock() : nullptr;
    if (!delegate) {
        if (reason) *reason = "no custom network is loading an ad";
        return false;
    }
    AdNetworkStandInState::note("custom reports " + name);
    found->second(*delegate);
    return true;
}

bool StandInCustomNetwork::initWithAdProperites(const std::shared_ptr<VuderuCustomAdNetworkProperties>& properties) {
    AdNetworkStandInState::note("custom initWithAdProperites: " + std::string(properties ? "<properties>" : "nil"));
    std::lock_guard guard(lock());
    latest() = std::static_pointer_cast<StandInCustomNetwork>(shared_from_this());
    return true;
}

void StandInCustomNetwork::setMediationDelegate(const std::weak_ptr<VuderuCustomAdNetworkDelegate>& delegate) { delegate_ = delegate; }

bool StandInCustomNetwork::getAdWithFrameLoadInterstitial(const std::string& space, const CGRect& frame, bool interstitial) {
    AdNetworkStandInState::note("custom getAd:withFrame:loadInterstitial: \"" + space + "\" \"" + NSStringFromCGRect(frame) + "\" " +
                                flag(interstitial));
    return true;
}

bool StandInCustomNetwork::adWillDisplayForSpaceViewContainerShowInterstitial(const std::string& space, const std::shared_ptr<UIView>& container,
                                                                              bool interstitial) {
    AdNetworkStandInState::note("custom adWillDisplayForSpace:viewContainer:showInterstitial: \"" + space + "\" " + flag(interstitial));
    if (!container) return false;
    adView_ = std::make_shared<UIView>(container->bounds());
    adView_->setBackgroundColor(UIColor::colorWithRed(0.1, 0.6, 0.6, 1));
    adView_->setAccessibilityLabel(name_ + " custom");
    container->addSubview(adView_);
    return true;
}

void StandInCustomNetwork::adRequestCompleteForSpaceIsInterstitial(const std::string& space, bool interstitial) {
    AdNetworkStandInState::note("custom adRequestCompleteForSpace:isInterstitial: \"" + space + "\" " + flag(interstitial));
    if (adView_) adView_->removeFromSuperview();
}

#include "tests/e2e/adhost/AdHostDelegate.h"

#include "tests/e2e/adhost/AdHost.h"

#include <map>
#include <mutex>

namespace {

std::string yesNo(bool value) { return value ? "YES" : "NO"; }

// "error CODE (DESCRIPTION)", or "no error".
std::string describe(const NSErrorPtr& error) {
    if (!error) return "no error";
    return "error " + std::to_string(error->code()) + " (" + error->localizedDescription() + ")";
}

void record(const std::string& call, const std::string& space, const std::string& rest = "") {
    AdHost::shared().record(call + " " + space + (rest.empty() ? "" : " " + rest));
}

struct Keys {
    std::mutex lock;
    std::map<std::string, std::string> values;
};

Keys& keys() {
    static Keys shared;
    return shared;
}

} // namespace

void AdHostDelegate::spaceDidReceiveAd(const std::string& space) { record("spaceDidReceiveAd", space); }

void AdHostDelegate::spaceDidFailToReceiveAdError(const std::string& space, const NSErrorPtr& error) {
    record("spaceDidFailToReceiveAd", space, describe(error));
}

std::optional<bool> AdHostDelegate::spaceShouldDisplayInterstitial(const std::string& space, bool interstitial) {
    record("spaceShouldDisplay", space, "interstitial " + yesNo(interstitial));
    return std::nullopt;
}

std::optional<bool> AdHostDelegate::spaceShouldDisplayForType(const std::string& space, std::int32_t type) {
    record("spaceShouldDisplay", space, "type " + std::to_string(type));
    return std::nullopt;
}

void AdHostDelegate::spaceDidRenderInterstitial(const std::string& space, bool interstitial) {
    record("spaceDidRender", space, "interstitial " + yesNo(interstitial));
}

void AdHostDelegate::spaceDidFailToRenderError(const std::string& space, const NSErrorPtr& error) {
    record("spaceDidFailToRender", space, describe(error));
}

void AdHostDelegate::spaceWillDismissInterstitial(const std::string& space, bool interstitial) {
    record("spaceWillDismiss", space, "interstitial " + yesNo(interstitial));
}

void AdHostDelegate::spaceDidDismissInterstitial(const std::string& space, bool interstitial) {
    record("spaceDidDismiss", space, "interstitial " + yesNo(interstitial));
}

void AdHostDelegate::spaceWillLeaveApplication(const std::string& space) { record("spaceWillLeaveApplication", space); }
void AdHostDelegate::spaceWillExpand(const std::string& space) { record("spaceWillExpand", space); }
void AdHostDelegate::spaceWillCollapse(const std::string& space) { record("spaceWillCollapse", space); }
void AdHostDelegate::spaceDidCollapse(const std::string& space) { record("spaceDidCollapse", space); }
void AdHostDelegate::spaceDidReceiveClick(const std::string& space) { record("spaceDidReceiveClick", space); }
void AdHostDelegate::videoDidFinish(const std::string& space) { record("videoDidFinish", space); }

void AdHostDelegate::videoDidNotFinish(const std::string& space) { record("videoDidNotFinish", space); }

void AdHostDelegate::setKey(const std::string& name, const Key& value) {
    std::lock_guard guard(keys().lock);
    if (value) keys().values[name] = *value;
    else keys().values.erase(name);
}

AdHostDelegate::Key AdHostDelegate::key(const std::string& name) {
    std::lock_guard guard(keys().lock);
    auto found = keys().values.find(name);
    if (found == keys().values.end()) return std::nullopt;
    return found->second;
}

std::optional<std::shared_ptr<UIViewController>> AdHostDelegate::zidUvovRootViewController() {
    return AdHost::shared().rootViewController();
}

#pragma once
// The process's one iAd banner view and interstitial ("ADBannerView", "ADInterstitialAd"), made
// on demand. The link is their delegate and forwards their callbacks to the iAd plugin that
// last made itself the link's delegate; storing none drops both objects.

#include "platform/foundation/NSObjCRuntime.h"

#include <memory>
#include <mutex>
#include <string>

class UIView;

class IAdLink : public NSObject, public NSDynamicMessaging {
public:
    static std::shared_ptr<IAdLink> instance();

    void setAdViewDelegate(const std::shared_ptr<NSObject>& plugin);
    std::shared_ptr<NSObject> adViewDelegate() const { return adViewDelegate_.lock(); }
    // Whether the plugin is the stored one (also while it is being destroyed).
    bool isAdViewDelegate(const NSObject* plugin) const { return plugin && plugin == adViewDelegateIdentity_; }

    Class adBannerViewClass();
    // None on devices other than an iPad.
    Class adInterstitialViewClass();
    bool iAdEnabled() { return adBannerViewClass() != nullptr; }
    std::shared_ptr<NSObject> iADInterstitial();
    std::shared_ptr<NSObject> iADBannerView();
    // The banner as it stands, without making one.
    std::shared_ptr<NSObject> existingBannerView() const { return iADBannerView_; }
    std::shared_ptr<NSObject> existingInterstitial() const { return iADInterstitial_; }
    bool viewIsBannerWithAdSpaceName(const std::shared_ptr<UIView>& view, const std::string& space);
    void cleanupBannerView();
    void cleanupInterstitial();
    void updateInterfaceOrientation();

    bool isDebugEnabled() const { return debugLogEnabled_; }
    void setDebugLogEnabled(bool enabled) { debugLogEnabled_ = enabled; }

    bool respondsToSelector(std::string_view selector) const override;
    Value performSelector(std::string_view selector) override { return performSelectorWithArguments(selector, {}); }
    Value performSelectorWithArguments(std::string_view selector, const Value::Array& arguments) override;

private:
    template <class... Args>
    void debugLog(std::string_view format, const Args&... args) const;
    Value forward(std::string_view selector, const Value::Array& arguments);
    // Both objects go, then the plugin that was stored hears the failure.
    Value failed(std::string_view selector, const Value::Array& arguments, bool banner);

    bool debugLogEnabled_ = false;
    Class adBannerViewClass_;
    Class adInterstitialViewClass_;
    std::weak_ptr<NSObject> adViewDelegate_;
    const NSObject* adViewDelegateIdentity_ = nullptr;
    std::shared_ptr<NSObject> iADInterstitial_;
    std::shared_ptr<NSObject> iADBannerView_;
    bool observesOrientation_ = false;
};

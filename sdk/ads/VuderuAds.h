#pragma once
// The host application's entry to the ad system. Calls that change ad state wait until the
// SDK's set-up has ended and then run in arrival order; queries answer at once. Outcomes reach
// the application only through its delegate (held weakly). A nil space is an absent string;
// the empty string counts as nil.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "sdk/ads/VuderuAdDelegate.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

class UIView;
class UIViewController;

class VuderuAds {
public:
    using Space = std::optional<std::string>;
    using Dictionary = std::map<std::string, std::string>;

    static void initialize(const std::shared_ptr<UIViewController>& rootViewController);
    static void fetchAdForSpaceFrameSize(const Space& space, const CGRect& frame, std::int32_t size);
    static bool adReadyForSpace(const Space& space);
    static void displayAdForSpaceOnView(const Space& space, const std::shared_ptr<UIView>& view);
    static void displayAdForSpaceModallyForViewController(const Space& space, const std::shared_ptr<UIViewController>& controller);
    // Time-out in milliseconds.
    static bool isAdAvailableForSpaceViewSizeTimeout(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size,
                                                     std::int64_t timeout);
    static bool showAdForSpaceViewSizeTimeout(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size,
                                              std::int64_t timeout);
    static void fetchAndDisplayAdForSpaceViewSize(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size);
    static void removeAdFromSpace(const Space& space);

    static void setAdDelegate(const std::shared_ptr<VuderuAdDelegate>& delegate);
    // nil once the application let its delegate go.
    static std::shared_ptr<VuderuAdDelegate> getAdDelegate();
    // Logged (at any log level but 0) when switched on: test ads must not reach the store.
    static void enableTestAds(bool enabled);
    static bool isTestDevice();
    static void setUserCookies(const std::optional<Dictionary>& cookies);
    static void clearUserCookies();
    static void setKeywordsForTargeting(const std::optional<Dictionary>& keywords);
    static void clearKeywords();
    // A custom network (the name its class is registered under, NSClassFromString) with its
    // properties (a VuderuCustomAdNetworkProperties); the plugin manager takes both.
    static void addCustomAdNetworkWithProperties(const std::optional<std::string>& networkClass, const std::shared_ptr<NSObject>& properties);
    // The presentation side's receiver of custom networks (the plugin manager); until one is
    // set a custom network is noted and not added. sdk/adviews/VuderuAdViewsStart.cpp sets it at
    // load time (VuderuAdNetworkPluginManager::registerWithAdsFacade).
    using CustomAdNetworkHandler = void (*)(const std::shared_ptr<NSObject>& networkClass, const std::shared_ptr<NSObject>& properties);
    static void setCustomAdNetworkHandler(CustomAdNetworkHandler handler);
    static void setAdLogServerUrl(const std::string& url);
    static void setAdServerUrl(const std::string& url);
};

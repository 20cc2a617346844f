#include "sdk/adviews/testsupport/AdNetworkRoads.h"

#include <algorithm>

namespace {
bool contains(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}
} // namespace

bool AdNetworkRoad::isBannerClass(const std::string& name) const { return contains(bannerClasses, name); }
bool AdNetworkRoad::isInterstitialClass(const std::string& name) const { return contains(interstitialClasses, name); }

std::vector<std::string> AdNetworkRoad::allClasses() const {
    std::vector<std::string> all = bannerClasses;
    for (const auto& name : interstitialClasses)
        if (!contains(all, name)) all.push_back(name);
    all.insert(all.end(), otherClasses.begin(), otherClasses.end());
    return all;
}

std::vector<std::string> AdNetworkRoad::allCallbacks() const {
    std::vector<std::string> all;
    for (const auto& name : {bannerLoaded, bannerFailed, interstitialLoaded, interstitialFailed})
        if (!name.empty()) all.push_back(name);
    for (const auto* list : {&presented, &closed, &tapped, &others})
        for (const auto& name : *list)
            if (!contains(all, name)) all.push_back(name);
    return all;
}

const std::vector<AdNetworkRoad>& adNetworkRoads() {
    using S = AdNetworkRoad::Style;
    static const std::vector<AdNetworkRoad> roads = {
        {.network = "admob", .title = "AdMob", .red = 0.85, .green = 0.20, .blue = 0.15, .style = S::Delegate,
         .bannerClasses = {"GADBannerView"}, .interstitialClasses = {"GADInterstitial"}, .otherClasses = {"GADRequest"},
         .loadSelectors = {"loadRequest:"}, .presentSelectors = {"presentFromRootViewController:"},
         .bannerLoaded = "adViewDidReceiveAd:", .bannerFailed = "adView:didFailToReceiveAdWithError:",
         .interstitialLoaded = "interstitialDidReceiveAd:", .interstitialFailed = "interstitial:didFailToReceiveAdWithError:",
         .presented = {"interstitialWillPresentScreen:"}, .closed = {"interstitialWillDismissScreen:", "interstitialDidDismissScreen:"},
         .tapped = {"adViewWillPresentScreen:"},
         .others = {"adViewDidDismissScreen:", "adViewWillLeaveApplication:", "interstitialWillLeaveApplication:"}},
        {.network = "inmobi", .title = "InMobi", .red = 0.20, .green = 0.45, .blue = 0.85, .style = S::Delegate,
         .bannerClasses = {"IMBanner"}, .interstitialClasses = {"IMInterstitial"}, .otherClasses = {"InMobi"},
         .loadSelectors = {"loadBanner", "loadInterstitial"}, .presentSelectors = {"presentInterstitialAnimated:"},
         .bannerLoaded = "bannerDidReceiveAd:", .bannerFailed = "banner:didFailToReceiveAdWithError:",
         .interstitialLoaded = "interstitialDidReceiveAd:", .interstitialFailed = "interstitial:didFailToReceiveAdWithError:",
         .presented = {"interstitialWillPresentScreen:"}, .closed = {"interstitialWillDismissScreen:", "interstitialDidDismissScreen:"},
         .tapped = {"bannerDidInteract:withParams:", "adViewWillPresentScreen:"},
         .others = {"adViewWillDismissScreen:", "adViewDidDismissScreen:", "bannerWillLeaveApplication:", "interstitialWillLeaveApplication:",
                    "interstitialDidInteract:withParams:", "interstitial:didFailToPresentScreenWithError:"}},
        {.network = "millennial media", .title = "Millennial", .red = 0.55, .green = 0.25, .blue = 0.70,
         .style = S::CompletionAndNotifications, .bannerClasses = {"MMAdView"}, .interstitialClasses = {"MMInterstitial"},
         .otherClasses = {"MMSDK", "MMRequest"}, .loadSelectors = {"getAdWithRequest:onCompletion:", "fetchWithRequest:apid:onCompletion:"},
         .presentSelectors = {"displayForApid:fromViewController:withOrientation:onCompletion:"},
         .presented = {"adModalDidAppear:"}, .closed = {"adModalDidDismiss:"}, .tapped = {"adWasTapped:"},
         .others = {"applicationWillTerminateFromAd:"}},
        {.network = "mobclix", .title = "Mobclix", .red = 0.95, .green = 0.60, .blue = 0.10, .style = S::Delegate,
         .bannerClasses = {"MobclixAdViewiPad_728x90", "MobclixAdViewiPad_468x60", "MobclixAdViewiPhone_320x50", "MobclixAdViewiPad_300x250",
                           "MobclixAdViewiPhone_300x250", "MobclixAdViewiPad_120x600"},
         .interstitialClasses = {"MobclixFullScreenAdViewController"}, .otherClasses = {"Mobclix"},
         .loadSelectors = {"getAd", "requestAd"}, .presentSelectors = {"displayRequestedAdFromViewController:"},
         .bannerLoaded = "adViewDidFinishLoad:", .bannerFailed = "adView:didFailLoadWithError:",
         .interstitialLoaded = "fullScreenAdViewControllerDidFinishLoad:",
         .interstitialFailed = "fullScreenAdViewController:didFailToLoadWithError:", .closed = {"fullScreenAdViewControllerDidDismissAd:"},
         .tapped = {"adViewWillTouchThrough:"}, .others = {"adViewDidFinishTouchThrough:"}},
        {.network = "jumptap", .title = "Jumptap", .red = 0.10, .green = 0.65, .blue = 0.35, .style = S::Widget,
         .bannerClasses = {"JTAdWidget"}, .interstitialClasses = {"JTAdWidget"}, .loadSelectors = {"refreshAd"},
         .bannerFailed = "adWidget:didFailToRequestAd:", .interstitialFailed = "adWidget:didFailToRequestAd:",
         .presented = {"beginDisplayingInterstitial:"}, .closed = {"endDisplayingInterstitial:"}, .tapped = {"beginAdInteraction:"},
         .others = {"endAdInteraction:", "adWidget:didFailToShowAd:"}},
        {.network = "greystripe", .title = "Greystripe", .red = 0.45, .green = 0.45, .blue = 0.50, .style = S::Delegate,
         .bannerClasses = {"GSLeaderboardAdView", "GSMediumRectangleAdView", "GSMobileBannerAdView"}, .interstitialClasses = {"GSFullscreenAd"},
         .loadSelectors = {"fetch"}, .presentSelectors = {"displayFromViewController:"},
         .bannerLoaded = "greystripeAdFetchSucceeded:", .bannerFailed = "greystripeAdFetchFailed:withError:",
         .interstitialLoaded = "greystripeAdFetchSucceeded:", .interstitialFailed = "greystripeAdFetchFailed:withError:",
         .presented = {"greystripeWillPresentModalViewController"},
         .closed = {"greystripeWillDismissModalViewController", "greystripeDidDismissModalViewController"},
         .tapped = {"greystripeAdClickedThrough:", "greystripeBannerAdWillExpand"}, .others = {"greystripeBannerAdDidCollapse"},
         .failsWithCode = true},
        {.network = "iad", .title = "iAd", .red = 0.30, .green = 0.30, .blue = 0.30, .style = S::LoadsByItself,
         .bannerClasses = {"ADBannerView"}, .interstitialClasses = {"ADInterstitialAd"}, .presentSelectors = {"presentFromViewController:"},
         .bannerLoaded = "bannerViewDidLoadAd:", .bannerFailed = "bannerView:didFailToReceiveAdWithError:",
         .interstitialLoaded = "interstitialAdDidLoad:", .interstitialFailed = "interstitialAd:didFailWithError:",
         .closed = {"interstitialAdActionDidFinish:"}, .tapped = {"bannerViewActionShouldBegin:willLeaveApplication:"},
         .others = {"bannerViewActionDidFinish:", "interstitialAdDidUnload:", "interstitialAdActionShouldBegin:willLeaveApplication:"}},
    };
    return roads;
}

const AdNetworkRoad* adNetworkRoad(const std::string& network) {
    std::string name = network == "millennial" ? "millennial media" : network;
    for (const auto& road : adNetworkRoads())
        if (road.network == name) return &road;
    return nullptr;
}

const AdNetworkRoad* adNetworkRoadOfClass(const std::string& className) {
    for (const auto& road : adNetworkRoads()) {
        auto all = road.allClasses();
        if (contains(all, className)) return &road;
    }
    return nullptr;
}

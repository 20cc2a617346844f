#pragma once
// The road each stand-in network takes: its classes, the messages that start a load and present
// an interstitial, and the callbacks it runs at each step.

#include <string>
#include <vector>

struct AdNetworkRoad {
    // How the network tells its plugin.
    enum class Style { Delegate, CompletionAndNotifications, Widget, LoadsByItself };

    std::string network;  // lower-case, as the plugin manager knows it
    std::string title;
    double red, green, blue;
    Style style;
    std::vector<std::string> bannerClasses = {};
    std::vector<std::string> interstitialClasses = {};
    std::vector<std::string> otherClasses = {};
    std::vector<std::string> loadSelectors = {};
    std::vector<std::string> presentSelectors = {};
    std::string bannerLoaded = {}, bannerFailed = {};
    std::string interstitialLoaded = {}, interstitialFailed = {};
    std::vector<std::string> presented = {};  // as the interstitial shows
    std::vector<std::string> closed = {};     // on its "Close" button
    std::vector<std::string> tapped = {};     // on a tap of the banner
    // Every other callback of the network, fired by name only.
    std::vector<std::string> others = {};
    // Greystripe reports failures with a bare code.
    bool failsWithCode = false;

    bool isBannerClass(const std::string& name) const;
    bool isInterstitialClass(const std::string& name) const;
    std::vector<std::string> allClasses() const;
    std::vector<std::string> allCallbacks() const;
};

const std::vector<AdNetworkRoad>& adNetworkRoads();
// The road of a network name ("millennial" stands for "millennial media"), or null.
const AdNetworkRoad* adNetworkRoad(const std::string& network);
const AdNetworkRoad* adNetworkRoadOfClass(const std::string& className);

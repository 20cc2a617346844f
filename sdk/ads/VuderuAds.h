#pragma once
// The host application's entry to the ad system. Its state here: the application's delegate
// (held weakly) and the test-ads flag; the calls that fetch and show ads build on it.

#include "sdk/ads/VuderuAdDelegate.h"

#include <memory>

class VuderuAds {
public:
    static void setAdDelegate(const std::shared_ptr<VuderuAdDelegate>& delegate);
    // nil once the application let its delegate go.
    static std::shared_ptr<VuderuAdDelegate> getAdDelegate();
    // Logged (at any log level but 0) when switched on: test ads must not reach the store.
    static void enableTestAds(bool enabled);
    static bool isTestDevice();
};

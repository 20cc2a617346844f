#pragma once
// A host's own ad network for the tests: registered under a class name, it writes down what it
// is asked and answers as the test says. Its answers and journal are shared by all instances.

#include "platform/foundation/NSObjCRuntime.h"
#include "platform/uikit/UIView.h"
#include "sdk/ads/VuderuCustomAdNetwork.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct TestNetworkScript {
    std::optional<std::string> name = "InMobi";
    bool makesInstance = true;
    bool startsRequests = true;
    bool displays = true;
    std::vector<std::string> journal;
    std::vector<std::weak_ptr<class TestCustomNetwork>> instances;
    std::shared_ptr<VuderuCustomAdNetworkProperties> properties;
    // Registrations may run on a worker while the main thread makes plugins.
    std::mutex lock;

    // Back to the answers a test starts from, with an empty journal.
    void reset() {
        std::lock_guard guard(lock);
        name = "InMobi";
        makesInstance = true;
        startsRequests = true;
        displays = true;
        journal.clear();
        instances.clear();
        properties.reset();
    }
};

class TestProperties : public NSObject, public VuderuCustomAdNetworkProperties {
public:
    bool testAds = false;
    std::optional<std::shared_ptr<UIViewController>> controller;
    std::string publisherId() override { return "publisher"; }
    std::string publisherIdExtended() override { return "publisher-extended"; }
    bool testAdsEnabled() override { return testAds; }
    Value targetData() override { return Value("target"); }
    std::optional<std::shared_ptr<UIViewController>> publisherViewController() override { return controller; }
};

inline TestNetworkScript& testNetwork() {
    static TestNetworkScript script;
    return script;
}

class TestCustomNetwork : public NSObject, public VuderuCustomAdNetwork {
public:
    std::weak_ptr<VuderuCustomAdNetworkDelegate> delegate;

    static void registerClass(const std::string& className, bool conforms = true) {
        NSRegisterClass(className, std::make_shared<NSClassOf<TestCustomNetwork>>(),
                        conforms ? std::vector<std::string>{"VuderuCustomAdNetwork"} : std::vector<std::string>{});
    }
    static std::shared_ptr<TestCustomNetwork> latest() {
        std::lock_guard guard(testNetwork().lock);
        auto& all = testNetwork().instances;
        return all.empty() ? nullptr : all.back().lock();
    }

    bool initWithAdProperites(const std::shared_ptr<VuderuCustomAdNetworkProperties>& properties) override {
        std::lock_guard guard(testNetwork().lock);
        testNetwork().properties = properties;
        if (!testNetwork().makesInstance) return false;
        testNetwork().instances.push_back(std::static_pointer_cast<TestCustomNetwork>(shared_from_this()));
        return true;
    }
    void setMediationDelegate(const std::weak_ptr<VuderuCustomAdNetworkDelegate>& value) override { delegate = value; }
    std::optional<std::string> adNetworkName() override { return testNetwork().name; }
    std::string adNetworkVersion() override { return "1.0"; }
    bool getAdWithFrameLoadInterstitial(const std::string& space, const CGRect& frame, bool interstitial) override {
        note("getAd:withFrame:loadInterstitial: " + space + " " + NSStringFromCGRect(frame) + (interstitial ? " YES" : " NO"));
        return testNetwork().startsRequests;
    }
    bool adWillDisplayForSpaceViewContainerShowInterstitial(const std::string& space, const std::shared_ptr<UIView>&, bool interstitial) override {
        note("adWillDisplayForSpace:viewContainer:showInterstitial: " + space + (interstitial ? " YES" : " NO"));
        return testNetwork().displays;
    }
    void adRequestCompleteForSpaceIsInterstitial(const std::string& space, bool interstitial) override {
        note("adRequestCompleteForSpace:isInterstitial: " + space + (interstitial ? " YES" : " NO"));
    }

private:
    void note(const std::string& call) { testNetwork().journal.push_back(call); }
};

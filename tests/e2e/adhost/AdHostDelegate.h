#pragma once
// The host's ad delegate: every call it hears becomes one line of the screen's list, in order,
// failures with their error codes. It answers neither question before a display, as a delegate
// that does not implement them. Of the outside networks' keys it answers those `ads key` set;
// the controller they present from is the root.

#include "sdk/adviews/testsupport/KeyAnsweringAdDelegate.h"

#include <string>
#include <vector>

class AdHostDelegate : public KeyAnsweringAdDelegate {
public:
    void spaceDidReceiveAd(const std::string& space) override;
    void spaceDidFailToReceiveAdError(const std::string& space, const NSErrorPtr& error) override;
    std::optional<bool> spaceShouldDisplayInterstitial(const std::string& space, bool interstitial) override;
    std::optional<bool> spaceShouldDisplayForType(const std::string& space, std::int32_t type) override;
    void spaceDidRenderInterstitial(const std::string& space, bool interstitial) override;
    void spaceDidFailToRenderError(const std::string& space, const NSErrorPtr& error) override;
    void spaceWillDismissInterstitial(const std::string& space, bool interstitial) override;
    void spaceDidDismissInterstitial(const std::string& space, bool interstitial) override;
    void spaceWillLeaveApplication(const std::string& space) override;
    void spaceWillExpand(const std::string& space) override;
    void spaceWillCollapse(const std::string& space) override;
    void spaceDidCollapse(const std::string& space) override;
    void spaceDidReceiveClick(const std::string& space) override;
    void videoDidFinish(const std::string& space) override;
    void videoDidNotFinish(const std::string& space) override;

    // The keys `ads key` sets (networkKeyNames); a value sets one, nullopt leaves it unanswered.
    static void setKey(const std::string& name, const Key& value);
    static Key key(const std::string& name);
    std::optional<std::shared_ptr<UIViewController>> zidUvovRootViewController() override;

protected:
    Key answerKey(const std::string& name) override { return key(name); }
};

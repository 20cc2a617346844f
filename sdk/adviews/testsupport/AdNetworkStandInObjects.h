#pragma once
// The objects behind the stand-in classes: one behaviour (StandInCore) shared by the plain
// objects (interstitials, requests, widgets) and the banner views.

#include "platform/foundation/NSObjCRuntime.h"
#include "platform/foundation/NSTimer.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/adviews/testsupport/AdNetworkRoads.h"

#include <memory>
#include <string>

class StandInCore {
public:
    StandInCore(const AdNetworkRoad& road, std::string className, NSObject& owner);

    bool respondsToSelector(std::string_view selector) const;
    Value receive(std::string_view selector, const Value::Array& arguments);

    const AdNetworkRoad& road() const { return road_; }
    const std::string& className() const { return className_; }
    bool isBanner() const { return banner_; }
    const std::string& apid() const { return apid_; }
    // Runs one callback of the network by name, with the arguments its selector takes. Millennial's
    // notices carry `apid` when one is given, else the object's own.
    void fire(const std::string& callback, const std::string& apid = {});
    void fireAll(const std::vector<std::string>& callbacks);
    void tapped() { fireAll(road_.tapped); }
    // Millennial's interstitials are fetched and shown through class methods.
    void fetchInterstitial(const std::string& apid, const std::shared_ptr<NSBlock>& completion);
    // Presents the loaded interstitial; NO when nothing is loaded.
    bool presentLoaded(const std::shared_ptr<UIViewController>& from);

private:
    std::shared_ptr<NSObject> owner() const;
    void startLoad();
    void endLoad(bool ok);
    void present(const std::shared_ptr<UIViewController>& from);
    // Asks the plugin one of the network's questions and writes the answer down.
    Value ask(const std::string& question, const Value::Array& arguments);
    Value::Array argumentsFor(const std::string& callback) const;

    const AdNetworkRoad& road_;
    std::string className_;
    NSObject& owner_;
    bool banner_ = false;
    bool loaded_ = false;
    std::weak_ptr<NSObject> delegate_;
    std::string apid_;
    std::shared_ptr<NSBlock> completion_;
    std::shared_ptr<NSTimer> loadTimer_;
};

class StandInObject : public NSObject, public NSDynamicMessaging {
public:
    StandInObject(const AdNetworkRoad& road, std::string className) : core(road, std::move(className), *this) {}
    std::string className() const override { return core.className(); }
    bool respondsToSelector(std::string_view selector) const override { return core.respondsToSelector(selector); }
    Value performSelector(std::string_view selector) override { return core.receive(selector, {}); }
    Value performSelectorWithArguments(std::string_view selector, const Value::Array& arguments) override {
        return core.receive(selector, arguments);
    }
    StandInCore core;
};

// A banner: the network's colour, its name and size as its label; a tap is a click.
class StandInBanner : public UIView, public NSDynamicMessaging {
public:
    StandInBanner(const AdNetworkRoad& road, std::string className);
    std::string className() const override { return core.className(); }
    bool respondsToSelector(std::string_view selector) const override { return core.respondsToSelector(selector); }
    Value performSelector(std::string_view selector) override { return core.receive(selector, {}); }
    Value performSelectorWithArguments(std::string_view selector, const Value::Array& arguments) override;
    void describeToScreen(UIScreenDescription& screen) override;
    TapOutcome tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply& reply) override;
    std::string label() const;
    StandInCore core;
};

// A stand-in class object: "alloc" and the class methods.
class StandInClass : public NSObject, public NSDynamicMessaging {
public:
    StandInClass(const AdNetworkRoad& road, std::string name) : road_(road), name_(std::move(name)) {}
    bool respondsToSelector(std::string_view) const override { return true; }
    Value performSelector(std::string_view selector) override { return performSelectorWithArguments(selector, {}); }
    Value performSelectorWithArguments(std::string_view selector, const Value::Array& arguments) override;

private:
    const AdNetworkRoad& road_;
    std::string name_;
};

// The state all stand-ins share (AdNetworkStandIns.cpp).
#include "sdk/adviews/testsupport/AdNetworkStandIns.h"
namespace AdNetworkStandInState {
void note(const std::string& line);
AdNetworkStandIns::Outcome outcomeFor(const std::string& network);
// The object the network's callbacks fired by name go to.
void setCurrent(const std::string& network, const std::shared_ptr<NSObject>& object);
std::shared_ptr<NSObject> currentObject(const std::string& network);
// A Millennial interstitial by its APID.
std::shared_ptr<NSObject> interstitialForApid(const std::string& apid);
// How a message's argument reads in the journal.
std::string describe(const Value& value);
} // namespace AdNetworkStandInState

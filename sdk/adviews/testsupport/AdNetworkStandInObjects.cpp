#include "sdk/adviews/testsupport/AdNetworkStandInObjects.h"

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/adviews/VuderuOutsideSDK.h"

#include <map>

using AdNetworkStandInState::describe;
using AdNetworkStandInState::note;
using Kind = AdNetworkStandIns::Outcome::Kind;

namespace {

std::string line(const std::string& receiver, std::string_view selector, const Value::Array& arguments) {
    std::string text = receiver + " " + std::string(selector);
    for (const auto& argument : arguments) text += " " + describe(argument);
    return text;
}

// Millennial tells its plugin through notifications named after the handler they reach.
const std::map<std::string, std::string>& millennialNotifications() {
    static const std::map<std::string, std::string> names = {
        {"adWasTapped:", "MillennialMediaAdWasTapped"},
        {"applicationWillTerminateFromAd:", "MillennialMediaAdWillTerminateApplication"},
        {"adModalDidAppear:", "MillennialMediaAdModalDidAppear"},
        {"adModalDidDismiss:", "MillennialMediaAdModalDidDismiss"},
    };
    return names;
}

// The size a banner class gives itself when it is made without a frame.
CGSize naturalSize(const std::string& className) {
    static const std::map<std::string, CGSize> sizes = {
        {"GSLeaderboardAdView", {728, 90}}, {"GSMediumRectangleAdView", {300, 250}}, {"GSMobileBannerAdView", {300, 50}}};
    auto found = sizes.find(className);
    return found == sizes.end() ? CGSizeZero : found->second;
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::shared_ptr<UIViewController> topController(std::shared_ptr<UIViewController> controller) {
    if (!controller) {
        auto window = UIApplication::sharedApplication()->keyWindow();
        controller = window ? window->rootViewController() : nullptr;
    }
    while (controller && controller->presentedViewController()) controller = controller->presentedViewController();
    return controller;
}

NSErrorPtr networkError(const AdNetworkRoad& road, long code) {
    return NSError::errorWithDomain(road.title, code,
                                    {{NSLocalizedDescriptionKey, Value(NSString::stringWithFormat("%@ error %ld", road.title, code))}});
}

} // namespace

StandInCore::StandInCore(const AdNetworkRoad& road, std::string className, NSObject& owner)
    : road_(road), className_(std::move(className)), owner_(owner) {
    banner_ = road.isBannerClass(className_) && !road.isInterstitialClass(className_);
}

std::shared_ptr<NSObject> StandInCore::owner() const { return const_cast<NSObject&>(owner_).self(); }

bool StandInCore::respondsToSelector(std::string_view) const { return true; }

Value StandInCore::receive(std::string_view selector, const Value::Array& arguments) {
    note(line(className_, selector, arguments));
    auto argument = [&](std::size_t index) { return index < arguments.size() ? arguments[index] : Value(); };
    if (startsWith(selector, "init")) {
        auto view = std::dynamic_pointer_cast<UIView>(owner());
        if (view && view->frame().size == CGSizeZero) view->setFrame(CGRect{CGPointZero, naturalSize(className_)});
        if (startsWith(selector, "initWithFrame:")) {
            if (auto view = std::dynamic_pointer_cast<UIView>(owner())) view->setFrame(VuderuOutsideSDK::rectFromValue(argument(0)));
            if (selector == "initWithFrame:apid:rootViewController:") apid_ = argument(1).stringValue();
        }
        if (startsWith(selector, "initWithDelegate:")) delegate_ = argument(0).objectAs<NSObject>();
        if (selector == "initWithDelegate:shouldStartLoading:") {
            banner_ = argument(1).boolValue();
            if (banner_) startLoad();
        }
        if (road_.style == AdNetworkRoad::Style::LoadsByItself) startLoad();
        return Value(owner());
    }
    if (selector == "setDelegate:") {
        delegate_ = argument(0).objectAs<NSObject>();
        return Value();
    }
    if (selector == "isLoaded" || selector == "isBannerLoaded" || selector == "isAdReady") return Value(loaded_);
    if (selector == "isBannerViewActionInProgress" || selector == "isActionInProgress") return Value(false);
    for (const auto& load : road_.loadSelectors) {
        if (selector != load) continue;
        if (selector == "getAdWithRequest:onCompletion:") completion_ = argument(1).objectAs<NSBlock>();
        startLoad();
        return Value();
    }
    for (const auto& presentSelector : road_.presentSelectors)
        if (selector == presentSelector) return Value(presentLoaded(argument(0).objectAs<UIViewController>()));
    return Value();
}

void StandInCore::fetchInterstitial(const std::string& apid, const std::shared_ptr<NSBlock>& completion) {
    apid_ = apid;
    completion_ = completion;
    startLoad();
}

bool StandInCore::presentLoaded(const std::shared_ptr<UIViewController>& from) {
    if (!loaded_) return false;
    present(from);
    return true;
}

void StandInCore::startLoad() {
    auto outcome = AdNetworkStandInState::outcomeFor(road_.network);
    AdNetworkStandInState::setCurrent(road_.network, owner());
    if (className_ == "GSFullscreenAd" || road_.network == "greystripe") {
        ask("greystripeGUID", {});
        if (banner_) ask("greystripeBannerAutoload", {});
    }
    if (outcome.kind == Kind::Never || outcome.kind == Kind::Refuse) return;
    std::weak_ptr<NSObject> weak = owner();
    bool ok = outcome.kind == Kind::Ok;
    if (loadTimer_) loadTimer_->invalidate();
    // The plugin may let the object go before the load ends: then nothing is reported.
    loadTimer_ = NSTimer::scheduledTimerWithTimeInterval(outcome.seconds, false, [this, weak, ok](const std::shared_ptr<NSTimer>&) {
        if (auto alive = weak.lock()) endLoad(ok);
    });
}

void StandInCore::endLoad(bool ok) {
    loaded_ = ok;
    auto outcome = AdNetworkStandInState::outcomeFor(road_.network);
    switch (road_.style) {
    case AdNetworkRoad::Style::CompletionAndNotifications:
        if (completion_) {
            note(className_ + " completes " + (ok ? "YES" : "NO"));
            auto completion = completion_;
            completion->invoke({Value(ok), ok ? Value() : Value(networkError(road_, outcome.code))});
        }
        return;
    case AdNetworkRoad::Style::Widget: {
        auto self = owner();
        ask("publisherId:", {Value(self)});
        ask("site:", {Value(self)});
        ask("adSpot:", {Value(self)});
        ask("isInterstitial:", {Value(self)});
        if (!ok) {
            fire(road_.bannerFailed);
            return;
        }
        if (ask("shouldRenderAd:", {Value(self)}).boolValue() && !banner_) present(nullptr);
        return;
    }
    default:
        fire(banner_ ? (ok ? road_.bannerLoaded : road_.bannerFailed) : (ok ? road_.interstitialLoaded : road_.interstitialFailed));
    }
}

void StandInCore::present(const std::shared_ptr<UIViewController>& from) {
    auto presenting = topController(from);
    if (!presenting) {
        note(className_ + " has no controller to present from");
        return;
    }
    auto screen = std::make_shared<UIViewController>();
    auto view = screen->view();
    view->setBackgroundColor(UIColor::colorWithRed(road_.red, road_.green, road_.blue, 1));
    auto label = std::make_shared<UILabel>(CGRectMake(20, 200, 280, 40));
    label->setText(road_.title + " interstitial");
    view->addSubview(label);
    auto close = UIButton::buttonWithType(UIButtonTypeSystem);
    close->setFrame(CGRectMake(250, 20, 60, 40));
    close->setTitleForState("Close", UIControlStateNormal);
    std::weak_ptr<NSObject> weak = owner();
    std::weak_ptr<UIViewController> weakScreen = screen;
    close->addTargetActionForControlEvents(
        screen,
        [this, weak, weakScreen](NSObject&, UIControl&, UIEvent*) {
            auto alive = weak.lock();
            if (auto shown = weakScreen.lock()) shown->dismissViewControllerAnimatedCompletion(false, nullptr);
            if (alive) fireAll(road_.closed);
        },
        UIControlEventTouchUpInside);
    view->addSubview(close);
    presenting->presentViewControllerAnimatedCompletion(screen, false, nullptr);
    fireAll(road_.presented);
}

Value StandInCore::ask(const std::string& question, const Value::Array& arguments) {
    auto delegate = delegate_.lock();
    Value answer = NSObjectSendMessage(delegate, question, arguments);
    note(className_ + " asks " + question + " -> " + describe(answer));
    return answer;
}

Value::Array StandInCore::argumentsFor(const std::string& callback) const {
    Value::Array arguments;
    std::size_t start = 0;
    for (std::size_t colon = callback.find(':'); colon != std::string::npos; colon = callback.find(':', start)) {
        std::string keyword = callback.substr(start, colon - start);
        start = colon + 1;
        auto outcome = AdNetworkStandInState::outcomeFor(road_.network);
        if (arguments.empty()) {
            arguments.emplace_back(owner());
        } else if (keyword.find("Error") != std::string::npos || keyword.find("Fail") != std::string::npos) {
            arguments.push_back(road_.failsWithCode ? Value(outcome.code) : Value(networkError(road_, outcome.code)));
        } else if (keyword == "willLeaveApplication") {
            arguments.emplace_back(false);
        } else if (keyword == "withParams") {
            arguments.emplace_back(Value::Dictionary{});
        } else {
            arguments.emplace_back(owner());
        }
    }
    return arguments;
}

void StandInCore::fire(const std::string& callback, const std::string& apid) {
    if (callback.empty()) return;
    auto keep = owner();
    if (road_.style == AdNetworkRoad::Style::CompletionAndNotifications) {
        auto name = millennialNotifications().find(callback);
        if (name == millennialNotifications().end()) return;
        const std::string& carried = apid.empty() ? apid_ : apid;
        note(className_ + " posts " + name->second + " " + describe(Value(carried)));
        NSNotificationCenter::defaultCenter()->postNotificationName(name->second, Value(keep),
                                                                    {{"MillennialMediaAPID", Value(carried)}});
        return;
    }
    note(className_ + " calls " + callback);
    NSObjectSendMessage(delegate_.lock(), callback, argumentsFor(callback));
}

void StandInCore::fireAll(const std::vector<std::string>& callbacks) {
    auto keep = owner();
    for (const auto& callback : callbacks) fire(callback);
}

StandInBanner::StandInBanner(const AdNetworkRoad& road, std::string className) : core(road, std::move(className), *this) {
    setBackgroundColor(UIColor::colorWithRed(road.red, road.green, road.blue, 1));
}

Value StandInBanner::performSelectorWithArguments(std::string_view selector, const Value::Array& arguments) {
    if (selector == "setFrame:" && !arguments.empty()) setFrame(VuderuOutsideSDK::rectFromValue(arguments[0]));
    return core.receive(selector, arguments);
}

std::string StandInBanner::label() const {
    CGSize size = frame().size;
    return NSString::stringWithFormat("%@ %gx%g", core.road().title, size.width, size.height);
}

void StandInBanner::describeToScreen(UIScreenDescription& screen) {
    setAccessibilityLabel(label());
    UIView::describeToScreen(screen);
}

UIView::TapOutcome StandInBanner::tapWithEvent(const std::shared_ptr<UIEvent>&, UIScreenReply& reply) {
    reply.said = "tapped " + label();
    core.tapped();
    return TapOutcome::Taken;
}

Value StandInClass::performSelectorWithArguments(std::string_view selector, const Value::Array& arguments) {
    note(line(name_, selector, arguments));
    bool refused = AdNetworkStandInState::outcomeFor(road_.network).kind == Kind::Refuse;
    auto argument = [&](std::size_t index) { return index < arguments.size() ? arguments[index] : Value(); };
    if (selector == "alloc" || selector == "request" || selector == "requestWithLocation:") {
        if (refused) return Value();
        if (road_.isBannerClass(name_)) return Value(std::static_pointer_cast<NSObject>(std::make_shared<StandInBanner>(road_, name_)));
        return Value(std::static_pointer_cast<NSObject>(std::make_shared<StandInObject>(road_, name_)));
    }
    if (selector == "fetchWithRequest:apid:onCompletion:") {
        if (refused) return Value();
        auto interstitial = std::make_shared<StandInObject>(road_, name_);
        interstitial->core.fetchInterstitial(argument(1).stringValue(), argument(2).objectAs<NSBlock>());
        return Value();
    }
    if (selector == "requestInterstitialAdPresentation:") {
        auto current = AdNetworkStandInState::currentObject("ADInterstitialAd");
        auto interstitial = std::dynamic_pointer_cast<StandInObject>(current);
        return Value(interstitial && interstitial->core.presentLoaded(argument(0).objectAs<UIViewController>()));
    }
    if (selector == "displayForApid:fromViewController:withOrientation:onCompletion:") {
        auto interstitial = std::dynamic_pointer_cast<StandInObject>(AdNetworkStandInState::interstitialForApid(argument(0).stringValue()));
        bool shown = interstitial && interstitial->core.presentLoaded(argument(1).objectAs<UIViewController>());
        if (auto completion = argument(3).objectAs<NSBlock>())
            completion->invoke({Value(shown), shown ? Value() : Value(networkError(road_, 1))});
        return Value();
    }
    return Value();
}

#include "sdk/ads/tests/AdActionFixture.h"

#include "sdk/ads/VuderuAdManager.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using A = VuderuAdAction;
using AdActionCalls = std::vector<std::string>;

struct Row {
    const char* action;
    std::optional<std::string> status;  // nil: no status set
    std::int32_t result;
    AdActionCalls calls;
    std::function<void(RecordingAdHandler&, VuderuAdUnit&, VuderuAdEvent&)> setup = nullptr;
};

void modal(RecordingAdHandler& h, VuderuAdUnit&, VuderuAdEvent&) { h.modal = true; }
void closedFrame(RecordingAdHandler&, VuderuAdUnit& u, VuderuAdEvent&) { u.curAdFrame()->setFrameClosed(true); }
void refusingBrowser(RecordingAdHandler& h, VuderuAdUnit&, VuderuAdEvent&) { h.nativeBrowserOpens = false; }
void failingLoad(RecordingAdHandler& h, VuderuAdUnit&, VuderuAdEvent&) { h.frameLoads = false; }
void rendered(RecordingAdHandler& h, VuderuAdUnit&, VuderuAdEvent&) { h.rendered = true; }
void unitsCome(RecordingAdHandler& h, VuderuAdUnit&, VuderuAdEvent&) { h.appendedUnits = std::make_shared<std::vector<VuderuAdUnitPtr>>(); }
std::function<void(RecordingAdHandler&, VuderuAdUnit&, VuderuAdEvent&)> eventParams(VuderuAdEvent::ParamMap map) {
    return [map](RecordingAdHandler&, VuderuAdUnit&, VuderuAdEvent& e) { e.addParams(std::make_shared<VuderuAdEvent::ParamMap>(map)); };
}

const Row kRows[] = {
    {"notifyUser?confirmDisplay=OK", "fail", A::kNotifyUser, {}},
    {"logEvent?a=1", "ok", A::kLogEvent, {}},
    {"processRedirect?url=http%3A%2F%2Fexample.com%2Fx&native=true", "ok", A::kProcessRedirect,
     {"openUrlInNativeBrowser(http://example.com/x)"}},
    {"processRedirect?url=http%3A%2F%2Fexample.com%2Fx&native=true", "fail", A::kProcessRedirect,
     {"openUrlInNativeBrowser(http://example.com/x)"}, refusingBrowser},
    {"processRedirect?native=true", "fail", A::kProcessRedirect, {}},
    {"processRedirect?url=http%3A%2F%2Fexample.com", "ok", A::kProcessRedirect, {}, closedFrame},
    {"nextFrame?offset=previous", "fail", A::kNextFrame, {}},
    {"nextFrame?offset=current", "ok", A::kNextFrame, {"resumeFrame"}},
    {"nextFrame?offset=next", "ok", A::kNextFrame, {"spaceWillExpand(space)", "loadAdFrame(g2)"}},
    {"nextFrame?offset=next", "ok", A::kNextFrame, {"loadAdFrame(g2)"}, modal},
    {"nextFrame?offset=next", "ok", A::kNextFrame, {"spaceWillExpand(space)", "loadAdFrame(g2)"}, failingLoad},
    {"nextFrame?offset=2", "ok", A::kNextFrame, {"loadAdFrame(g3)"}},
    {"nextFrame?offset=7", "fail", A::kNextFrame, {}},
    {"nextFrame?offset=two", "fail", A::kNextFrame, {}},
    {"nextFrame?delay=5", "fail", A::kNextFrame, {}},
    {"nextFrame?offset=previous&delay=0", "fail", A::kNextFrame, {}},
    {"nextFrame?offset=next&delay=5s", "fail", A::kNextFrame, {}},
    {"nextFrame?offset=next&delay=5", std::nullopt, A::kNextFrame, {"loadAdFrameWithDelay(5,next)"}},
    {"nextFrame?offset=current&delay=0", "fail", A::kNextFrame, {}},
    {"nextFrame?offset=current&delay=3", std::nullopt, A::kNextFrame, {"loadAdFrameWithDelay(3,current)"}},
    {"nextFrame?offset=next", "ok", A::kNextFrame, {}, closedFrame},
    {"nextAdUnit?delay=0", "fail", A::kNextAdUnit, {}},
    {"nextAdUnit?delay=soon", "fail", A::kNextAdUnit, {}},
    {"nextAdUnit?delay=30", "ok", A::kNextAdUnit, {}},
    {"nextAdUnit", "fail", A::kNextAdUnit, {}},
    {"nextAdUnit?maxAds=many", "fail", A::kNextAdUnit, {}},
    {"nextAdUnit?maxAds=0", "fail", A::kNextAdUnit, {}},
    {"nextAdUnit?maxAds=2", "ok", A::kNextAdUnit, {}},
    {"nextAdUnit?maxAds=2", "ok", A::kNextAdUnit, {"setNotificationFlag(3)"}, rendered},
    {"closeAd", "ok", A::kCloseAd, {}},
    {"verifyUrl?url=http%3A%2F%2Fexample.com", "ok", A::kVerifyUrl, {}},
    {"verifyUrl?url=nosuch%3A%2F%2Fx", "fail", A::kVerifyUrl, {}},
    {"verifyUrl", "fail", A::kVerifyUrl, {}},
    {"sendUrlAsync", "fail", A::kSendUrlAsync, {}},
    {"sendAdLogs", std::nullopt, A::kSendAdLogs, {}},
    {"loadAdComponents", "fail", A::kLoadAdComponents, {"setIsLoadingAdComponents(YES)", "appendAdUnits(1,10)"}},
    {"loadAdComponents?min=3", "ok", A::kLoadAdComponents, {"setIsLoadingAdComponents(YES)", "appendAdUnits(1,10)"}, unitsCome},
    {"loadAdComponents", "ok", A::kLoadAdComponents, {"setIsLoadingAdComponents(YES)", "appendAdUnits(2,4)"},
     [](auto& h, auto& u, auto& e) { unitsCome(h, u, e), eventParams({{"min", "2"}, {"max", "4"}})(h, u, e); }},
    {"loadAdComponents", "fail", A::kLoadAdComponents, {"setIsLoadingAdComponents(YES)"}, eventParams({{"min", "0"}})},
    {"loadAdComponents", "fail", A::kLoadAdComponents, {"setIsLoadingAdComponents(YES)"}, eventParams({{"max", "4x"}})},
    {"doExpand?a=1&b=2", std::nullopt, A::kDoExpand, {"processExpandAction(a=1,b=2)"}},
    {"doCollapse", std::nullopt, A::kDoCollapse, {"processCollapseAction"}},
    {"directOpen?url=http%3A%2F%2Fx%2F", "ok", A::kDirectOpen, {"linkProcessed(http://x/,directOpen)"}},
    {"directOpen?url=http%3A%2F%2Fx%2F&native=true", "ok", A::kDirectOpen, {"openUrlInNativeBrowser(http://x/)"}},
    {"directOpen?url=a+b%25{nosuch}c", "ok", A::kDirectOpen, {"linkProcessed(a bc,directOpen)"}},
    {"directOpen?url=id%3D%25{guid}", "ok", A::kDirectOpen, {"linkProcessed(id=g1,directOpen)"}},
    {"directOpen?url=half%25{guid", "ok", A::kDirectOpen, {"linkProcessed(half%{guid,directOpen)"}},
    {"directOpen?url=bad%zz", "fail", A::kDirectOpen, {}},
    {"directOpen?link=x", "fail", A::kDirectOpen, {}},
    {"adFullyLoaded", std::nullopt, A::kAdFullyLoaded, {"windowOnLoadCalledAction"}},
    {"delete", std::nullopt, A::kDelete, {}},
    {"openSKAppStore?appID=123", std::nullopt, A::kOpenSKAppStore, {"openSKAppstore(123)"}},
    {"checkCap", "fail", A::kCheckCap, {}},
    {"updateViewCount?other=1", "fail", A::kUpdateViewCount, {}},
    {"directOpenNonAC?url=http://h/p?a=1&b=c=d+e", "ok", A::kDirectOpenNonAC, {"linkProcessed(http://h/p?a=1&b=c=d e,directOpenNonAC)"}},
    {"directOpenNonAC?a=1&url=http://h/", "fail", A::kDirectOpenNonAC, {}},
    {"directOpenNonAC", "fail", A::kDirectOpenNonAC, {}},
    {"directOpenNonAC?url=http://h/", "ok", A::kDirectOpenNonAC, {}, closedFrame},
    {"bogus?url=x", std::nullopt, A::kUnknown, {}},
    {"unknown", std::nullopt, A::kUnknown, {}},
};

} // namespace

TEST_F(AdActionTest, EveryActionAsATable) {
    for (auto& row : kRows) {
        SCOPED_TRACE(row.action);
        makeView();
        if (row.setup) row.setup(*handler_, *unit_, *event_);
        VuderuAdAction::Params params;
        EXPECT_EQ(execute(row.action, params), row.result);
        EXPECT_EQ(status(params), row.status);
        EXPECT_EQ(handler_->calls, row.calls);
    }
}

TEST_F(AdActionTest, VocabularyAndEmptyActions) {
    EXPECT_EQ(A::adEventArrayInstance().size(), 20u);
    EXPECT_EQ(A::adActionEnumToString(19), "directOpenNonAC");
    EXPECT_EQ(A::adActionStringToEnum("checkCap"), 17);
    EXPECT_EQ(A::adActionStringToEnum(std::nullopt), 0);
    VuderuAdAction::Params params;
    EXPECT_EQ(execute(std::nullopt, params), 0);
    EXPECT_TRUE(params.empty());
    // Without an event logEvent has nothing to mark.
    event_ = nullptr;
    EXPECT_EQ(execute("logEvent?a=1", params), A::kLogEvent);
    EXPECT_TRUE(params.empty());
}

TEST_F(AdActionTest, LogEventMarksTheEventAndAddsItsPairs) {
    event_->addParams(std::make_shared<VuderuAdEvent::ParamMap>(VuderuAdEvent::ParamMap{{"a", "0"}, {"keep", "1"}}));
    VuderuAdAction::Params params;
    execute("logEvent?a=1&b=two", params);
    EXPECT_TRUE(event_->toBeSent());
    EXPECT_EQ(*event_->paramMap(), (VuderuAdEvent::ParamMap{{"a", "1"}, {"b", "two"}, {"keep", "1"}}));

    // The combinable form knows logEvent alone.
    auto other = std::make_shared<VuderuAdEvent>(VuderuAdEvent::kRendered, std::nullopt, nullptr, 0);
    std::int32_t result = -1;
    VuderuAdAction::Params combinable;
    A::executeActionFromAdEventForCombinableAdUnitWithResultActionParams("doCollapse", other, unit_, &result, combinable);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(other->toBeSent());
    A::executeActionFromAdEventForCombinableAdUnitWithResultActionParams("logEvent?u=2", other, unit_, &result, combinable);
    EXPECT_EQ(result, A::kLogEvent);
    EXPECT_TRUE(other->toBeSent());
    EXPECT_EQ(status(combinable), "ok");
}

TEST_F(AdActionTest, NextAdUnitRunsShareOneMaxAdsCountdown) {
    VuderuAdAction::Params params{{"maxAds", Value(1)}};
    execute("nextAdUnit?maxAds=5", params);
    EXPECT_EQ(status(params), "ok");
    EXPECT_EQ(params.at("maxAds").integerValue(), 0);
    execute("nextAdUnit?maxAds=5", params);
    EXPECT_EQ(status(params), "fail");
    EXPECT_EQ(params.at("maxAds").integerValue(), 0);
}

TEST_F(AdActionTest, ARenderedTakeoverGoingToABannerCollapsesWhenClosed) {
    handler_->rendered = true;
    unit_->nextAdFrame();  // the takeover shows
    VuderuAdAction::Params params;
    execute("nextAdUnit?maxAds=1", params);
    EXPECT_EQ(params.at("callback").stringValue(), "willCollapse");
    execute("closeAd", params);
    EXPECT_EQ(handler_->calls, (AdActionCalls{"setNotificationFlag(3)", "spaceWillCollapse(space)", "spaceDidCollapse(space)"}));

    // A unit that starts with a takeover does not collapse.
    handler_->units = {makeUnit({{"t1", "takeover"}})};
    VuderuAdAction::Params other;
    execute("nextAdUnit?maxAds=1", other);
    EXPECT_EQ(other.count("callback"), 0u);
}

TEST_F(AdActionTest, AModalRenderedTakeoverLeavesItsSpace) {
    auto manager = VuderuAdManager::instance();
    ASSERT_TRUE(manager->registerAdAdSpaceName(handler_, "space"));
    handler_->modal = true;
    handler_->rendered = true;
    unit_->nextAdFrame();
    VuderuAdAction::Params params;
    execute("nextAdUnit?delay=0", params);
    EXPECT_EQ(status(params), "ok");
    EXPECT_FALSE(manager->adForSpace("space"));
    EXPECT_EQ(params.count("maxAds"), 0u);
}

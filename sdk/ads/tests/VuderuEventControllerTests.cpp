#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/IVuderuVASTTracking.h"
#include "sdk/ads/VuderuAdAction.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuEventController.h"
#include "sdk/ads/VuderuVASTBuilders.h"
#include "sdk/ads/tests/RecordingAdHandler.h"
#include "sdk/analytics/VuderuNetworkUtil.h"

#include <gtest/gtest.h>

namespace {

struct LoopResult {
    std::vector<std::int32_t> actions;  // the result action after each YES
    bool lastCallSetStatus = false;
    Value::Dictionary params;
};

LoopResult runLoop(const std::string& event, const std::shared_ptr<RecordingAdHandler>& handler, const VuderuAdFramePtr& frame,
                   Value::Dictionary params = {}) {
    VuderuEventController controller;
    LoopResult result;
    std::int32_t resultAction = 0;
    for (int call = 0; call < 10; ++call) {
        params.erase("status");
        if (!controller.processEventForEventHandlerCurrentFrameWithResultActionParams(event, handler, frame, &resultAction, params)) break;
        result.actions.push_back(resultAction);
    }
    result.lastCallSetStatus = params.count("status") > 0;
    result.params = std::move(params);
    return result;
}

std::vector<std::string> eventNames(const std::string& guid) {
    std::vector<std::string> names;
    auto log = AdLogManager::instance()->getAdLog(guid);
    if (log)
        for (auto& event : log->adEvents()) names.push_back(event->eventName() + (event->toBeSent() ? "" : " (kept)"));
    return names;
}

class EventControllerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        unit_ = makeUnit({{"g1", "banner"}, {"g2", "banner"}});
        handler_->units = {unit_};
    }
    VuderuAdFramePtr frame() const { return unit_->curAdFrame(); }

    std::shared_ptr<RecordingAdHandler> handler_ = std::make_shared<RecordingAdHandler>();
    VuderuAdUnitPtr unit_;
};

} // namespace

TEST_F(EventControllerTest, EachCallRunsOneActionAndTheEventIsLoggedOnce) {
    setCallback(frame(), "clicked", {"logEvent?source=button", "doCollapse"});
    auto result = runLoop("clicked?x=1", handler_, frame());
    EXPECT_EQ(result.actions, (std::vector<std::int32_t>{VuderuAdAction::kLogEvent, VuderuAdAction::kDoCollapse}));
    EXPECT_EQ(result.params.at("status").stringValue(), "ok");
    EXPECT_EQ(handler_->calls, std::vector<std::string>{"processCollapseAction"});
    auto log = AdLogManager::instance()->getAdLog("g1");
    ASSERT_TRUE(log);
    ASSERT_EQ(log->adEvents().size(), 1u);
    auto event = log->adEvents().front();
    EXPECT_EQ(event->eventName(), "clicked");
    EXPECT_TRUE(event->toBeSent());
    EXPECT_EQ(*event->paramMap(), (VuderuAdEvent::ParamMap{{"source", "button"}, {"x", "1"}}));
}

TEST_F(EventControllerTest, OnlyRequestedFilledAndUnfilledAreSentWithoutALogEventAction) {
    for (auto event : {"requested", "filled", "unfilled", "rendered", "custom?a=b"}) runLoop(event, handler_, frame());
    EXPECT_EQ(eventNames("g1"), (std::vector<std::string>{"requested", "filled", "unfilled", "rendered (kept)", "custom?a=b (kept)"}));
}

TEST_F(EventControllerTest, DefaultActionsCarryTheEventsParameters) {
    auto result = runLoop("expand?w=320&h=50", handler_, frame());
    EXPECT_EQ(result.actions, std::vector<std::int32_t>{VuderuAdAction::kDoExpand});
    EXPECT_EQ(handler_->calls, std::vector<std::string>{"processExpandAction(h=50,w=320)"});

    // With an empty callback the default joins its list and runs from there afterwards.
    setCallback(frame(), "expand", {});
    runLoop("expand?w=1", handler_, frame());
    EXPECT_EQ(frame()->adCallbacks()->at("expand")->actions(), std::vector<std::string>{"doExpand?w=1"});
    handler_->calls.clear();
    result = runLoop("expand", handler_, frame());
    EXPECT_EQ(result.actions.size(), 1u);
    EXPECT_EQ(handler_->calls, std::vector<std::string>{"processExpandAction(w=1)"});

    handler_->calls.clear();
    runLoop("videoClicked", handler_, frame(), {{"url", "http://h/p?a=1&b=2"}});
    EXPECT_EQ(handler_->calls, std::vector<std::string>{"linkProcessed(http://h/p?a=1&b=2,directOpenNonAC)"});
}

TEST_F(EventControllerTest, EventListenerAddedMarksTheAdAsMRAIDWithoutStatus) {
    auto result = runLoop("eventListenerAdded", handler_, frame());
    EXPECT_TRUE(result.actions.empty());
    EXPECT_FALSE(result.lastCallSetStatus);
    EXPECT_EQ(handler_->calls, std::vector<std::string>{"setMraidAdLoaded(YES)"});
    EXPECT_EQ(eventNames("g1"), std::vector<std::string>{"eventListenerAdded (kept)"});
}

TEST_F(EventControllerTest, RenderFailedRunsNothingWhileTheNetworkIsLikelyUnreachable) {
    setCallback(frame(), "renderFailed", {"doCollapse"});
    VuderuNetworkUtil::setNetworkLikelyNotReachable();
    auto result = runLoop("renderFailed", handler_, frame());
    EXPECT_TRUE(result.actions.empty());
    EXPECT_FALSE(result.lastCallSetStatus);
    EXPECT_TRUE(handler_->calls.empty());
    EXPECT_EQ(eventNames("g1"), std::vector<std::string>{"renderFailed (kept)"});
}

TEST_F(EventControllerTest, ACombinableAdLogsRenderedForEveryUnit) {
    unit_->setCombinable(1);
    auto second = makeUnit({{"h1", "banner"}});
    auto third = makeUnit({{"k1", "banner"}});
    handler_->units = {unit_, second, third};
    setCallback(frame(), "rendered", {"doCollapse"});
    setCallback(second->curAdFrame(), "rendered", {"logEvent?unit=second", "doCollapse"});
    auto result = runLoop("rendered", handler_, frame());
    EXPECT_EQ(result.actions, std::vector<std::int32_t>{VuderuAdAction::kDoCollapse});
    // The other units run their first action in its combinable form (only logEvent acts).
    EXPECT_EQ(handler_->calls, std::vector<std::string>{"processCollapseAction"});
    for (auto guid : {"g1", "h1", "k1"}) EXPECT_EQ(eventNames(guid), std::vector<std::string>{"rendered"}) << guid;
    EXPECT_EQ(AdLogManager::instance()->getAdLog("h1")->adEvents().front()->paramMap()->at("unit"), "second");
}

TEST_F(EventControllerTest, EventParamsPlaceholderTakesTheWholeParameterString) {
    setCallback(frame(), "clicked", {"directOpenNonAC?url=http://h/p?%{eventParams}&z=%{eventParams}"});
    runLoop("clicked?a=1&b=2", handler_, frame());
    runLoop("clicked", handler_, frame());
    EXPECT_EQ(handler_->calls, (std::vector<std::string>{"linkProcessed(http://h/p?a=1&b=2&z=a=1&b=2,directOpenNonAC)",
                                                         "linkProcessed(http://h/p?&z=,directOpenNonAC)"}));
}

TEST_F(EventControllerTest, WithoutHandlerOrFrameNothingRuns) {
    setCallback(frame(), "clicked", {"doCollapse"});
    EXPECT_TRUE(runLoop("clicked", nullptr, frame()).actions.empty());
    EXPECT_TRUE(runLoop("clicked", handler_, nullptr).actions.empty());
    Value::Dictionary params;
    std::int32_t result = 0;
    VuderuEventController controller;
    EXPECT_FALSE(controller.processEventForEventHandlerCurrentFrameWithResultActionParams(std::nullopt, handler_, frame(), &result, params));
    EXPECT_EQ(params.at("status").stringValue(), "ok");
    EXPECT_TRUE(handler_->calls.empty());
}

namespace {

// A VAST document's tracking answers, counting how often each question is asked.
class StubVAST : public NSObject, public IVuderuVASTTracking {
public:
    std::map<std::string, std::vector<std::string>> urls;
    mutable std::map<std::string, int> asked;

    // nil for a question without URLs.
    UrlList answer(const std::string& key) const {
        ++asked[key];
        return urls.count(key) ? std::make_shared<std::vector<std::string>>(urls.at(key)) : nullptr;
    }
    UrlList getImpressionUrls() const override { return answer("impression"); }
    UrlList getErrorUrls() const override { return answer("error"); }
    std::optional<std::vector<std::string>> getTrackingEventUrls(std::int32_t event) const override {
        auto list = answer("tracking" + std::to_string(event));
        return list ? std::optional<std::vector<std::string>>(*list) : std::nullopt;
    }
    std::optional<std::string> getVideoClickUrl(std::int64_t kind) const override {
        auto list = answer("click" + std::to_string(kind));
        return list ? std::optional<std::string>(list->front()) : std::nullopt;
    }
};

} // namespace

TEST_F(EventControllerTest, ALoopFiresItsEventsVASTURLsOnceOnItsFirstCall) {
    LoopbackHTTPServer server;
    auto vast = std::make_shared<StubVAST>();
    vast->urls = {{"impression", {server.url("/imp1"), server.url("/imp2")}},
                  {"tracking4", {server.url("/q1")}},
                  {"tracking6", {server.url("/complete")}},
                  {"error", {server.url("/error")}},
                  {"click2", {server.url("/click")}}};
    VuderuAdManager::instance()->setVastManagerForAdGuid("g1", vast);
    struct Case {
        const char* event;
        const char* asked;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"videoStart", "impression", {"/imp1", "/imp2"}}, {"videoFirstQuartile", "tracking4", {"/q1"}},
        {"videoCompleted", "tracking6", {"/complete"}},   {"renderFailed", "error", {"/error"}},
        {"videoClicked", "click2", {"/click"}},
    };
    std::size_t expected = 0;
    for (auto& c : cases) {
        SCOPED_TRACE(c.event);
        // Three actions other than logEvent: the loop makes four calls.
        setCallback(frame(), c.event, {"doCollapse", "adFullyLoaded", "doCollapse"});
        EXPECT_EQ(runLoop(c.event, handler_, frame()).actions.size(), 3u);
        EXPECT_EQ(vast->asked[c.asked], 1);
        expected += c.paths.size();
        ASSERT_TRUE(runMainUntil([&] { return server.handledCount() >= expected; }));
    }
    // A click already tracked by the player is not tracked again; other events track nothing.
    runLoop("videoClicked", handler_, frame(), {{"vasturlclicked", true}});
    runLoop("clicked", handler_, frame());
    EXPECT_EQ(vast->asked["click2"], 1);

    std::vector<std::string> paths;
    for (auto& request : server.requests()) {
        paths.push_back(request.path);
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.header("Content-Type").value_or(""), "application/octet-stream");
    }
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/click", "/complete", "/error", "/imp1", "/imp2", "/q1"}));
}

// The same with a document as the parser builds it: each tracked event's URLs reach the tracker
// once however many calls its loop makes.
TEST_F(EventControllerTest, AParsedDocumentsTrackingURLsAreCalledOncePerEvent) {
    LoopbackHTTPServer server;
    using Urls = std::vector<std::string>;
    auto tracking = std::make_shared<std::map<std::string, Urls>>();
    (*tracking)["firstQuartile"] = {server.url("/q1")};
    (*tracking)["midpoint"] = {server.url("/mid")};
    (*tracking)["complete"] = {server.url("/complete")};
    VuderuVASTLinearBuilder linear;
    linear.withLinearTrackingEventMap(tracking).withLinearVideoClickAndUrl(VuderuVASTVideoClickTracking, server.url("/click"));
    VuderuVASTCreativeBuilder creative;
    creative.withCreativeLinear(linear.build(nullptr));
    VuderuVASTAdTypeBuilder adType;
    adType.withImpressionUrls(std::make_shared<Urls>(Urls{server.url("/imp")}))
        .withErrorUrls(std::make_shared<Urls>(Urls{server.url("/error")}))
        .withCreatives(std::make_shared<std::vector<VuderuVASTCreativePtr>>(std::vector<VuderuVASTCreativePtr>{creative.build(nullptr)}));
    VuderuVASTAdBuilder ad;
    ad.withAdType(adType.build());
    VuderuVASTManagerBuilder document;
    document.withVersion(2).withVuderuVASTAds(std::make_shared<std::vector<VuderuVASTAdPtr>>(std::vector<VuderuVASTAdPtr>{ad.build()}));
    VuderuAdManager::instance()->setVastManagerForAdGuid("g1", document.build());

    const char* events[] = {"videoStart", "videoFirstQuartile", "videoMidpoint", "videoCompleted", "renderFailed", "videoClicked"};
    for (auto* event : events) {
        SCOPED_TRACE(event);
        setCallback(frame(), event, {"doCollapse", "adFullyLoaded", "doCollapse"});
        runLoop(event, handler_, frame());
    }
    ASSERT_TRUE(runMainUntil([&] { return server.handledCount() >= 6; }));
    std::vector<std::string> paths;
    for (auto& request : server.requests()) {
        paths.push_back(request.path);
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.header("Content-Type").value_or(""), "application/octet-stream");
    }
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/click", "/complete", "/error", "/imp", "/mid", "/q1"}));
}

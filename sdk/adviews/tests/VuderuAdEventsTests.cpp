// The ad-space view as the handler of ad events: the page bridge's events and their flags, the
// failure roads, the user's alert answers and delayed frame switches.

#include "sdk/adviews/tests/AdSpaceViewFixture.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "sdk/ads/VuderuAdError.h"

namespace {

using Calls = std::vector<std::string>;
using Flags = std::map<std::string, std::string>;

const char* const kOpenNative = "directOpen?url=http%3A%2F%2Fexample.com%2Fland&native=true";

// The five flags, "1" for each one named.
Flags flags(std::initializer_list<const char*> set) {
    Flags all{{"reportClick", "0"}, {"processClick", "0"}, {"closeProcessed", "0"}, {"spaceWillCollapse", "0"},
              {"spaceWillLeaveApplication", "0"}};
    for (const char* name : set) all[name] = "1";
    return all;
}

Flags onlyFlags(const Flags& processed) {
    Flags out;
    for (const auto& [key, value] : flags({}))
        if (auto found = processed.find(key); found != processed.end()) out[key] = found->second;
    return out;
}

} // namespace

class AdSpaceViewEventsTest : public AdSpaceViewTest {
protected:
    // A loaded banner "g1" followed by "g2" and takeover "g3", frames that load no page.
    VuderuAdPtr loadedAd(std::vector<std::pair<std::string, std::vector<std::string>>> callbacks = {}) {
        constexpr std::int32_t none = VuderuAdFrame::kNothing;
        unit = makeUnit({{.guid = "g1", .binding = none, .callbacks = std::move(callbacks)},
                         {.guid = "g2", .binding = none},
                         {.guid = "g3", .binding = none, .format = "takeover"}});
        auto ad = makeAd({unit});
        EXPECT_TRUE(ad->loadAdFrameError(unit->curAdFrame(), nullptr));
        return ad;
    }
    VuderuAdUnitPtr unit;
};

TEST_F(AdSpaceViewEventsTest, BridgeClickMarksTheFrameBeforeItsActionsRun) {
    auto ad = loadedAd({{"clicked", {kOpenNative}}, {"open", {kOpenNative}}});
    Flags processed;
    ASSERT_TRUE(ad->processWebLoaderEventParamsStringParams("clicked", "event=clicked", processed));
    EXPECT_EQ(onlyFlags(processed), flags({"closeProcessed", "spaceWillLeaveApplication"}));
    ad->applyProcessedParamsForEvent(processed, "clicked");
    EXPECT_EQ(delegate->calls, (Calls{"spaceWillLeaveApplication(space)"}));
    EXPECT_EQ(events("g1"), (Calls{"clicked"}));

    auto other = loadedAd({{"open", {kOpenNative}}});
    delegate->calls.clear();
    processed.clear();
    ASSERT_TRUE(other->processWebLoaderEventParamsStringParams("open", "event=open", processed));
    EXPECT_EQ(onlyFlags(processed), flags({"processClick", "closeProcessed", "spaceWillLeaveApplication"}));
    other->applyProcessedParamsForEvent(processed, "open");
    EXPECT_EQ(delegate->calls, (Calls{"spaceDidReceiveClick(space)", "spaceWillLeaveApplication(space)"}));
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs().size(), 2u);
}

TEST_F(AdSpaceViewEventsTest, EachActionSetsItsBridgeFlags) {
    struct Case {
        const char* action;
        Flags expected;
        bool result = true;
    };
    const Case cases[] = {
        {"notifyUser?message=Hi", flags({"closeProcessed"})},
        {"closeAd", flags({"closeProcessed"})},
        {"verifyUrl?url=http%3A%2F%2Fexample.com", flags({"closeProcessed"})},
        {"processRedirect?url=http%3A%2F%2Fexample.com&native=true",
         flags({"reportClick", "closeProcessed", "spaceWillLeaveApplication"})},
        {"nextFrame?offset=next", flags({"reportClick", "closeProcessed"})},
        {"doExpand", flags({"reportClick", "closeProcessed"})},
        {"nextAdUnit?delay=30", flags({})},
        {"doCollapse", flags({"closeProcessed"})},
        {kOpenNative, flags({"processClick", "closeProcessed", "spaceWillLeaveApplication"})},
        {"openSKAppStore?id=123", flags({"reportClick"})},
        {"directOpenNonAC?url=http://example.com/x", flags({"processClick", "closeProcessed"})},
        {"sendAdLogs", flags({})},
        {"directOpen?url=nosuch%3A%2F%2Fx&native=true", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        auto ad = loadedAd({{"open", {c.action}}});
        Flags processed;
        EXPECT_EQ(ad->processWebLoaderEventParamsStringParams("open", "event=open", processed), c.result);
        EXPECT_EQ(onlyFlags(processed), c.expected);
        if (auto alert = ad->alertView()) alert->dismissWithClickedButtonIndexAnimated(1, false);
        ad->removeAd();
    }
    EXPECT_NE(UIApplication::sharedApplication()->keyWindowUnderAlerts(), nullptr);
}

TEST_F(AdSpaceViewEventsTest, ProcessedFlagsBecomeHostCallbacksAndRemoval) {
    struct Case {
        Flags processed;
        std::string event;
        Calls calls;
    };
    const Case cases[] = {
        {flags({"reportClick"}), "open", {"spaceDidReceiveClick(space)"}},
        {flags({"processClick"}), "open", {"spaceDidReceiveClick(space)"}},
        {flags({"spaceWillLeaveApplication"}), "open", {"spaceWillLeaveApplication(space)"}},
        {flags({"closeProcessed"}), "adWillClose", {}},
        {flags({}), "adWillClose", {"spaceWillDismiss(space,NO)", "spaceDidDismiss(space,NO)"}},
        {flags({"spaceWillCollapse"}), "adWillClose",
         {"spaceWillCollapse(space)", "spaceWillDismiss(space,NO)", "spaceDidDismiss(space,NO)", "spaceDidCollapse(space)"}},
    };
    for (const auto& c : cases) {
        auto ad = loadedAd();
        delegate->calls.clear();
        const auto before = events("g1").size();
        ad->applyProcessedParamsForEvent(c.processed, c.event);
        EXPECT_EQ(delegate->calls, c.calls);
        const bool clicked = events("g1").size() > before && events("g1").back() == "clicked";
        EXPECT_EQ(clicked, c.processed.at("processClick") == "1");
    }
}

TEST_F(AdSpaceViewEventsTest, RenderFailureHandledByNextAdUnitReachesNoHost) {
    auto ad = loadedAd({{"renderFailed", {"nextAdUnit?delay=30"}}});
    VuderuAdManager::instance()->addPendingAd(ad);
    EXPECT_TRUE(ad->processRenderFailedError(VuderuAdError::adErrorWithCodeDescription(114, "x")));
    EXPECT_TRUE(delegate->calls.empty());
    EXPECT_TRUE(VuderuAdManager::instance()->pendingAdArray().empty());
}

TEST_F(AdSpaceViewEventsTest, UnhandledRenderFailureReportsByWhetherTheAdWasRendered) {
    auto ad = loadedAd();
    EXPECT_FALSE(ad->processRenderFailedError(VuderuAdError::adErrorWithCodeDescription(114, "x")));
    ad->renderView();
    EXPECT_FALSE(ad->processRenderFailedError(VuderuAdError::adErrorWithCodeDescription(114, "x")));
    EXPECT_FALSE(ad->processRenderFailureSendReport(VuderuAdError::adErrorWithCodeDescription(114, "x"), false));
    EXPECT_EQ(delegate->calls, (Calls{"spaceDidFailToReceiveAd(space,114)", "spaceDidFailToRender(space,114)"}));
}

TEST_F(AdSpaceViewEventsTest, AdComponentsThatCannotLoadFailWith113) {
    auto ad = loadedAd({{"open", {"loadAdComponents"}}});
    Flags processed;
    EXPECT_FALSE(ad->processWebLoaderEventParamsStringParams("open", "event=open&min=3", processed));
    EXPECT_EQ(delegate->calls, (Calls{"spaceDidFailToReceiveAd(space,113)"}));
}

TEST_F(AdSpaceViewEventsTest, DelayedSwitchesFollowTheirOffset) {
    struct Case {
        std::string offset;
        bool stale;
        std::string guid;  // the frame shown afterwards
        Calls calls;
    };
    const Case cases[] = {
        {"next", false, "g2", {}},
        {"next", true, "g1", {}},
        {"2x", false, "g1", {}},
        {"current", false, "g1", {}},
        {"2", false, "g3", {"spaceWillExpand(space)"}},
    };
    ManualClock clock;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        auto ad = loadedAd();
        delegate->calls.clear();
        std::string offset = c.offset;
        ad->loadAdFrameWithDelayFrameOffset(2, offset);
        EXPECT_FALSE(ad->refreshTimerPaused());
        if (c.stale) unit->setCurAdFrameIndex(1);
        clock.advance(1);
        EXPECT_EQ(ad->adFrame()->adLogGUID(), "g1");
        clock.advance(1);
        EXPECT_EQ(ad->adFrame()->adLogGUID(), c.stale ? "g1" : c.guid);
        EXPECT_EQ(delegate->calls, c.calls);
        EXPECT_TRUE(ad->refreshTimerPaused());
        EXPECT_FALSE(ad->nextAdFrameWithDelayParams());
    }
    auto ad = loadedAd();
    unit->setCurAdFrameIndex(1);
    ASSERT_TRUE(ad->loadAdFrameError(unit->curAdFrame(), nullptr));
    std::string previous = "previous";
    ad->loadAdFrameWithDelayFrameOffset(1, previous);
    clock.advance(1);
    EXPECT_EQ(ad->adFrame()->adLogGUID(), "g1");
}

TEST_F(AdSpaceViewEventsTest, AlertAnswersRaiseConfirmedOrCanceled) {
    for (long button : {0L, 1L}) {
        auto ad = loadedAd({{"clicked", {"notifyUser?message=Sure%3F"}}});
        ad->processClick();
        auto alert = ad->alertView();
        ASSERT_TRUE(alert);
        alert->clickButtonAtIndex(button);
        drainMain();
        EXPECT_FALSE(ad->alertView());
        EXPECT_EQ(events("g1").back(), button == 0 ? "userConfirmed" : "userCanceled");
    }
}

TEST_F(AdSpaceViewEventsTest, MRAIDCloseOnABannerNeverExpandedDoesNothing) {
    auto ad = loadedAd({{"collapse", {"closeAd"}}, {"adWillClose", {"closeAd"}}});
    EXPECT_FALSE(ad->processMRAIDCloseEvent());
    EXPECT_TRUE(events("g1").empty());
    unit->setExpandedMRAID(true);
    EXPECT_TRUE(ad->processMRAIDCloseEvent());
    EXPECT_EQ(events("g1"), (Calls{"collapse"}));
}

TEST_F(AdSpaceViewEventsTest, ReturningToTheForegroundClosesAClickedTakeover) {
    unit = makeUnit({{.guid = "t", .format = "takeover"}});
    auto ad = makeAd({unit});
    ASSERT_TRUE(ad->loadAdFrameError(unit->curAdFrame(), nullptr));
    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationWillEnterForegroundNotification);
    EXPECT_TRUE(delegate->calls.empty());
    unit->curAdFrame()->setFrameClicked(true);
    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationWillEnterForegroundNotification);
    EXPECT_EQ(delegate->calls, (Calls{"spaceWillDismiss(space,YES)", "spaceDidDismiss(space,YES)"}));
}

TEST_F(AdSpaceViewEventsTest, OnlyTheThreeViewStatesReachThePage) {
    unit = makeUnit({{.guid = "m",
                      .display = "<html><head><script>window.states='';window.mraid={stateChange:function(s){window.states+=s+';';}};"
                                 "</script></head><body>ad</body></html>"}});
    auto ad = makeAd({unit});
    prepareUntilReady(ad);
    auto states = [&] { return ad->webView()->stringByEvaluatingJavaScriptFromString("window.states"); };
    const std::string before = states();
    ad->setCurrentViewState(1);
    ad->reportCurrentViewStateToAd();
    EXPECT_EQ(states(), before);
    ad->setCurrentViewState(VuderuAd::kViewStateHidden);
    ad->reportCurrentViewStateToAd();
    ad->reportCurrentViewStateToAdAsExpanded();
    ad->reportCurrentViewStateToAdAsDefault();
    EXPECT_EQ(states(), before + "hidden;expanded;default;");
}

// A creative's inline handlers reach the ad: a tap on an MRAID banner's element whose onclick
// calls mraid.expand() expands the ad, and its "#" link keeps the page instead of opening it.
TEST_F(AdSpaceViewEventsTest, AnMRAIDBannerExpandsFromItsInlineOnclick) {
    unit = makeUnit({{.guid = "m",
                      .display = "<html><head><script src='mraid.js'></script></head><body><div id='expand' onclick='mraid.expand()'>Expand</div><a href='#'>Top</a></body></html>",
                      .callbacks = {{"expand", {"doExpand"}}, {"didCompleteFullLoad", {"adFullyLoaded"}}}}});
    unit->setSupportMRAID(true);
    auto ad = makeAd({unit});
    prepareUntilReady(ad);
    ad->renderView();
    host->addSubview(ad);
    auto page = ad->webView();
    auto state = [&] { return page->stringByEvaluatingJavaScriptFromString("mraid.getState()"); };
    ASSERT_TRUE(runMainUntil([&] { return state() == "default"; })) << state();
    drainMain();
    const std::string url = page->pageURL();
    delegate->calls.clear();

    UIScreenReply reply;
    ASSERT_TRUE(page->clickNamed("Top", reply)) << reply.error;
    drainMain();
    EXPECT_EQ(page->pageURL(), url + "#");
    EXPECT_EQ(page->visibleText(), "Expand Top");
    EXPECT_TRUE(delegate->calls.empty()) << delegate->calls.front();

    ASSERT_TRUE(page->clickNamed("expand", reply)) << reply.error;
    ASSERT_TRUE(runMainUntil([&] { return !delegate->calls.empty(); }));
    EXPECT_EQ(delegate->calls.front(), "spaceWillExpand(space)");
    EXPECT_EQ(state(), "expanded");
    EXPECT_TRUE(hasEvent("m", "expand"));
}

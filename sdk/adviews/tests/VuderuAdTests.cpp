// The ad-space view's own road: frames by binding, the ad type, its units, preparing the active
// unit and removal.

#include "sdk/adviews/tests/AdSpaceViewFixture.h"

#include "platform/foundation/arc4random.h"
#include "platform/net/NSURLConnection.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/uikit/UIAlertView.h"
#include "sdk/ads/VuderuAdError.h"

namespace {

using AdCalls = std::vector<std::string>;

std::int64_t codeOf(const NSErrorPtr& error) { return error ? error->code() : 0; }

} // namespace

TEST_F(AdSpaceViewTest, FramesAreLoadedByTheirBinding) {
    struct Case {
        std::int32_t binding;
        std::string format;
        std::string display;
        bool result;
        std::int64_t code;
    };
    const Case cases[] = {
        {1, "banner", "http://127.0.0.1:9/ad.html", true, 0},
        {2, "banner", "<html><body>ad</body></html>", true, 0},
        {5, "banner", "notifyUser?message=Hello", true, 0},
        {6, "banner", "", true, 0},
        {7, "takeover", "", false, 111},
        {42, "banner", "", false, 111},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.binding);
        auto unit = makeUnit({{.guid = "g", .binding = c.binding, .format = c.format, .display = c.display}});
        auto ad = makeAd({unit});
        // A takeover that fails is also taken from the ad manager's registry.
        VuderuAdManager::instance()->registerAdAdSpaceName(ad, "space");
        NSErrorPtr error;
        EXPECT_EQ(ad->loadAdFrameError(unit->curAdFrame(), &error), c.result);
        EXPECT_EQ(codeOf(error), c.code);
        EXPECT_EQ(ad->adFrame(), unit->curAdFrame());
        ASSERT_TRUE(ad->webViewLoader());
        EXPECT_EQ(ad->webViewLoader()->adURL() != nullptr, c.binding == 1);
        EXPECT_TRUE(ad->subviews().empty());
        EXPECT_EQ(c.binding == 5, ad->alertView() != nullptr);
        EXPECT_EQ(VuderuAdManager::instance()->adForSpace("space") == nullptr, c.binding == 7);
        if (auto alert = ad->alertView()) alert->dismissWithClickedButtonIndexAnimated(1, false);
        VuderuAdManager::instance()->deRegisterAdForSpace("space");
    }
}

TEST_F(AdSpaceViewTest, NetworkFrameWithoutAPluginFailsWith109) {
    VuderuUtil::setLogLevel(2);
    auto network = makeUnit({{.guid = "n", .binding = VuderuAdFrame::kNetworkView}});
    auto ad = makeAd({network});
    NSErrorPtr error;
    EXPECT_FALSE(ad->loadAdFrameError(network->curAdFrame(), &error));
    EXPECT_EQ(codeOf(error), 109);
    EXPECT_EQ(error->localizedDescription(), "VuderuAds: Ad Network could not satisfy request");
    EXPECT_TRUE(hasEvent("n", "renderFailed"));
    VuderuUtil::setLogLevel(1);
}

TEST_F(AdSpaceViewTest, PageOnAClosedPortFailsToReceiveWith114AndAnHTMLFrameBecomesReady) {
    auto page = makeUnit({{.guid = "p", .binding = VuderuAdFrame::kWebPage, .display = "http://127.0.0.1:9/ad.html"}});
    auto ad = makeAd({page});
    NSErrorPtr error;
    ASSERT_TRUE(ad->prepareAdForDisplay(&error));
    ASSERT_TRUE(runMainUntil([&] { return !delegate->calls.empty(); }));
    EXPECT_EQ(delegate->calls, (AdCalls{"spaceDidFailToReceiveAd(space,114)"}));
    EXPECT_FALSE(ad->readyForDisplay());

    delegate->calls.clear();
    auto html = makeUnit({{.guid = "h"}});
    auto other = makeAd({html}, "other");
    prepareUntilReady(other);
    EXPECT_TRUE(hasEvent("h", "prepared"));
    EXPECT_TRUE(runMainUntil([&] { return !delegate->calls.empty(); }));
    EXPECT_EQ(delegate->calls, (AdCalls{"spaceDidReceiveAd(other)"}));
    other->renderView();
    EXPECT_TRUE(other->adRendered());
    ASSERT_EQ(other->subviews().size(), 1u);
    EXPECT_EQ(other->subviews()[0], other->webView());
    EXPECT_TRUE(hasEvent("h", "rendered"));
}

TEST_F(AdSpaceViewTest, AdTypeFollowsBindingAndTakeover) {
    const std::int32_t expected[][3] = {{1, 1, 2}, {2, 1, 2}, {3, 4, 3}, {4, 6, 7}, {5, 4, 5}, {6, 4, 5}, {0, 4, 5}};
    for (const auto& row : expected) {
        EXPECT_EQ(VuderuAd::getAdType(makeFrame({.guid = "g", .binding = row[0], .format = "banner"})), row[1]) << row[0];
        EXPECT_EQ(VuderuAd::getAdType(makeFrame({.guid = "g", .binding = row[0], .format = "takeover"})), row[2]) << row[0];
    }
    EXPECT_EQ(VuderuAd::getAdType(nullptr), 4);
}

TEST_F(AdSpaceViewTest, SettingTheActiveUnitMovesItToTheFrontKeepingTheOthersInOrder) {
    auto a = makeUnit({{.guid = "a1"}});
    auto b = makeUnit({{.guid = "b1"}});
    auto c = makeUnit({{.guid = "c1"}, {.guid = "c2"}});
    auto ad = makeAd({a, b, c});
    EXPECT_TRUE(ad->setActiveAdUnit("c2"));
    EXPECT_EQ(ad->allAdUnitsList(), (std::vector<VuderuAdUnitPtr>{c, a, b}));
    EXPECT_TRUE(ad->setActiveAdUnit("c1"));
    EXPECT_EQ(ad->activeAdUnit(), c);
    EXPECT_FALSE(ad->setActiveAdUnit("zz"));
    EXPECT_EQ(ad->allAdUnitsList(), (std::vector<VuderuAdUnitPtr>{c, a, b}));
    EXPECT_TRUE(ad->isGuidActive("a1"));
    EXPECT_FALSE(ad->isGuidActive("c2"));
    EXPECT_FALSE(ad->isGuidActive(""));
}

TEST_F(AdSpaceViewTest, PreparingWithoutAnActiveUnitOrFrame) {
    auto ad = makeAd({});
    NSErrorPtr error;
    EXPECT_FALSE(ad->prepareAdForDisplay(&error));
    EXPECT_EQ(codeOf(error), 105);
    EXPECT_EQ(error->localizedDescription(), "Ad unit is not active");

    auto empty = makeAd({std::make_shared<VuderuAdUnit>()});
    error = nullptr;
    EXPECT_FALSE(empty->prepareAdForDisplay(&error));
    EXPECT_FALSE(error);

    error = nullptr;
    EXPECT_FALSE(ad->loadAdFrameError(nullptr, &error));
    EXPECT_EQ(codeOf(error), 107);
    EXPECT_EQ(error->localizedDescription(), "Ad frame is not active");
}

TEST_F(AdSpaceViewTest, FilledRoadVerifiesTheAdAndGoesOnAsUrlVerified) {
    auto unit = makeUnit({{.guid = "g",
                           .callbacks = {{"filled", {"verifyUrl?url=http%3A%2F%2Fexample.com"}}}}});
    auto ad = makeAd({unit});
    prepareUntilReady(ad);
    ASSERT_TRUE(runMainUntil([&] { return !delegate->calls.empty(); }));
    const auto seen = events("g");
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], "filled");
    EXPECT_EQ(seen[1], "urlVerified");
    EXPECT_TRUE(hasEvent("g", "prepared"));
    EXPECT_EQ(delegate->calls, (AdCalls{"spaceDidReceiveAd(space)"}));
}

TEST_F(AdSpaceViewTest, FilledRoadThatCannotVerifyFailsWith106UnlessTheFailureIsHandled) {
    auto unit = makeUnit({{.guid = "g", .callbacks = {{"filled", {"verifyUrl?url=nosuchscheme%3A%2F%2Fx"}}}}});
    auto ad = makeAd({unit});
    NSErrorPtr error;
    EXPECT_FALSE(ad->prepareAdForDisplay(&error));
    EXPECT_EQ(codeOf(error), 106);
    EXPECT_EQ(error->localizedDescription(), "Could not verify ad for device");
    EXPECT_TRUE(hasEvent("g", "urlNotVerified"));
    EXPECT_FALSE(ad->webViewLoader());

    auto handled = makeUnit({{.guid = "h",
                              .callbacks = {{"filled", {"verifyUrl?url=nosuchscheme%3A%2F%2Fx"}},
                                            {"urlNotVerified", {"notifyUser?message=Sorry"}}}}});
    auto other = makeAd({handled}, "other");
    error = nullptr;
    EXPECT_TRUE(other->prepareAdForDisplay(&error));
    EXPECT_FALSE(error);
    ASSERT_TRUE(other->alertView());
    other->alertView()->dismissWithClickedButtonIndexAnimated(1, false);
}

TEST_F(AdSpaceViewTest, RemovingTwiceSendsOneDismissPairAndSilencedRemovalSendsNone) {
    auto unit = makeUnit({{.guid = "g", .format = "takeover"}});
    auto ad = makeAd({unit});
    ASSERT_TRUE(ad->loadAdFrameError(unit->curAdFrame(), nullptr));
    host->addSubview(ad);
    ad->removeAd();
    ad->removeAd();
    EXPECT_EQ(delegate->calls, (AdCalls{"spaceWillDismiss(space,YES)", "spaceDidDismiss(space,YES)"}));
    EXPECT_FALSE(ad->superview());
    EXPECT_EQ(events("g"), (AdCalls{"adClosed"}));

    delegate->calls.clear();
    auto silent = makeUnit({{.guid = "s"}});
    auto quiet = makeAd({silent});
    ASSERT_TRUE(quiet->loadAdFrameError(silent->curAdFrame(), nullptr));
    host->addSubview(quiet);
    quiet->setNotificationFlag(std::int32_t{3});
    quiet->removeAd();
    EXPECT_TRUE(delegate->calls.empty());
    EXPECT_FALSE(quiet->superview());
    EXPECT_TRUE(silent->curAdFrame()->frameClosed());
}

TEST_F(AdSpaceViewTest, RemovalDismissesTheUsersAlertWithoutAnsweringForTheUser) {
    auto unit = makeUnit({{.guid = "g",
                           .callbacks = {{"clicked", {"notifyUser?message=Leave%3F"}},
                                         {"userConfirmed", {"logEvent?name=confirmed"}},
                                         {"userCanceled", {"logEvent?name=canceled"}}}}});
    auto ad = makeAd({unit});
    ASSERT_TRUE(ad->loadAdFrameError(unit->curAdFrame(), nullptr));
    ad->processClick();
    auto alert = ad->alertView();
    ASSERT_TRUE(alert);
    ASSERT_TRUE(alert->isVisible());
    ad->removeAd();
    drainMain();
    EXPECT_FALSE(alert->isVisible());
    EXPECT_FALSE(ad->alertView());
    EXPECT_FALSE(hasEvent("g", "userConfirmed"));
    EXPECT_FALSE(hasEvent("g", "userCanceled"));
}

TEST_F(AdSpaceViewTest, ViewTagDrawnIntoACollisionIsDrawnAgain) {
    auto taken = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    taken->setTag(7);
    host->addSubview(taken);
    std::vector<std::uint32_t> draws{7, 25007, 50012};
    std::size_t next = 0;
    PlatformRandom::setSource([&] { return draws[std::min(next++, draws.size() - 1)]; });
    auto ad = makeAd({});
    PlatformRandom::setSource(nullptr);
    EXPECT_EQ(ad->tag(), 12);
    EXPECT_EQ(next, 3u);
}

TEST_F(AdSpaceViewTest, RegisteredMakerMakesAdSpaceViewsForTheManager) {
    VuderuAd::registerAsAdViewMaker();
    EXPECT_EQ(VuderuAdManager::getAdType(makeFrame({.guid = "g", .binding = 4, .format = "takeover"})), 7);
    VuderuAdManager::registerAdViewMaker(nullptr, nullptr);
}

TEST_F(AdSpaceViewTest, ClosingFromThePageKeepsTheViewAliveUntilTheCallHasEnded) {
    auto unit = makeUnit({{.guid = "t", .binding = VuderuAdFrame::kNothing, .format = "takeover"}});
    std::weak_ptr<VuderuAd> weak;
    VuderuAdWebViewLoader* loader = nullptr;
    UIWebView* page = nullptr;
    {
        auto ad = VuderuAd::initWithViewContainerAdSpace(host, "space");
        ad->addAdUnit(unit);
        ASSERT_TRUE(ad->loadAdFrameError(unit->curAdFrame(), nullptr));
        ASSERT_TRUE(VuderuAdManager::instance()->registerAdAdSpaceName(ad, "space"));
        weak = ad;
        loader = ad->webViewLoader().get();
        page = ad->webView().get();
    }
    // The manager holds the only reference; the page's close makes the view deregister itself.
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString("vuderu://vuderucall?event=adWillClose"));
    EXPECT_FALSE(loader->webViewShouldStartLoadWithRequestNavigationType(*page, request, UIWebViewNavigationTypeOther));
    EXPECT_EQ(VuderuAdManager::instance()->adForSpace("space"), nullptr);
    EXPECT_EQ(delegate->calls, (AdCalls{"spaceWillDismiss(space,YES)", "spaceDidDismiss(space,YES)"}));
    EXPECT_FALSE(weak.expired());
    drainMain();
    EXPECT_TRUE(weak.expired());
}

TEST_F(AdSpaceViewTest, FrameSwitchedToAfterTheFirstRenderReplacesThePreviousPage) {
    auto unit = makeUnit({{.guid = "f1"}, {.guid = "f2"}});
    auto ad = makeAd({unit});
    prepareUntilReady(ad);
    ad->renderView();
    auto first = ad->webView();
    ASSERT_TRUE(ad->loadAdFrameError(unit->nextAdFrame(), nullptr));
    auto second = ad->webView();
    ASSERT_NE(first, second);
    ASSERT_TRUE(runMainUntil([&] { return second->superview() == ad; }));
    EXPECT_EQ(ad->subviews(), (std::vector<UIViewPtr>{second}));
    EXPECT_FALSE(first->superview());
    EXPECT_FALSE(ad->previousWebViewLoader());
    EXPECT_TRUE(hasEvent("f2", "rendered"));
}

// A banner whose page fetches a pixel from a loopback server every 100 ms: when the ad fails (its
// frame's load is cut off: 114), is removed while shown, or is withdrawn while pending, its page
// ends at once although the ad itself is still held, and no further fetch reaches the server while
// the clock moves on five seconds. The failed and the withdrawn ad are no longer pending.
TEST_F(AdSpaceViewTest, AnAdThatFailsOrIsRemovedStopsItsPageAtOnce) {
    struct Case {
        const char* name;
        bool framed;
        std::function<void(const VuderuAdPtr&, LoopbackGate&)> stop;
        AdCalls calls;
    };
    const Case cases[] = {
        {"its frame fails", true,
         [&](const VuderuAdPtr&, LoopbackGate& frame) {
             frame.release();
             ASSERT_TRUE(runMainUntil([&] { return !delegate->calls.empty(); }));
         },
         {"spaceDidFailToReceiveAd(space,114)"}},
        {"removed while shown", false,
         [](const VuderuAdPtr& ad, LoopbackGate&) {
             auto manager = VuderuAdManager::instance();
             manager->removePendingAd(ad);
             ASSERT_TRUE(manager->registerAdAdSpaceName(ad, "space"));
             std::thread([] { VuderuAdManager::instance()->removeSpace("space"); }).join();
             drainMain();
         },
         {"spaceWillDismiss(space,NO)", "spaceDidDismiss(space,NO)"}},
        {"withdrawn while pending", false,
         [](const VuderuAdPtr& ad, LoopbackGate&) {
             ad->setDisplayWhenReady(true);
             VuderuAdManager::instance()->removeSpace("space");
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHTTPServer server;
        auto frameGate = std::make_shared<LoopbackGate>();
        server.route("/tick.gif", LoopbackHTTPServer::fixed(200, {{"Content-Type", "image/gif"}}, "GIF89a"));
        server.route("/sentinel", LoopbackHTTPServer::fixed(200, {}, "ok"));
        // The frame's answer waits for the test, then the connection closes with nothing said.
        server.route("/frame.html", [frameGate](LoopbackExchange& exchange) {
            frameGate->wait();
            exchange.closeAfterResponse();
        });
        auto ticks = [&] {
            const auto requests = server.requests();
            return static_cast<std::size_t>(std::count_if(requests.begin(), requests.end(), [](const LoopbackRequest& r) { return r.path == "/tick.gif"; }));
        };
        ManualClock clock;
        std::string html = "<html><body><script>var n = 0; setInterval(function () { new Image().src = '" + server.url("/tick.gif") +
                           "?' + (++n); }, 100);</script>";
        if (c.framed) html += "<iframe src=\"" + server.url("/frame.html") + "\"></iframe>";
        html += "</body></html>";
        auto ad = makeAd({makeUnit({{.guid = "t", .display = html}})});
        VuderuAdManager::instance()->addPendingAd(ad);
        NSErrorPtr error;
        ASSERT_TRUE(ad->prepareAdForDisplay(&error));
        ASSERT_TRUE(runMainUntil([&] { return ad->webView()->stringByEvaluatingJavaScriptFromString("typeof n") == "number"; }));
        for (std::size_t tick = 1; tick <= 3; ++tick) {
            clock.advance(0.101);
            ASSERT_TRUE(runMainUntil([&] { return ticks() >= tick; }));
        }
        delegate->calls.clear();
        c.stop(ad, *frameGate);
        EXPECT_EQ(delegate->calls, c.calls);
        const std::size_t stoppedAt = ticks();
        for (int step = 0; step < 50; ++step) clock.advance(0.1);
        // A request of the test's own, sent after every tick the page could still have made.
        NSURLResponsePtr response;
        ASSERT_TRUE(NSURLConnection::sendSynchronousRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/sentinel"))),
                                                            &response, &error));
        EXPECT_EQ(ticks(), stoppedAt);
        const auto pending = VuderuAdManager::instance()->pendingAdArray();
        EXPECT_EQ(std::find(pending.begin(), pending.end(), ad), pending.end());
        frameGate->cancel();
        VuderuAdManager::instance()->deRegisterAdForSpace("space");
        drainMain();
    }
}

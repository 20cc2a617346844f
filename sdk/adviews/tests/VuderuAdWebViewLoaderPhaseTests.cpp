#include "sdk/adviews/tests/WebViewLoaderFixture.h"

#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>

// The onload installed at the start of the load tells the native side the page has fully loaded.
TEST_F(WebViewLoaderTest, TheOnloadChainCallsTheNativeSide) {
    ad->addUnit("");
    makeLoader();
    loadHTML("<body><p>ad</p></body>");
    ASSERT_TRUE(runMainUntil([&] { return !ad->calls.empty() && ad->calls.back().rfind("apply", 0) == 0; }));
    // The page's own load is asked about first (an app link would take it).
    EXPECT_EQ(ad->calls, (std::vector<std::string>{"openApp about:blank", "loading NO", "event didCompleteFullLoad event=didCompleteFullLoad",
                                                   "apply didCompleteFullLoad didCompleteFullLoad"}));
}

// A page's frames start loading in the page the loader has set up already: the onload chain is
// kept as it was, so the page's own load handler runs once and the native side hears the full load
// once, with no error; the bridge is the one the page began with.
TEST_F(WebViewLoaderTest, APageWithFramesCompletesItsFullLoadOnce) {
    ad->addUnit("");
    makeLoader();
    loadHTML("<body onload=\"console.log('page onload')\"><p>ad</p><iframe src='about:blank'></iframe>"
             "<script>window.bridgeAtStart = window.vuderuadapter; var f = document.createElement('iframe');"
             "f.src = 'about:blank'; document.body.appendChild(f);</script></body>");
    auto fullLoads = [&] { return std::count(ad->calls.begin(), ad->calls.end(), "event didCompleteFullLoad event=didCompleteFullLoad"); };
    ASSERT_TRUE(runMainUntil([&] { return fullLoads() > 0; }));
    drainMain();
    EXPECT_EQ(fullLoads(), 1);
    const auto& console = loader->webView()->consoleLines();
    EXPECT_EQ(std::count(console.begin(), console.end(), "page onload"), 1);
    EXPECT_EQ(std::count_if(console.begin(), console.end(), [](const std::string& l) { return l.rfind("Uncaught", 0) == 0; }), 0);
    EXPECT_EQ(eval("String(window.bridgeAtStart === window.vuderuadapter)"), "true");
}

TEST_F(WebViewLoaderTest, TheWindowLoadPhaseEndsOnceAfterTwoSecondsOrEarlier) {
    ad->addUnit("");
    makeLoader();
    int windowLoads = 0;
    loader->setMRAIDWindowLoadCompleteHandler([&] { ++windowLoads; });
    ManualClock clock;
    loader->loadHTMLDisablePreRendering("<body><p>ad</p></body>", false);
    for (int i = 0; i < 200 && completed == 0; ++i) clock.advance(0.001);
    ASSERT_EQ(completed, 1);
    clock.advance(1.9);
    EXPECT_EQ(windowLoads, 0);
    clock.advance(0.2);
    EXPECT_EQ(windowLoads, 1);
    EXPECT_TRUE(loader->isMraidStatusChecked());

    // Ended early: the timer is gone and does not end it again.
    loader->loadHTMLDisablePreRendering("<body><p>again</p></body>", false);
    for (int i = 0; i < 200 && completed == 1; ++i) clock.advance(0.001);
    ASSERT_EQ(completed, 2);
    loader->finalizeWindowOnLoadCalledAction();
    EXPECT_EQ(windowLoads, 2);
    EXPECT_FALSE(loader->mraidLoadTimeoutTimer());
    clock.advance(3);
    EXPECT_EQ(windowLoads, 2);
}

TEST_F(WebViewLoaderTest, ThePreRenderTimerIsArmedOnlyWithATimeOut) {
    for (std::int64_t millis : {0, -5, 1500}) {
        ad = std::make_shared<RecordingLoaderAd>();
        ad->addUnit("");
        ad->units[0]->setPreRenderTimeoutMillis(millis);
        makeLoader();
        loader->webViewDidStartLoad(*loader->webView());
        EXPECT_EQ(bool(loader->webLoadTimeoutTimer()), millis > 0) << millis;
        loader->invalidate();
    }
}

TEST_F(WebViewLoaderTest, AnMRAIDTakeoverGetsAnInterstitialAdapter) {
    if (VuderuUtil::getSystemVersionAsAnInteger() <= 39999) GTEST_SKIP() << "the device's system has no MRAID";
    ad->addUnit("{\"a\":1}", 2, "takeover");
    ad->units[0]->setSupportMRAID(true);
    makeLoader();
    const CGRect bounds = VuderuUtil::screenBounds();
    char size[96];
    std::snprintf(size, sizeof size, "width:%f, height:%f", double(float(bounds.size.width)), double(float(bounds.size.height)));
    EXPECT_EQ(loader->setupLine(),
              std::string("window.Hogan=Hogan; window.vuderuadapter=vuderuBridgeCtor(window);window.vuderuAdapterAvailable=true;"
                          "if(typeof window.VuderuAdapterReady === 'function'){window.VuderuAdapterReady();} "
                          "window.mraid=mraidCtor(window.vuderuadapter,{placementType:\"interstitial\", ") +
                  size + ", isModal:true});");
    loadHTML("<body><p>{{a}}</p></body>");
    EXPECT_EQ(eval("typeof window.mraid"), "object");
    EXPECT_EQ(eval("document.body.innerHTML"), "<p>1</p>");
}

// A render that leaves the body empty is applied again after a second, and the page goes on.
TEST_F(WebViewLoaderTest, AnEmptyRenderIsRetriedOnceAfterASecond) {
    ad->addUnit("{\"a\":1}");
    makeLoader();
    ManualClock clock;
    loader->loadHTMLDisablePreRendering("<body></body>", false);
    // The first render has run once the page holds its result.
    for (int i = 0; i < 200 && eval("typeof renderedHogan") != "string"; ++i) clock.advance(0.001);
    EXPECT_EQ(completed, 0);
    clock.advance(0.9);
    EXPECT_EQ(completed, 0);
    clock.advance(0.2);
    EXPECT_EQ(completed, 1);
}

TEST_F(WebViewLoaderTest, APageWithItsOwnMRAIDScriptHidesTheNativeClose) {
    if (VuderuUtil::getSystemVersionAsAnInteger() <= 39999) GTEST_SKIP() << "the device's system has no MRAID";
    ad->addUnit("", 2, "takeover");
    ad->units[0]->setSupportMRAID(true);
    makeLoader();
    loadHTML("<head><script type='text/x-none' src='lib/mraid.js'></script></head>"
             "<body><div id='vuderu_interstitial_close'>x</div></body>");
    loader->finalizeWindowOnLoadCalledAction();
    EXPECT_TRUE(loader->isMraidAdLoaded());
    EXPECT_EQ(eval("document.getElementById('vuderu_interstitial_close').style.display"), "none");
}

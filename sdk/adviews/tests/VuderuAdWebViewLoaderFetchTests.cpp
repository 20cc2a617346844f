#include "platform/testsupport/LoopbackHTTPServer.h"
#include "sdk/adviews/tests/WebViewLoaderFixture.h"

TEST(VuderuAdWebViewLoaderText, ReadsBodiesInTheirCharset) {
    struct Case {
        const char* body;
        const char* contentType;
        const char* text;
    } cases[] = {
        {"caf\xC3\xA9", "text/html; charset=iso-8859-1", "caf\xC3\xA9"},  // UTF-8 stays as it is
        {"caf\xE9", "text/html; charset=\"windows-1252\"", "caf\xC3\xA9"},
        {"\x80", "text/html; charset=windows-1252", "\xE2\x82\xAC"},       // the euro sign, not a C1 control
        {"caf\xE9", "text/html", "caf\xC3\xA9"},                           // no charset: Latin-1
        {"caf\xE9", "text/html; charset=no-such-set", "caf\xC3\xA9"},
    };
    for (const auto& c : cases) EXPECT_EQ(VuderuAdWebViewLoader::textOfBody(c.body, c.contentType), c.text) << c.contentType;
}

TEST_F(WebViewLoaderTest, FetchesThePageAndRendersItWithTheAdURLAsBase) {
    LoopbackHTTPServer server;
    server.route("/ad.html", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/html; charset=windows-1252"}},
                                                       "<body><p id='t'>caf\xE9 {{v}}</p></body>"));
    ad->addUnit("{\"v\":\"ok\"}");
    makeLoader();
    loader->loadURLDisablePreRendering(NSURL::URLWithString(server.url("/ad.html")), false);
    ASSERT_TRUE(runMainUntil([&] { return completed > 0 || !errors.empty(); }));
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(eval("document.getElementById('t').innerHTML"), "caf\xC3\xA9 ok");
    EXPECT_EQ(loader->webView()->pageURL(), server.url("/ad.html"));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].header("Content-Type").value_or(""), "application/octet-stream");
}

TEST_F(WebViewLoaderTest, AFailedFetchIsReported) {
    LoopbackHTTPServer server;
    ad->addUnit("");
    makeLoader();
    loader->loadURLDisablePreRendering(NSURL::URLWithString(server.url("/missing")), false);
    ASSERT_TRUE(runMainUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors, (std::vector<std::string>{"114 VuderuAds: Failed to load view with error."}));
    loader->requestDidCancelWithResponse(nullptr, nullptr);
    EXPECT_EQ(errors.back(), "114 VuderuAds: Cancelled Ad load.");
}

TEST_F(WebViewLoaderTest, ATakeoverHTMLFrameWithoutMRAIDGetsTheNativeCloseControlOnce) {
    ad->addUnit("", 2, "takeover");
    makeLoader();
    EXPECT_FALSE(loader->supportMRAID());
    loadHTML("<body><p>ad</p></body>");
    loader->finalizeWindowOnLoadCalledAction();
    EXPECT_TRUE(loader->isMraidStatusChecked());
    EXPECT_FALSE(loader->isMraidAdLoaded());
    EXPECT_EQ(eval("document.getElementById('rtb_close').getElementsByTagName('img')[0].getAttribute('src')"),
              "http://" + VuderuAdWebViewLoader::contentHost() + "/adSpaceStyles.dev/images/bttn-close-bw.png");
    EXPECT_EQ(eval("document.getElementById('vuderu_interstitial_close').getElementsByTagName('a')[0].getAttribute('href')"),
              "vuderu://vuderucall?event=adWillClose");
    loader->resetMraidStatus();
    loader->finalizeWindowOnLoadCalledAction();
    EXPECT_EQ(eval("document.getElementsByTagName('div').length"), "2");
    EXPECT_EQ(std::count(ad->calls.begin(), ad->calls.end(), "reportViewState"), 2);
}

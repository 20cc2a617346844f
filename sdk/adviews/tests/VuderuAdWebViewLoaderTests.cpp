#include "sdk/adviews/VuderuAd.h"
#include "sdk/adviews/tests/WebViewLoaderFixture.h"

TEST(VuderuAdType, FollowsBindingAndTakeover) {
    struct Case {
        std::int32_t binding;
        const char* format;
        std::int32_t type;
    } cases[] = {{1, "banner", 1}, {2, "takeover", 2}, {3, "banner", 4}, {3, "takeover", 3},
                 {4, "banner", 6}, {4, "takeover", 7}, {9, "banner", 4}, {9, "takeover", 5}};
    for (const auto& c : cases) {
        auto frame = std::make_shared<VuderuAdFrame>();
        auto layout = std::make_shared<VuderuAdSpaceLayout>();
        layout->setFormat(c.format);
        frame->setBinding(c.binding);
        frame->setAdSpaceLayout(layout);
        EXPECT_EQ(VuderuAd::getAdType(frame), c.type) << c.binding << " " << c.format;
    }
}

TEST_F(WebViewLoaderTest, InjectsTheScriptsAndRendersTheBodyOverTheContent) {
    ad->addUnit("{\"title\":\"Hello\",\"n\":3}");
    makeLoader();
    loadHTML("<html><head></head><body><p>{{title}} x{{n}}</p></body></html>");
    EXPECT_EQ(loader->contentLine(), "content = {\"title\":\"Hello\",\"n\":3}");
    EXPECT_EQ(eval("typeof window.Hogan"), "object");
    EXPECT_EQ(eval("window.vuderuAdapterAvailable === true && typeof window.vuderuadapter === 'object'"), "true");
    EXPECT_EQ(eval("typeof oldOnLoad"), "object");  // the page had no onload of its own
    EXPECT_EQ(eval("window.onload"), "");  // the page's to set: the loader listens for the load instead
    EXPECT_EQ(eval("String(window.vuderuFullLoadListening)"), "true");
    EXPECT_EQ(eval("document.body.innerHTML"), "<p>Hello x3</p>");
    EXPECT_EQ(eval("document.body.style.margin"), "0px");
    EXPECT_EQ(eval("document.getElementsByTagName('meta')[0].content"),
              "width = device-width; user-scalable = no; initial-scale = 1.0");
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(loader->webViewLoading(), 0);
    EXPECT_TRUE(loader->mraidLoadTimeoutTimer());
}

TEST_F(WebViewLoaderTest, AFrameWithoutContentGetsNoTemplateEngine) {
    ad->addUnit("");
    makeLoader();
    EXPECT_EQ(loader->setupLine().rfind(" window.vuderuadapter=vuderuBridgeCtor(window);", 0), 0u);
    loadHTML("<body><p>{{title}}</p></body>");
    EXPECT_EQ(loader->contentLine(), "content = '';");
    EXPECT_EQ(eval("typeof window.Hogan"), "undefined");
    EXPECT_EQ(eval("content === ''"), "true");
    EXPECT_EQ(eval("document.body.innerHTML"), "<p>{{title}}</p>");
}

TEST_F(WebViewLoaderTest, CombinableUnitsShareOneContentList) {
    ad->addUnit("{\"a\":1}");
    ad->units[0]->setCombinable(1);
    ad->addUnit("");
    ad->addUnit("{\"b\":2}");
    makeLoader();
    EXPECT_EQ(loader->contentLine(), "content = {\"adComponents\":[{\"a\":1},{\"b\":2}]}");
    ad->units[0]->adFrames()[0]->setContent("");
    ad->units[2]->adFrames()[0]->setContent("");
    EXPECT_EQ(loader->contentLine(), "content = '';");
}

TEST_F(WebViewLoaderTest, NavigationRules) {
    ad->addUnit("");
    makeLoader();
    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* url;
        UIWebViewNavigationType type;
        bool allowed;
        bool external;
    } cases[] = {
        {"app url", [&] { ad->opensApp = true; }, "http://x.example/a", UIWebViewNavigationTypeLinkClicked, false, false},
        {"not rendered", [] {}, "http://x.example/a", UIWebViewNavigationTypeLinkClicked, true, false},
        {"other without http", [&] { ad->rendered = true; }, "about:blank", UIWebViewNavigationTypeOther, true, false},
        {"new ad request", [&] { ad->rendered = true; ad->newAdRequest = true; }, "http://x.example/a",
         UIWebViewNavigationTypeOther, true, false},
        {"rendered link", [&] { ad->rendered = true; }, "http://x.example/a", UIWebViewNavigationTypeLinkClicked, false, true},
        {"rendered other http", [&] { ad->rendered = true; }, "http://x.example/a", UIWebViewNavigationTypeOther, false, true},
        {"ad url", [&] { ad->rendered = true; loader->loadURLDisablePreRendering(NSURL::URLWithString("http://x.example/ad"), true); },
         "http://x.example/ad/", UIWebViewNavigationTypeLinkClicked, true, false},
    };
    for (auto& c : cases) {
        ad->opensApp = ad->rendered = ad->newAdRequest = false;
        external.clear();
        c.arrange();
        EXPECT_EQ(policy(c.url, c.type), c.allowed) << c.name;
        EXPECT_EQ(external.size(), c.external ? 1u : 0u) << c.name;
    }
}

TEST_F(WebViewLoaderTest, PageCallsBecomeEvents) {
    ad->addUnit("");
    ad->knownGuids = {"g 1"};
    makeLoader();
    loadHTML("<body></body>");
    eval("var completes = 0; vuderuadapter.callComplete = function () { completes++; };");
    ad->calls.clear();

    EXPECT_FALSE(policy("vuderu://vuderucall?event=open&guid=g+1&text=caf%E9%u20AC&plus=%2B"));
    EXPECT_EQ(ad->calls, (std::vector<std::string>{"setActiveAdUnit g 1", "event open event=open&guid=g+1&text=caf%E9%u20AC&plus=%2B",
                                                   "apply open open"}));
    EXPECT_EQ(eval("completes"), "1");

    ad->calls.clear();
    EXPECT_FALSE(policy("vuderu://vuderucall"));         // no "?": answered and refused
    EXPECT_FALSE(policy("vuderu://vuderucall?guid=g+1")); // no event
    EXPECT_TRUE(ad->calls.empty());
    EXPECT_EQ(eval("completes"), "3");

    ad->handlesEvents = false;
    EXPECT_FALSE(policy("vuderu://vuderucall?event=didCompleteFullLoad"));
    EXPECT_EQ(ad->calls, (std::vector<std::string>{"loading NO", "event didCompleteFullLoad event=didCompleteFullLoad"}));
    EXPECT_EQ(eval("completes"), "3");
}

TEST_F(WebViewLoaderTest, AnUnknownUnitIsReportedAndStopsTheCallUnlessTheHandlerGoesOn) {
    ad->addUnit("");
    makeLoader();
    EXPECT_FALSE(policy("vuderu://vuderucall?event=open&guid=nope"));
    EXPECT_EQ(errors, (std::vector<std::string>{"112 VuderuAds: Could not find reference to ad unit"}));
    EXPECT_EQ(ad->calls, (std::vector<std::string>{"setActiveAdUnit nope"}));
    errorsGoOn = true;
    ad->calls.clear();
    EXPECT_FALSE(policy("vuderu://vuderucall?event=open&guid=nope"));
    EXPECT_EQ(ad->calls.back(), "apply open open");
}

TEST_F(WebViewLoaderTest, AFailedLoadIsReportedAndNeverCountsBelowZero) {
    ad->addUnit("");
    makeLoader();
    loader->webViewDidFailLoadWithError(*loader->webView(), NSError::errorWithDomain("NSURLErrorDomain", -1004));
    EXPECT_EQ(loader->webViewLoading(), 0);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("114 VuderuAds: Failed to load view with error [", 0), 0u);
}

#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/web/tests/WebViewTestSupport.h"

#include <algorithm>
#include <functional>

namespace {

const char* kOrderPage = "<html><head><script>console.log('script sees ' + typeof injected);"
                         "window.onload = function () { console.log('onload'); };</script></head>"
                         "<body><p>Hello</p></body></html>";

std::vector<std::string> orderFor(const std::string& url, long type = 5) {
    return {"policy " + url + " " + std::to_string(type), "start", "console script sees string", "console onload", "finish"};
}

} // namespace

// Each kind of load calls back in the same order, each on a later pass of the main loop, and what
// the app evaluates at the start is seen by the page's scripts.
TEST_F(WebViewTest, CallbacksComeInOrderForEachKindOfLoad) {
    LoopbackHTTPServer server;
    server.route("/ad", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/html"}}, kOrderPage));
    writeFile("/var/ad/page.html", kOrderPage);
    delegate->onStart = [](UIWebView& v) { v.stringByEvaluatingJavaScriptFromString("var injected = 'yes';"); };

    struct Case {
        std::string name;
        std::function<void()> load;
        std::vector<std::string> expected;
    };
    std::vector<Case> cases = {
        {"string", [&] { view->loadHTMLStringBaseURL(kOrderPage, NSURL::URLWithString("http://ads.example/")); },
         orderFor("http://ads.example/")},
        {"nil base", [&] { view->loadHTMLStringBaseURL(kOrderPage, nullptr); }, orderFor("about:blank")},
        {"http", [&] { view->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/ad")))); },
         orderFor(server.url("/ad"))},
        {"file", [&] { view->loadRequest(NSURLRequest::requestWithURL(NSURL::fileURLWithPath("/var/ad/page.html"))); },
         orderFor("file:///var/ad/page.html")},
        {"about:blank", [&] { view->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString("about:blank"))); },
         {"policy about:blank 5", "start", "finish"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delegate->events.clear();
        c.load();
        EXPECT_TRUE(delegate->events.empty()) << "called back before the main loop ran";
        waitForEnd();
        EXPECT_EQ(delegate->events, c.expected);
        EXPECT_FALSE(view->isLoading());
    }
    EXPECT_EQ(server.requests().at(0).header("User-Agent"), UIWebView::userAgent());
}

TEST_F(WebViewTest, APolicyRefusalLoadsNothing) {
    delegate->allow = false;
    view->loadHTMLStringBaseURL("<p>never</p>", nullptr);
    drainMain();
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"policy about:blank 5"}));
    EXPECT_EQ(view->visibleText(), "");
}

TEST_F(WebViewTest, FailuresAndHTTPErrors) {
    LoopbackHTTPServer server;
    server.route("/missing", LoopbackHTTPServer::fixed(404, {{"Content-Type", "text/html"}}, "<h1>Not here</h1>"));
    server.route("/silent", LoopbackHTTPServer::silent());

    view->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/missing"))));
    waitForEnd();
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(view->visibleText(), "Not here");

    delegate->events.clear();
    view->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString("ftp://files.example/x")));
    waitForEnd();
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"policy ftp://files.example/x 5", "fail -1002"}));

    delegate->events.clear();
    view->loadRequest(NSURLRequest::requestWithURL(NSURL::fileURLWithPath("/no/such/page.html")));
    waitForEnd();
    EXPECT_EQ(delegate->events.back(), "fail -1100");

    delegate->events.clear();
    view->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/silent"))));
    ASSERT_TRUE(runMainUntil([&] { return !delegate->events.empty() && delegate->events.back() == "start"; }));
    EXPECT_TRUE(view->isLoading());
    view->stopLoading();
    waitForEnd();
    EXPECT_EQ(delegate->events.back(), "fail -999");
    EXPECT_FALSE(view->isLoading());
}

TEST_F(WebViewTest, GoBackReturnsToThePreviousPage) {
    loadPage("<p>first</p>");
    loadPage("<p>second</p>");
    EXPECT_TRUE(view->canGoBack());
    delegate->events.clear();
    view->goBack();
    waitForEnd();
    EXPECT_EQ(delegate->events.front(), "policy http://ads.example/page.html 2");
    EXPECT_EQ(view->visibleText(), "first");
    EXPECT_FALSE(view->canGoBack());
}

TEST_F(WebViewTest, EvaluationsAnswerAsText) {
    loadPage("<body><div id='a'>x</div></body>");
    struct Case {
        const char* script;
        const char* answer;
    } cases[] = {
        {"'text'", "text"},         {"1 + 2", "3"},          {"0.5", "0.5"},
        {"1 / 3", "0.3333333333333333"}, {"true", "true"},     {"false", "false"},
        {"undefined", ""},          {"null", ""},            {"({a: 1})", ""},
        {"[1, 2]", ""},             {"throw new Error('no')", ""}, {"document.getElementById('a').tagName", "DIV"},
        {"syntax error here", ""},  {"'caf\\u00e9'", "caf\xC3\xA9"},
    };
    for (const auto& c : cases) EXPECT_EQ(eval(c.script), c.answer) << c.script;
    EXPECT_EQ(view->sizeThatFits(CGSizeMake(1, 1)), CGSizeMake(320, 480));
}

TEST_F(WebViewTest, TimersRunOnThePlatformClock) {
    ManualClock clock;
    loadPage("<script>setTimeout(function () { console.log('once'); }, 500);"
             "var n = 0, t = setInterval(function () { console.log('tick ' + (++n)); if (n === 3) clearInterval(t); }, 100);"
             "var gone = setTimeout(function () { console.log('cleared'); }, 50); clearTimeout(gone);</script>");
    for (int step = 0; step < 4; ++step) clock.advance(0.1);
    EXPECT_EQ(view->consoleLines(), (std::vector<std::string>{"tick 1", "tick 2", "tick 3"}));
    clock.advance(0.15);
    EXPECT_EQ(view->consoleLines().back(), "once");
    clock.advance(1);
    EXPECT_EQ(view->consoleLines().size(), 4u);

    // A new page drops the old page's timers.
    eval("setTimeout(function () { console.log('stale'); }, 100)");
    loadPage("<p>next</p>");
    clock.advance(1);
    EXPECT_EQ(view->consoleLines().size(), 4u);
}

// A frame still loading when its page is stopped or left fails as cancelled at once, so every
// start the delegate heard has its end.
TEST_F(WebViewTest, StoppingOrLeavingAPageCancelsItsFrameLoads) {
    LoopbackHTTPServer server;
    auto gate = std::make_shared<LoopbackGate>();
    server.route("/frame", LoopbackHTTPServer::gated(200, {}, "frame body", 4, gate));
    const std::string page = "<iframe src='" + server.url("/frame") + "'></iframe>";
    auto framesUnderWay = [&](std::size_t requests) {
        return runMainUntil([&] {
            return server.requestCount() == requests && std::count(delegate->events.begin(), delegate->events.end(), "start") == 2 &&
                   std::count(delegate->events.begin(), delegate->events.end(), "finish") == 1;
        });
    };
    struct Case {
        const char* name;
        std::function<void()> leave;
        std::vector<std::string> heard;
    };
    const Case cases[] = {
        {"stopped", [&] { view->stopLoading(); }, {"fail -999"}},
        {"left for another page", [&] { view->loadHTMLStringBaseURL("<p>next</p>", nullptr); },
         {"fail -999", "policy about:blank 5", "start", "finish"}},
    };
    std::size_t requests = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        delegate->events.clear();
        delegate->allow = true;
        view->loadHTMLStringBaseURL(page, nullptr);
        ASSERT_TRUE(framesUnderWay(++requests));
        delegate->events.clear();
        c.leave();
        ASSERT_TRUE(runMainUntil([&] { return delegate->events.size() >= c.heard.size(); }));
        drainMain();
        EXPECT_EQ(delegate->events, c.heard);
    }
    gate->cancel();
}

#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/web/tests/WebViewTestSupport.h"

#include <algorithm>

namespace {

struct ResourceCase {
    const char* name;
    std::string html;
    // The console lines the page writes, once it has written as many.
    std::vector<std::string> console;
    // The paths requested, in any order.
    std::vector<std::string> requested;
};

void PrintTo(const ResourceCase& c, std::ostream* out) { *out << c.name; }

const ResourceCase kResourceCases[] = {
    {"the page's images load before the window",
     "<body onload=\"console.log('window')\"><img src='pixel.gif' onload=\"console.log('image ' + this.tagName + ' ' + event.type)\">"
     "</body>",
     {"image IMG load", "window"}, {"/pixel.gif"}},
    {"a page's broken image errors before the window",
     "<body onload=\"console.log('window')\"><img src='missing.gif' onerror=\"console.log('error ' + (event.target === this))\"></body>",
     {"error true", "window"}, {"/missing.gif"}},
    {"an image a script writes with innerHTML loads",
     "<div id='d'></div><script>document.getElementById('d').innerHTML = "
     "\"<img src='pixel.gif?inner' onload=\\\"console.log('inner loaded')\\\">\"; console.log('set');</script>",
     {"set", "inner loaded"}, {"/pixel.gif"}},
    {"a created image with a handler property hears its error",
     "<script>var i = document.createElement('img'); i.onerror = function (e) { console.log('failed ' + e.type); };"
     "document.body.appendChild(i); i.src = 'missing.gif'; console.log('set');</script>",
     {"set", "failed error"}, {"/missing.gif"}},
    {"a tracking pixel outside the document loads",
     "<script>var p = new Image(1, 1); p.onload = function () { console.log('counted'); }; p.src = 'pixel.gif?imp=1';</script>",
     {"counted"}, {"/pixel.gif"}},
    {"an answer without a body is an error", "<script>var p = new Image(); p.onerror = function () { console.log('no image'); };"
                                             "p.onload = function () { console.log('loaded'); }; p.src = 'empty';</script>",
     {"no image"}, {"/empty"}},
    {"a data URL loads without a fetch",
     "<img src='data:image/gif;base64,R0lGODlhAQABAAAAACw=' onload=\"console.log('data loaded')\">", {"data loaded"}, {}},
    {"a source that is not fetched errors", "<img src='about:blank' onerror=\"console.log('about errored')\">", {"about errored"}, {}},
    {"only the latest source is heard",
     "<script>var i = new Image(); i.onload = i.onerror = function (e) { console.log(e.type + ' ' + i.getAttribute('src')); };"
     "i.src = 'missing.gif'; i.src = 'pixel.gif';</script>",
     {"load pixel.gif"}, {"/pixel.gif"}},
    {"a frame's element hears its load",
     "<script>var f = document.createElement('iframe'); f.onload = function () { console.log('frame ' + this.src); };"
     "f.src = 'frame.html'; document.body.appendChild(f);</script>",
     {"frame frame.html"}, {"/frame.html"}},
    {"a frame answered with an HTTP error still loads its element", "<iframe src='missing.html' onload=\"console.log('frame loaded')\"></iframe>",
     {"frame loaded"}, {"/missing.html"}},
};

} // namespace

class ResourceEventTest : public WebViewTest, public ::testing::WithParamInterface<ResourceCase> {
protected:
    void SetUp() override {
        WebViewTest::SetUp();
        server.route("/pixel.gif", LoopbackHTTPServer::fixed(200, {{"Content-Type", "image/gif"}}, onePixelGif()));
        server.route("/empty", LoopbackHTTPServer::fixed(204, {}, ""));
        server.route("/frame.html", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/html"}}, "<p>frame</p>"));
    }
    LoopbackHTTPServer server;
};

// Images and frames hear their load or error once their answer is in, each on a later pass, as
// browsers run them; the page's own images before the window's load.
TEST_P(ResourceEventTest, HearsItsOutcome) {
    const ResourceCase& c = GetParam();
    view->loadHTMLStringBaseURL(c.html, NSURL::URLWithString(server.url("/page.html")));
    ASSERT_TRUE(runMainUntil([&] { return delegate->ended() && view->consoleLines().size() >= c.console.size(); }));
    ASSERT_TRUE(runMainUntil([&] { return server.handledCount() == c.requested.size(); }));
    drainMain();
    EXPECT_EQ(view->consoleLines(), c.console);
    std::vector<std::string> paths;
    for (const auto& request : server.requests()) paths.push_back(request.path);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, c.requested);
    for (const auto& request : server.requests()) EXPECT_EQ(request.header("User-Agent"), UIWebView::userAgent());
}

INSTANTIATE_TEST_SUITE_P(Pages, ResourceEventTest, ::testing::ValuesIn(kResourceCases), CaseName());

// A frame the page removes at once (the bridge's way of calling out) and an image whose page was
// left are not heard from.
TEST_F(WebViewTest, ResourcesOfElementsGoneOrPagesLeftAreNotHeard) {
    LoopbackHTTPServer server;
    auto gate = std::make_shared<LoopbackGate>();
    server.route("/slow.gif", LoopbackHTTPServer::gated(200, {}, "GIF89a-slow", 4, gate));
    server.route("/frame.html", LoopbackHTTPServer::fixed(200, {}, "<p>frame</p>"));
    view->loadHTMLStringBaseURL("<p>page</p>", NSURL::URLWithString(server.url("/page.html")));
    waitForEnd();
    eval("var f = document.createElement('iframe'); f.onload = function () { console.log('removed frame loaded'); };"
         "f.src = 'frame.html'; document.documentElement.appendChild(f); document.documentElement.removeChild(f);"
         "var i = new Image(); i.onload = function () { console.log('stale image'); }; i.src = 'slow.gif';");
    ASSERT_TRUE(runMainUntil([&] { return std::count(delegate->events.begin(), delegate->events.end(), "finish") == 2; }));
    ASSERT_TRUE(runMainUntil([&] { return gate->waiting() > 0; }));
    loadPage("<p>next</p>");
    gate->release(10);
    ASSERT_TRUE(runMainUntil([&] { return server.handledCount() == 2; }));
    drainMain();
    EXPECT_EQ(view->consoleLines(), std::vector<std::string>{});
}

// An image's event is the page's own work: while the page is past its share it waits, and the
// window's load waits for it.
TEST_F(WebViewTest, AnImageEventWaitsForThePagesShare) {
    LoopbackHTTPServer server;
    server.route("/pixel.gif", LoopbackHTTPServer::fixed(200, {{"Content-Type", "image/gif"}}, onePixelGif()));
    ManualClock clock;
    auto watch = std::make_shared<double>(0);
    view->scriptBudget().setStopwatch([watch] { return *watch += 0.35; });
    view->loadHTMLStringBaseURL("<body onload=\"console.log('window')\"><img src='pixel.gif' onload=\"console.log('image')\">"
                                "<script>console.log('script')</script></body>",
                                NSURL::URLWithString(server.url("/page.html")));
    auto said = [&](const std::string& text) {
        const auto& lines = view->consoleLines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    ASSERT_TRUE(runMainUntil([&] { return said("held back"); }));
    EXPECT_FALSE(said("image"));
    EXPECT_FALSE(delegate->ended());
    for (int step = 0; step < 100 && !delegate->ended(); ++step) clock.advance(0.05);
    ASSERT_TRUE(delegate->ended());
    std::vector<std::string> page;
    for (const auto& line : view->consoleLines())
        if (line.find("held back") == std::string::npos) page.push_back(line);
    EXPECT_EQ(page, (std::vector<std::string>{"script", "image", "window"}));
}

// A page's script from the network is fetched without holding the main thread: while its server
// holds the answer the app goes on, and the page's scripts then run in their order. A script that
// fails, or is past the bound, is not run.
TEST_F(WebViewTest, ScriptsFromTheNetworkDoNotHoldTheMainThread) {
    LoopbackHTTPServer server;
    auto gate = std::make_shared<LoopbackGate>();
    server.route("/slow.js", LoopbackHTTPServer::gated(200, {}, "console.log('slow script');", 4, gate));
    server.route("/big.js", LoopbackHTTPServer::fixed(200, {}, "//" + std::string(UIWebView::kMaxScriptBytes, 'x')));
    view->loadHTMLStringBaseURL("<script>console.log('first')</script><script src='slow.js'></script><script src='missing.js'></script>"
                                "<script src='big.js'></script><script>console.log('last')</script>",
                                NSURL::URLWithString(server.url("/page.html")));
    ASSERT_TRUE(runMainUntil([&] { return gate->waiting() > 0; }));
    EXPECT_EQ(eval("6 * 7"), "42");
    EXPECT_EQ(view->consoleLines(), std::vector<std::string>{"first"});
    gate->release(100);
    waitForEnd();
    EXPECT_EQ(view->consoleLines(), (std::vector<std::string>{"first", "slow script", "script not loaded: missing.js",
                                                              "script not loaded: big.js", "last"}));
    EXPECT_EQ(delegate->events.back(), "finish");
}

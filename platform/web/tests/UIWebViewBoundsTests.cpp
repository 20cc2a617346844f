#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/web/tests/WebViewTestSupport.h"

#include <algorithm>
#include <functional>

namespace {

std::size_t linesWith(const std::vector<std::string>& lines, const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; }));
}

struct BoundCase {
    const char* name;
    std::string script;
    // The part of the one line that says what was dropped.
    std::string said;
    // What else holds once the page has loaded and its work is done.
    std::function<void(UIWebView&, const RecordingWebDelegate&, const LoopbackHTTPServer&)> check;
};

void PrintTo(const BoundCase& c, std::ostream* out) { *out << c.name; }

std::vector<BoundCase> boundCases() {
    return {
        {"a console flood", "for (var i = 0; i < 5000; i++) console.log('line ' + i);", "further lines are dropped",
         [](UIWebView& v, const RecordingWebDelegate&, const LoopbackHTTPServer&) {
             EXPECT_EQ(v.consoleLines().front(), "line 0");
             EXPECT_EQ(v.consoleLines().size(), UIWebView::kMaxConsoleLines + 1);
         }},
        {"long console lines", "var s = new Array(100001).join('\\u20ac'); for (var i = 0; i < 200; i++) console.log(s);",
         "further lines are dropped",
         [](UIWebView& v, const RecordingWebDelegate&, const LoopbackHTTPServer&) {
             std::size_t bytes = 0;
             for (const auto& line : v.consoleLines()) {
                 EXPECT_LE(line.size(), UIWebView::kMaxConsoleLineBytes + 3);
                 EXPECT_TRUE(line.rfind("\xE2\x82\xAC\xE2\x80\xA6") == line.size() - 6 || line.rfind("web view:", 0) == 0) << "cut inside a character";
                 bytes += line.size();
             }
             EXPECT_LE(bytes, UIWebView::kMaxConsoleBytes + 2 * UIWebView::kMaxConsoleLineBytes);
         }},
        {"a timer flood", "for (var i = 0; i < 3000; i++) setTimeout(function () {}, 100000); console.log(setTimeout(function () {}, 1));",
         "further ones are refused",
         [](UIWebView& v, const RecordingWebDelegate&, const LoopbackHTTPServer&) { EXPECT_EQ(v.consoleLines().back(), "0"); }},
        {"an image flood", "for (var i = 0; i < 2000; i++) new Image().src = 'pixel.gif?' + i;", "more images at once than are loaded",
         [](UIWebView&, const RecordingWebDelegate&, const LoopbackHTTPServer& server) {
             ASSERT_TRUE(runMainUntil([&] { return server.handledCount() == UIWebView::kMaxImagesWaiting; }));
             drainMain();
             EXPECT_EQ(server.requestCount(), UIWebView::kMaxImagesWaiting);
         }},
        {"a frame flood",
         "for (var i = 0; i < 1000; i++) { var f = document.createElement('iframe'); f.src = 'about:blank'; document.body.appendChild(f); }",
         "more navigations at once than are followed",
         [](UIWebView& v, const RecordingWebDelegate& d, const LoopbackHTTPServer&) {
             EXPECT_EQ(linesWith(v.consoleLines(), "more frames at once than are loaded"), 1u);
             EXPECT_EQ(std::count(d.events.begin(), d.events.end(), "policy about:blank 5"), UIWebView::kMaxPendingNavigations);
             // Frames that ended make room for others, a few navigations a pass.
             const auto starts = static_cast<std::size_t>(std::count(d.events.begin(), d.events.end(), "start"));
             EXPECT_GE(starts, UIWebView::kMaxFrameLoads + 1);
             EXPECT_LE(starts, UIWebView::kMaxPendingNavigations + 1);
         }},
        {"a navigation flood", "for (var i = 0; i < 1000; i++) location.href = 'vuderu://vuderucall?event=e' + i;",
         "more navigations at once than are followed",
         [](UIWebView&, const RecordingWebDelegate& d, const LoopbackHTTPServer&) {
             EXPECT_EQ(std::count_if(d.events.begin(), d.events.end(), [](const std::string& e) { return e.rfind("policy vuderu:", 0) == 0; }),
                       UIWebView::kMaxPendingNavigations);
         }},
    };
}

} // namespace

class PageBoundTest : public WebViewTest, public ::testing::WithParamInterface<BoundCase> {};

// What a page asks for in a loop is kept up to its bound; past it the page hears nothing more,
// the log and the console say so once, and the page and the app go on.
TEST_P(PageBoundTest, KeepsToItsBound) {
    const BoundCase& c = GetParam();
    LoopbackHTTPServer server;
    server.route("/pixel.gif", LoopbackHTTPServer::fixed(200, {{"Content-Type", "image/gif"}}, "GIF89a"));
    delegate->onPolicy = [](UIWebView&, const NSURLRequestPtr& request, UIWebViewNavigationType) {
        return request->URL()->scheme() != "vuderu";
    };
    view->loadHTMLStringBaseURL("<body><script>" + c.script + "</script></body>", NSURL::URLWithString(server.url("/page.html")));
    ASSERT_TRUE(runMainUntil([&] { return delegate->ended(); }));
    drainMain();
    delegate->flush(*view);
    EXPECT_EQ(linesWith(view->consoleLines(), c.said), 1u);
    EXPECT_EQ(log_->count(c.said), 1u);
    c.check(*view, *delegate, server);
    EXPECT_EQ(eval("6 * 7"), "42");
}

INSTANTIATE_TEST_SUITE_P(Pages, PageBoundTest, ::testing::ValuesIn(boundCases()), CaseName());

// Nodes a script drops stay until the page goes, so every node a script makes counts: text and
// markup set over and over end at the allowance instead of filling memory.
TEST(WebDocument, NodesScriptsMakeOverAndOverAreBounded) {
    WebDocument document;
    WebNode* body = document.body();
    std::size_t sets = 0;
    while (document.setTextContent(body, "x") && sets <= WebDocument::kMaxNodes) ++sets;
    EXPECT_EQ(sets, WebDocument::kMaxNodes);
    EXPECT_FALSE(document.setInnerHTML(body, "<b>more</b>"));
    EXPECT_TRUE(document.setTextContent(body, ""));
    EXPECT_EQ(document.textContent(body), "");
}

// A view that loads page after page (an ad that refreshes for hours) keeps the latest pages of its
// history only.
TEST_F(WebViewTest, HistoryKeepsTheLatestPages) {
    const std::size_t pages = UIWebView::kMaxHistory + 10;
    for (std::size_t i = 1; i <= pages; ++i) loadPage("<p>page " + std::to_string(i) + "</p>");
    std::size_t back = 0;
    while (view->canGoBack()) {
        view->goBack();
        waitForEnd();
        ++back;
    }
    EXPECT_EQ(back, UIWebView::kMaxHistory - 1);
    EXPECT_EQ(view->visibleText(), "page " + std::to_string(pages - UIWebView::kMaxHistory + 1));
}

#include "platform/net/NSURLError.h"
#include "platform/web/tests/WebViewTestSupport.h"

#include <functional>

namespace {

constexpr double kTestBudget = 0.2;
constexpr std::size_t kTestHeapCap = 16u << 20;

std::string nestedDivs(int depth) {
    std::string html;
    for (int i = 0; i < depth; ++i) html += "<div>";
    html += "deep";
    for (int i = 0; i < depth; ++i) html += "</div>";
    return html;
}

struct HostileCase {
    std::string name;
    std::string html;
    // What happens once the page has loaded (a click, an evaluation), if anything.
    std::function<void(UIWebView&)> then;
    // Whether the page's script is stopped for running too long: no, yes, or either (when a
    // limit of the page's may be reached first).
    enum class Overrun { No, Yes, Either } overruns;
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }


std::vector<HostileCase> hostileCases() {
    auto clickBody = [](UIWebView& v) { v.clickAt(CGPointMake(5, 5)); };
    auto waitForTimer = [](UIWebView& v) {
        runMainUntil([&] {
            for (const auto& line : v.consoleLines())
                if (line.find("(timer)") != std::string::npos) return true;
            return false;
        });
    };
    return {
        {"loop in an inline script", "<script>while (true) {}</script><p>after</p>", nullptr, HostileCase::Overrun::Yes},
        {"loop caught and resumed", "<script>for (;;) { try { for (;;) {} } catch (e) {} }</script>", nullptr, HostileCase::Overrun::Yes},
        {"loop in onload", "<script>window.onload = function () { for (;;) {} };</script>", nullptr, HostileCase::Overrun::Yes},
        {"loop in a click handler", "<script>document.body.addEventListener('click', function () { for (;;) {} });</script>",
         clickBody, HostileCase::Overrun::Yes},
        {"loop in a timer", "<script>setTimeout(function () { for (;;) {} }, 0);</script>", waitForTimer, HostileCase::Overrun::Yes},
        {"loop in an evaluation", "<p>plain</p>",
         [](UIWebView& v) { EXPECT_EQ(v.stringByEvaluatingJavaScriptFromString("while (1) {}"), ""); }, HostileCase::Overrun::Yes},
        {"endless recursion", "<script>function f() { return f() + 1; } f();</script>", nullptr, HostileCase::Overrun::No},
        {"allocation loop", "<script>var a = []; for (;;) a.push(new Array(100000).join('x') + a.length);</script>", nullptr, HostileCase::Overrun::Either},
        {"string doubling", "<script>var s = 'x'; for (;;) s += s;</script>", nullptr, HostileCase::Overrun::Either},
        {"node flood", "<script>for (;;) document.body.appendChild(document.createElement('div'));</script>", nullptr,
         HostileCase::Overrun::Either},
        {"40,000 nested divs", nestedDivs(40000), nullptr, HostileCase::Overrun::No},
        {"3 MB of text", "<p>" + std::string(3u << 20, 'w') + "</p>", nullptr, HostileCase::Overrun::No},
        {"more elements than a parse makes", [] {
             std::string html;
             for (std::size_t i = 0; i < WebDocument::kMaxParsedNodes + 50000; ++i) html += "<br>";
             return html;
         }(), nullptr, HostileCase::Overrun::No},
        {"innerHTML past the parse bound",
         "<p id='p'>kept</p><script>var s = '<b>'; while (s.length < (5 << 20)) s += s; "
         "try { document.getElementById('p').innerHTML = s; } catch (e) { console.log(e.name); }</script>",
         [](UIWebView& v) {
             EXPECT_EQ(v.stringByEvaluatingJavaScriptFromString("document.getElementById('p').textContent"), "kept");
             EXPECT_EQ(v.consoleLines().back(), "RangeError");
         },
         HostileCase::Overrun::No},
        {"invalid UTF-8 and NULs", std::string("<p>\xC3\x28 \xFF\xFE bad\0\0 zero</p>", 24) + "<script>var x = '\xE9';</script>", nullptr, HostileCase::Overrun::No},
        {"unterminated script", "<p>text</p><script>var never = 1;", nullptr, HostileCase::Overrun::No},
        {"unterminated comment", "<p>text</p><!-- and then nothing", nullptr, HostileCase::Overrun::No},
    };
}

} // namespace

class HostilePageTest : public WebViewTest, public ::testing::WithParamInterface<HostileCase> {};

// Each hostile page's load ends, its script stays under the heap cap, and the app goes on: the
// same view answers, and a second view loads a page at once.
TEST_P(HostilePageTest, LoadEndsAndTheAppGoesOn) {
    const HostileCase& c = GetParam();
    view->setEvaluationBudget(kTestBudget);
    view->setHeapCap(kTestHeapCap);
    loadPage(c.html);
    if (c.then) c.then(*view);
    drainMain();
    EXPECT_LE(view->peakHeapBytes(), kTestHeapCap);
    bool overran = false;
    for (const auto& line : view->consoleLines()) overran |= line.find("ran past its time budget") != std::string::npos;
    if (c.overruns != HostileCase::Overrun::Either) {
        EXPECT_EQ(overran, c.overruns == HostileCase::Overrun::Yes);
    }
    EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("6 * 7"), "42");

    auto second = std::make_shared<UIWebView>(CGRectMake(0, 0, 320, 480));
    auto secondDelegate = std::make_shared<RecordingWebDelegate>();
    second->setDelegate(secondDelegate);
    second->loadHTMLStringBaseURL("<p id='ok'>fine</p>", nullptr);
    ASSERT_TRUE(runMainUntil([&] { return secondDelegate->ended(); }));
    EXPECT_EQ(secondDelegate->events.back(), "finish");
    EXPECT_EQ(second->visibleText(), "fine");
}

INSTANTIATE_TEST_SUITE_P(Pages, HostilePageTest, ::testing::ValuesIn(hostileCases()),
                         [](const ::testing::TestParamInfo<HostileCase>& info) {
                             std::string name;
                             for (char ch : info.param.name)
                                 if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
                             return name;
                         });

TEST(WebDocument, NestingIsBoundedBeforeParsing) {
    WebDocument document;
    document.parse(nestedDivs(2000));
    int depth = 0;
    for (const WebNode* node = document.body(); node && !node->children.empty(); node = node->children.front()) ++depth;
    EXPECT_LE(depth, WebDocument::kMaxNesting + 3);
    EXPECT_EQ(document.textContent(document.body()), "deep");
    // Elements that close themselves do not count.
    std::string list = "<ul>";
    for (int i = 0; i < 1000; ++i) list += "<li>item";
    document.parse(list + "</ul>");
    EXPECT_EQ(document.elementsByTagName(document.root(), "li").size(), 1000u);
}

// One parse reads at most kMaxParsedBytes of markup and makes at most kMaxParsedNodes nodes: the
// parser's own tree costs tens of bytes for each byte of dense markup.
TEST(WebDocument, ParsesAreBoundedInBytesAndNodes) {
    WebDocument document;
    EXPECT_FALSE(document.parse("<p>" + std::string(WebDocument::kMaxParsedBytes, 'w')));
    EXPECT_EQ(document.textContent(document.body()), "");

    std::string breaks;
    for (std::size_t i = 0; i < WebDocument::kMaxParsedNodes + 1000; ++i) breaks += "<br>";
    EXPECT_TRUE(document.parse(breaks));
    const auto made = document.elementsByTagName(document.root(), "br").size();
    EXPECT_LE(made, WebDocument::kMaxParsedNodes);
    EXPECT_GE(made, WebDocument::kMaxParsedNodes - 3);  // html, head and body come first

    document.parse("<p id='p'>kept</p>");
    WebNode* p = document.elementById("p");
    ASSERT_TRUE(p);
    EXPECT_FALSE(document.setInnerHTML(p, std::string(WebDocument::kMaxParsedBytes + 1, 'x')));
    EXPECT_EQ(document.textContent(p), "kept");
}

TEST_F(WebViewTest, APagePastTheParseBoundFailsAsTooLarge) {
    loadPage("<p>" + std::string(WebDocument::kMaxParsedBytes, 'w') + "</p>");
    EXPECT_EQ(delegate->events.back(), "fail " + std::to_string(NSURLErrorDataLengthExceedsMaximum));
    EXPECT_EQ(view->visibleText(), "");
    loadPage("<p>small</p>");
    EXPECT_EQ(delegate->events.back(), "finish");
}

#include "platform/dispatch/dispatch.h"
#include "platform/net/NSURLError.h"
#include "platform/web/tests/WebViewTestSupport.h"

#include <algorithm>
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

// On the manual clock a script's time is its work, so what a page gets done before its budget
// runs out is the same on any machine.
class HostilePageTest : public WebViewTest, public ::testing::WithParamInterface<HostileCase> {
protected:
    ManualClock clock;
};

// Each hostile page's load ends, its script stays under the heap cap, and the app goes on: the
// same view answers, and a second view loads a page at once.
TEST_P(HostilePageTest, LoadEndsAndTheAppGoesOn) {
    const HostileCase& c = GetParam();
    useDeviceBudgets();
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
    ASSERT_TRUE(stepMainUntil([&] { return secondDelegate->ended(); }));
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

// One parse reads at most kMaxParsedBytes of markup and makes at most kMaxParsedNodes nodes:
// markup past either bound is refused whole, its nodes counted before it is parsed.
TEST(WebDocument, ParsesAreBoundedInBytesAndNodes) {
    WebDocument document;
    EXPECT_FALSE(document.parse("<p>" + std::string(WebDocument::kMaxParsedBytes, 'w')));
    EXPECT_EQ(document.textContent(document.body()), "");

    auto breaks = [](std::size_t count) {
        std::string html;
        for (std::size_t i = 0; i < count; ++i) html += "<br>";
        return html;
    };
    EXPECT_FALSE(document.parse(breaks(WebDocument::kMaxParsedNodes + 1)));
    EXPECT_EQ(document.elementsByTagName(document.root(), "br").size(), 0u);
    EXPECT_TRUE(document.parse(breaks(2000)));
    EXPECT_EQ(document.elementsByTagName(document.root(), "br").size(), 2000u);
    // Text between tags counts too.
    std::string items;
    for (std::size_t i = 0; i < WebDocument::kMaxParsedNodes / 2 + 1; ++i) items += "<b>x";
    EXPECT_FALSE(document.parse(items));

    document.parse("<p id='p'>kept</p>");
    WebNode* p = document.elementById("p");
    ASSERT_TRUE(p);
    EXPECT_FALSE(document.setInnerHTML(p, std::string(WebDocument::kMaxParsedBytes + 1, 'x')));
    EXPECT_EQ(document.textContent(p), "kept");
}

namespace {

std::string repeated(std::string_view unit, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += unit;
    return out;
}

// A generated documentation page: members, each a div with a link, a code element and their
// texts (six nodes), as pages of an API's reference are; 700 KB and 40,000 nodes by default.
std::string documentationPage(std::size_t bytes = 700 * 1000, std::size_t nodes = 40000) {
    std::string html = "<html><head><title>Reference</title></head><body><h1>Members</h1>";
    const std::size_t members = nodes / 6;
    const std::size_t unit = bytes / members;
    for (std::size_t i = 0; i < members; ++i) {
        const std::string n = std::to_string(100000 + i);
        std::string member = "<div class=\"member\"><a href=\"#m" + n + "\" id=\"m" + n + "\">method" + n +
                             "</a><code>int</code> answers the value";
        if (member.size() + 6 < unit) member.append(unit - member.size() - 6, 'w');
        html += member + "</div>";
    }
    return html + "</body></html>";
}

// Formatting elements left open are made again in every table row: a few bytes of markup make
// tens of elements each.
std::string rebuiltFormatting(std::size_t rows, int elements = 40) {
    std::string html = "<table>";
    for (int i = 0; i < elements; ++i) html += "<b id=" + std::to_string(i) + ">";
    return html + "x" + repeated("<tr>x", rows);
}

// Attributes of distinct names, " a0 a1 ...".
std::string attributeNames(std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += " a" + std::to_string(i);
    return out;
}

struct ParseMemoryCase {
    const char* name;
    std::string markup;
    WebDocument::Refusal refusal;
};

} // namespace

// Dense markup within a parse's bounds parses however much the parser's tree costs for it (pages
// of documentation hold tens of thousands of nodes in a few hundred KB). Markup past the bounds is
// refused whole, naming the bound it met, and what the parse held at its peak stays within
// kMaxParseHeldBytes: the parser is left as soon as it holds more, also where the markup makes far
// more nodes than it shows.
TEST(WebDocument, DensePagesParseAndHostileMarkupIsRefusedWithinItsBounds) {
    const std::vector<ParseMemoryCase> cases = {
        {"a small page", "<html><head><title>t</title></head><body><p class='x'>Hello &amp; welcome</p></body></html>", WebDocument::Refusal::None},
        {"a list of a thousand items", "<ul>" + repeated("<li>item", 1000) + "</ul>", WebDocument::Refusal::None},
        {"a long script", "<script>" + repeated("var x = 1; function f() { return x * 2; }\n", 20000) + "</script>", WebDocument::Refusal::None},
        {"nesting cut to the bound", nestedDivs(5000), WebDocument::Refusal::None},
        {"24,000 divs with attributes", repeated("<div class='a'>hello world, some words here</div>", 24000), WebDocument::Refusal::None},
        {"a documentation page of 700 KB", documentationPage(), WebDocument::Refusal::None},
        {"a documentation page at both bounds", documentationPage(WebDocument::kMaxParsedBytes - 1000, WebDocument::kMaxParsedNodes - 100),
         WebDocument::Refusal::None},
        {"a documentation page of short members at the node bound", documentationPage(0, WebDocument::kMaxParsedNodes - 100),
         WebDocument::Refusal::None},
        {"60,000 bold elements", repeated("<b>x</b>", 60000), WebDocument::Refusal::Nodes},
        {"six thousand rows rebuilding ten elements", rebuiltFormatting(6000, 10), WebDocument::Refusal::Nodes},
        {"twenty thousand rows rebuilding forty elements", rebuiltFormatting(20000), WebDocument::Refusal::HeldBytes},
        {"markup past the bytes read", "<p>" + std::string(WebDocument::kMaxParsedBytes, 'w'), WebDocument::Refusal::Bytes},
        // Attributes cost the parser their count squared on one element: the bounds are met before
        // it sees them. A quoted ">" does not end a tag, for the count as for the parser.
        {"an element with as many attributes as one holds", "<div title='a>b'" + attributeNames(WebDocument::kMaxElementAttributes - 1) + ">x</div>",
         WebDocument::Refusal::None},
        {"an element with 100,000 attributes", "<div" + attributeNames(100000) + ">", WebDocument::Refusal::ElementAttributes},
        {"an element one attribute past the bound", "<div title='a>b'" + attributeNames(WebDocument::kMaxElementAttributes) + ">",
         WebDocument::Refusal::ElementAttributes},
        {"body tags whose attributes together are past the bound", repeated("<body" + attributeNames(64) + ">", 5),
         WebDocument::Refusal::ElementAttributes},
        {"elements with more attributes than one parse makes", repeated("<i" + attributeNames(200) + ">x</i>", 1001),
         WebDocument::Refusal::Attributes},
        {"four thousand fonts left open", repeated("<font color=red>x", 4000), WebDocument::Refusal::None},
        {"bold elements with many attributes left open", repeated("<b" + attributeNames(200) + ">x", 400),
         WebDocument::Refusal::FormattingAttributes},
        {"bold elements with many attributes, closed", repeated("<b" + attributeNames(200) + ">x</b>", 400), WebDocument::Refusal::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool parses = c.refusal == WebDocument::Refusal::None;
        WebDocument document;
        EXPECT_EQ(document.parse(c.markup), parses);
        EXPECT_EQ(document.lastRefusal(), c.refusal);
        EXPECT_LE(document.lastParsePeakBytes(), WebDocument::kMaxParseHeldBytes);
        if (!parses) {
            EXPECT_EQ(document.descendants(document.root()).size(), 3u);  // html, head and body
        }

        document.parse("<p id='p'>kept</p>");
        WebNode* p = document.elementById("p");
        ASSERT_TRUE(p);
        EXPECT_EQ(document.setInnerHTML(p, c.markup), parses);
        EXPECT_EQ(document.lastRefusal(), c.refusal);
        EXPECT_LE(document.lastParsePeakBytes(), WebDocument::kMaxParseHeldBytes);
        if (!parses) {
            EXPECT_EQ(document.textContent(p), "kept");
        }
    }
}

// The engine's own global is not the page's: through it a page could leave a finalizer that runs
// its code when the page goes, outside any evaluation and its budget, and hang the app there.
TEST_F(WebViewTest, APageRunsNoCodeWhenItGoes) {
    ManualClock clock;
    loadPage("<script>var kept = {}; try { Duktape.fin(kept, function () { for (;;) {} }); } catch (e) {}"
             " console.log(typeof Duktape);</script>");
    EXPECT_EQ(view->consoleLines().back(), "undefined");
    loadPage("<p>next</p>");
    EXPECT_EQ(view->visibleText(), "next");
}

// A page past a parse's bounds fails as too large, and the log says which bound it met; a dense
// page within them loads whole, and so does markup as dense that a script sets. On the manual
// clock the scripts' time is their work, so a slow machine (or a sanitizer build) runs them whole.
TEST_F(WebViewTest, APagePastTheParseBoundFailsAsTooLargeAndADensePageLoads) {
    ManualClock clock;
    loadPage("<p>" + std::string(WebDocument::kMaxParsedBytes, 'w') + "</p>");
    EXPECT_EQ(delegate->events.back(), "fail " + std::to_string(NSURLErrorDataLengthExceedsMaximum));
    EXPECT_EQ(view->visibleText(), "");
    EXPECT_EQ(log_->count(UIWebView::parseRefusalLine(WebDocument::Refusal::Bytes)), 1u);
    loadPage(repeated("<b>x</b>", WebDocument::kMaxParsedNodes));
    EXPECT_EQ(delegate->events.back(), "fail " + std::to_string(NSURLErrorDataLengthExceedsMaximum));
    EXPECT_EQ(log_->count(UIWebView::parseRefusalLine(WebDocument::Refusal::Nodes)), 1u);

    const std::string page = documentationPage();
    ASSERT_GE(page.size(), 700u * 1000);
    loadPage(page);
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_GE(std::stoi(eval("document.getElementsByTagName('*').length")) * 2, 40000);
    EXPECT_EQ(eval("document.getElementById('m100000').textContent"), "method100000");
    EXPECT_EQ(eval("var list = ''; for (var i = 0; i < 24000; i++) list += '<i>' + i + '</i>';"
                   "document.body.innerHTML = list; document.body.lastChild.textContent"),
              "23999");
}

namespace {

// A delegate's answer to each bridge call, as an ad SDK gives it: the page's own callComplete,
// evaluated in the page, which the page may have redefined to call again.
void answerBridgeCalls(RecordingWebDelegate& delegate, std::size_t& calls) {
    delegate.onPolicy = [&calls](UIWebView& v, const NSURLRequestPtr& request, UIWebViewNavigationType) {
        if (request->URL()->scheme() != "vuderu") return true;
        ++calls;
        v.stringByEvaluatingJavaScriptFromString("vuderuadapter.callComplete()");
        return false;
    };
}

} // namespace

// A page whose callComplete calls again loops through the delegate for ever, but a few calls a
// main-loop pass: the main loop's other work runs between them, and a new page ends the loop.
TEST_F(WebViewTest, ABridgeThatCallsItselfLeavesTheMainLoopRunning) {
    std::size_t calls = 0;
    answerBridgeCalls(*delegate, calls);
    loadPage("<script>window.vuderuadapter = { callComplete: function () { location.href = 'vuderu://vuderucall'; } };</script>");
    eval("location.href = 'vuderu://vuderucall'");
    EXPECT_EQ(calls, UIWebView::kMaxNavigationsPerPass);
    for (int round = 1; round <= 3; ++round) {
        bool answered = false;
        dispatch_async(dispatch_get_main_queue(), [&] { answered = true; });
        ASSERT_TRUE(runMainUntil([&] { return answered; }));
        EXPECT_LE(calls, UIWebView::kMaxNavigationsPerPass * static_cast<std::size_t>(2 + 2 * round));
    }
    EXPECT_GT(calls, UIWebView::kMaxNavigationsPerPass);
    loadPage("<p>next</p>");
    const std::size_t after = calls;
    drainMain();
    EXPECT_EQ(calls, after);
    EXPECT_EQ(view->visibleText(), "next");
}

// A callComplete that calls again and then spins until it is stopped: the navigations it starts
// wait for the page's share, so over ten seconds the page has the main thread for its share (and
// one call's overdraft), and each of the delegate's evaluations while the page is past its share
// is cut short. Costs are counted on the manual clock, which the page's work moves.
TEST_F(WebViewTest, ABridgeThatSpinsKeepsToItsShare) {
    ManualClock clock;
    useDeviceBudgets();
    std::size_t calls = 0;
    answerBridgeCalls(*delegate, calls);
    loadPage("<script>window.vuderuadapter = { callComplete: function () {"
             " location.href = 'vuderu://vuderucall'; for (;;) {} } };</script>");
    eval("location.href = 'vuderu://vuderucall'");
    const double start = PlatformClock::monotonic();
    const double spin = UIWebView::kEvaluationBudget + WebScriptEngine::kCheckSeconds;
    while (PlatformClock::monotonic() - start < 10) {
        bool answered = false;
        dispatch_async(dispatch_get_main_queue(), [&] { answered = true; });
        ASSERT_TRUE(stepMainUntil([&] { return answered; }, 1));
        SteppedClock::stepToward(PlatformClock::monotonic() + 0.1);
    }
    const double spent = static_cast<double>(calls) * UIWebView::kEvaluationBudget;
    EXPECT_LE(spent, WebScriptBudget::kShare * (10 + WebScriptBudget::kWindow) + spin);
    EXPECT_GE(calls, 3u);
    // Past its share, what the app evaluates runs for a moment at most.
    eval("vuderuadapter.callComplete()");
    const double before = PlatformClock::monotonic();
    eval("for (;;) {}");
    EXPECT_LE(PlatformClock::monotonic() - before, UIWebView::kEvaluationBudgetPastShare + WebScriptEngine::kCheckSeconds + 1e-6);
}

// Markup past what one parse reads is refused whole with a log line, the element keeping what it
// had; parses below the bound cost their evaluation the time they take, so a page that sets
// markup in a loop is stopped by its budget.
TEST_F(WebViewTest, ScriptMarkupIsBoundedInNodesAndTime) {
    ManualClock clock;
    useDeviceBudgets();
    loadPage("<div id='d'>kept</div>");
    eval("var many = new Array(60001).join('<i>x</i> ');"
         "try { document.getElementById('d').innerHTML = many; } catch (e) { console.log(e.name); }");
    EXPECT_EQ(eval("document.getElementById('d').textContent"), "kept");
    EXPECT_EQ(view->consoleLines().back(), "RangeError");
    EXPECT_EQ(log_->count(UIWebView::parseRefusalLine(WebDocument::Refusal::Nodes)), 1u);

    view->setEvaluationBudget(0.2);
    loadPage("<div id='d'></div>");
    eval("var some = new Array(2001).join('<i>x</i>'); var sets = 0;"
         "for (;;) { document.getElementById('d').innerHTML = some; sets++; }");
    EXPECT_NE(std::find(view->consoleLines().begin(), view->consoleLines().end(), "script stopped: it ran past its time budget (evaluation)"),
              view->consoleLines().end());
    const int sets = std::stoi(eval("String(sets)"));
    EXPECT_GE(sets, 5);
    EXPECT_LE(sets, 30);
}

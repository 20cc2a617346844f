#include "platform/web/tests/WebViewTestSupport.h"

#include <algorithm>

namespace {

struct EventCase {
    const char* name;
    std::string html;
    // What the driver taps once the page has loaded; empty for nothing.
    std::string tap;
    // The console lines the page writes during its load and the tap.
    std::vector<std::string> console;
    // The navigation the web view is asked for, if any (it is refused).
    std::string asked;
    // The page's URL afterwards, when it moves inside the document.
    std::string url = "http://ads.example/page.html";
};

void PrintTo(const EventCase& c, std::ostream* out) { *out << c.name; }

const EventCase kEventCases[] = {
    {"an onclick attribute runs with this and event",
     "<div id='d' onclick=\"console.log(this.id + ' ' + event.type + ' ' + (event.target === this))\">x</div>", "d", {"d click true"}, ""},
    {"attribute handlers see the element's names first, then the document's",
     "<button id='b' onclick=\"console.log(id + ' ' + tagName + ' ' + typeof getElementById)\">b</button>", "b",
     {"b BUTTON function"}, ""},
    {"a tap is touches, then mouse events, then the click",
     "<div id='d' ontouchstart=\"console.log('touchstart')\" ontouchend=\"console.log('touchend')\" "
     "onmousedown=\"console.log('mousedown')\" onmouseup=\"console.log('mouseup')\" onclick=\"console.log('click')\">x</div>",
     "d", {"touchstart", "touchend", "mousedown", "mouseup", "click"}, ""},
    {"a prevented touch is not clicked",
     "<div id='d' ontouchend='event.preventDefault()' onclick=\"console.log('click')\">x</div>", "d", {}, ""},
    {"clicks bubble to the body's attribute, unless stopped",
     "<body onclick=\"console.log('body saw ' + event.target.id)\"><div id='d'>x</div>"
     "<div id='s' onclick='event.stopPropagation()'>y</div></body>",
     "d", {"body saw d"}, ""},
    {"a link follows without a handler", "<a href='/next'>Next</a>", "Next", {}, "http://ads.example/next 0"},
    {"return false stops a link", "<a href='/next' onclick='return false'>Next</a>", "Next", {}, ""},
    {"preventDefault in a listener stops a link",
     "<a id='l' href='/next'>Next</a><script>document.getElementById('l').addEventListener('click', "
     "function (e) { e.preventDefault(); });</script>",
     "l", {}, ""},
    {"a listener's false does not stop a link",
     "<a id='l' href='/next'>Next</a><script>document.getElementById('l').addEventListener('click', "
     "function () { return false; });</script>",
     "l", {}, "http://ads.example/next 0"},
    {"href=# stays on the page", "<a href='#'>Top</a><p>kept</p>", "Top", {}, "", "http://ads.example/page.html#"},
    {"a link to a place in the page changes the hash",
     "<body onhashchange=\"console.log('hash ' + location.hash)\"><a href='#more'>More</a></body>", "More",
     {"hash #more"}, "", "http://ads.example/page.html#more"},
    {"a javascript: link runs in the page", "<a href=\"javascript:console.log('js%20link')\">Go</a>", "Go", {"js link"}, ""},
    {"the body's onload is the window's",
     "<body onload=\"console.log('body ' + (this === window) + ' ' + event.type)\"><p>x</p></body>", "", {"body true load"}, ""},
    {"a broken attribute is reported and the others run",
     "<div id='d' onclick='if (' onmousedown=\"console.log('mousedown')\">x</div>", "d",
     {"mousedown", "Uncaught SyntaxError: parse error (line 2, end of input)"}, ""},
};

} // namespace

class InlineEventTest : public WebViewTest, public ::testing::WithParamInterface<EventCase> {};

TEST_P(InlineEventTest, RunsAsBrowsersRunThem) {
    const EventCase& c = GetParam();
    loadPage(c.html);
    delegate->allow = false;
    delegate->events.clear();
    if (!c.tap.empty()) {
        UIScreenReply reply;
        ASSERT_TRUE(view->clickNamed(c.tap, reply)) << reply.error;
        drainMain();
    }
    std::vector<std::string> asked;
    for (const auto& e : delegate->events)
        if (e.rfind("policy ", 0) == 0) asked.push_back(e.substr(7));
    EXPECT_EQ(view->consoleLines(), c.console);
    EXPECT_EQ(asked, c.asked.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.asked});
    EXPECT_EQ(view->pageURL(), c.url);
}

INSTANTIATE_TEST_SUITE_P(Pages, InlineEventTest, ::testing::ValuesIn(kEventCases), CaseName());

// A handler set as a property replaces the attribute's until the attribute is set again; a
// handler a host put on the window as the page started runs as well as the body's onload.
TEST_F(WebViewTest, HandlerPropertiesAndAttributesShareOneSlot) {
    delegate->onStart = [](UIWebView& v) { v.stringByEvaluatingJavaScriptFromString("window.onload = function () { console.log('host'); };"); };
    loadPage("<body onload=\"console.log('page')\"><div id='d' onclick=\"console.log('attribute')\">x</div></body>");
    EXPECT_EQ(view->consoleLines(), (std::vector<std::string>{"host", "page"}));
    EXPECT_EQ(eval("typeof document.getElementById('d').onclick"), "function");
    UIScreenReply reply;
    eval("document.getElementById('d').onclick = function () { console.log('property'); };");
    view->clickNamed("d", reply);
    eval("document.getElementById('d').setAttribute('onclick', \"console.log('attribute again')\");");
    view->clickNamed("d", reply);
    eval("var e = document.createEvent('Event'); e.initEvent('click', true, true); document.getElementById('d').dispatchEvent(e);");
    EXPECT_EQ(view->consoleLines(), (std::vector<std::string>{"host", "page", "property", "attribute again", "attribute again"}));
}

// A page loaded from a string without a base URL is about:blank; its "#" links stay on it too.
TEST_F(WebViewTest, ALinkToTheTopOfABlankBasedPageKeepsThePage) {
    view->loadHTMLStringBaseURL("<a href='#'>Top</a><p>kept</p>", nullptr);
    waitForEnd();
    delegate->events.clear();
    UIScreenReply reply;
    ASSERT_TRUE(view->clickNamed("Top", reply)) << reply.error;
    drainMain();
    EXPECT_EQ(delegate->events, std::vector<std::string>{});
    EXPECT_EQ(view->pageURL(), "about:blank#");
    EXPECT_EQ(view->visibleText(), "Top kept");
}

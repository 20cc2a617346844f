#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/web/tests/WebViewTestSupport.h"
#include "platform/uikit/UIScreenDescription.h"

#include <algorithm>

namespace {

struct AdTagCase {
    const char* name;
    std::string html;
    // The console lines the page writes, once it has written as many.
    std::vector<std::string> console;
};

void PrintTo(const AdTagCase& c, std::ostream* out) { *out << c.name; }

const AdTagCase kAdTagCases[] = {
    {"document.write stands in the script's place",
     "<div id='a'><script>document.write('<b>one'); document.write('</b>'); document.writeln('<i>two</i>');</script><span>after</span></div>"
     "<script>console.log(Array.prototype.map.call(document.getElementById('a').children, function (e) { return e.tagName; }).join(' '));"
     "console.log(document.querySelector('#a b').textContent + document.querySelector('#a i').textContent);</script>",
     {"SCRIPT B I SPAN", "onetwo"}},
    {"a written script runs before the page's next one",
     "<script>document.write('<scr' + 'ipt>console.log(\"written \" + document.currentScript.tagName)</scr' + 'ipt>');</script>"
     "<script>console.log('next')</script>",
     {"written SCRIPT", "next"}},
    {"document.write after the load adds to the body and runs its scripts",
     "<p>page</p><script>window.onload = function () { document.write('<b id=\"late\">late</b><script>console.log(\"late script\")<\\/script>'); "
     "console.log(document.getElementById('late').textContent); };</script>",
     {"late", "late script"}},
    {"readyState and DOMContentLoaded come in order",
     "<script>console.log(document.readyState);"
     "document.addEventListener('DOMContentLoaded', function () { console.log('ready ' + document.readyState); });"
     "window.addEventListener('load', function () { console.log('load ' + document.readyState); });</script>",
     {"loading", "ready interactive", "load complete"}},
    {"the page is the top window, as large as its view",
     "<script>console.log([top === window, parent === window, window.frameElement, innerWidth, innerHeight, devicePixelRatio,"
     "document.documentElement.clientWidth].join(' '));</script>",
     {"true true  320 480 2 320"}},
    {"selectors and class names find elements",
     "<div class='ad big' id='x' data-ad-id='7'><span class='t'>a</span><span>b</span><p><span>c</span></p></div>"
     "<script>console.log([document.querySelectorAll('div.ad > span').length, document.querySelector('#x .t').textContent,"
     "document.querySelector('span + span').textContent, document.getElementsByClassName('big  ad').length,"
     "document.querySelector(\"[data-ad-id='7']\").id, document.querySelectorAll('div span').length,"
     "document.getElementById('x').querySelector('p span').textContent, document.querySelector('span:last-child').textContent,"
     "document.querySelectorAll('b, .t, p').length, document.querySelector('em') === null].join(' '));"
     "try { document.querySelector('div['); } catch (e) { console.log(e.name); }</script>",
     {"2 a b 1 x 3 c c 2 true", "SyntaxError"}},
    {"classList and dataset read and write the attributes",
     "<div class='ad big' id='x' data-ad-id='7'></div><script>var d = document.getElementById('x');"
     "d.classList.add('shown'); d.classList.remove('big'); d.classList.toggle('ad'); d.dataset.clickUrl = 'u';"
     "console.log([d.className, d.dataset.adId, d.getAttribute('data-click-url'), d.classList.contains('shown'),"
     "d.classList.length, 'missing' in d.dataset].join(' '));</script>",
     {"shown 7 u true 1 false"}},
    {"an inline script a script appends runs at once",
     "<script>var s = document.createElement('script'); s.text = 'console.log(\"appended ran\")';"
     "document.body.appendChild(s); console.log('after append'); document.body.appendChild(s);</script>",
     {"appended ran", "after append"}},
    {"a script with a source a script appends runs and hears its load",
     "<script>var s = document.createElement('script'); s.onload = function () { console.log('loaded ' + window.tagRan); };"
     "s.src = 'tag.js'; document.getElementsByTagName('head')[0].appendChild(s);"
     "var m = document.createElement('script'); m.onerror = function () { console.log('missing errored'); };"
     "m.src = 'missing.js'; document.body.appendChild(m);</script>",
     {"tag ran", "loaded yes", "script not loaded: missing.js", "missing errored"}},
    {"a tag's uncaught error reaches the console",
     "<script>console.log('before'); undefinedFunction();</script><script>console.log('next script')</script>",
     {"before", "Uncaught ReferenceError: identifier 'undefinedFunction' undefined", "next script"}},
};

} // namespace

// A web view with a loopback server for the tags' scripts and images.
class AdTagServerTest : public WebViewTest {
protected:
    void SetUp() override {
        WebViewTest::SetUp();
        server.route("/tag.js", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/javascript"}},
                                                          "window.tagRan = 'yes'; console.log('tag ran');"));
        server.route("/banner.gif", LoopbackHTTPServer::fixed(200, {{"Content-Type", "image/gif"}},
                                                              onePixelGif()));
    }
    LoopbackHTTPServer server;
};

class AdTagTest : public AdTagServerTest, public ::testing::WithParamInterface<AdTagCase> {};

// What common ad tags call works as in a browser.
TEST_P(AdTagTest, RunsAsABrowserRunsIt) {
    const AdTagCase& c = GetParam();
    view->loadHTMLStringBaseURL(c.html, NSURL::URLWithString(server.url("/page.html")));
    ASSERT_TRUE(runMainUntil([&] { return delegate->ended() && view->consoleLines().size() >= c.console.size(); }));
    drainMain();
    EXPECT_EQ(view->consoleLines(), c.console);
    EXPECT_EQ(delegate->events.back(), "finish");
}

INSTANTIATE_TEST_SUITE_P(Tags, AdTagTest, ::testing::ValuesIn(kAdTagCases), CaseName());

// A banner tag that writes its creative shows the image (named by its file) and follows its link
// when the banner is tapped; a tag that throws says why through the console observer, as written
// (the log escapes it).
TEST_F(AdTagTest, ADocumentWriteBannerShowsItsImageAndItsClick) {
    std::vector<std::string> observed;
    view->setConsoleObserver([&](const std::string& line) { observed.push_back(line); });
    view->loadHTMLStringBaseURL("<script>document.write('<a href=\"http://click.example/landing\"><img src=\"banner.gif?c=1\"></a>');"
                                "</script><script>document.body.onclick = function () { console.log('clicked'); };</script>",
                                NSURL::URLWithString(server.url("/page.html")));
    waitForEnd();
    ASSERT_TRUE(runMainUntil([&] { return server.handledCount() == 1; }));
    EXPECT_EQ(server.requests().at(0).path, "/banner.gif");
    UIScreenDescription screen;
    view->describeToScreen(screen);
    EXPECT_NE(screen.text().find("(banner.gif)"), std::string::npos) << screen.text();
    delegate->events.clear();
    delegate->allow = false;
    view->clickAt(CGPointMake(100, 25));
    drainMain();
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"console clicked", "policy http://click.example/landing 0"}));

    eval("throw new TypeError('no \\x1b[31mad\\u202e here')");
    ASSERT_FALSE(observed.empty());
    EXPECT_EQ(observed.back(), "Uncaught TypeError: no \x1b[31mad\u202e here");
}

namespace {

struct TagCallCase {
    const char* name;
    std::string script;
    std::string answer;
};

void PrintTo(const TagCallCase& c, std::ostream* out) { *out << c.name; }

const TagCallCase kTagCallCases[] = {
    {"location's parts come from the page's address",
     "[location.protocol, location.hostname, location.pathname, location.search, location.host === '127.0.0.1:' + location.port,"
     "location.origin === 'http://' + location.host].join(' ')",
     "http: 127.0.0.1 /page.html ?q=1 true true"},
    {"the page has no referrer", "typeof document.referrer + ':' + document.referrer", "string:"},
    {"btoa and atob encode Latin-1 text",
     "[btoa('Hello, W\\u00f6rld'), atob('SGVsbG8='), atob(' SGV\\nsbG8 '), btoa(''), atob('')].join('|')", "SGVsbG8sIFf2cmxk|Hello|Hello||"},
    {"btoa and atob refuse what they cannot read",
     "(function () { var out = []; try { atob('abcde'); } catch (e) { out.push(e.name); }"
     "try { atob('ab=c'); } catch (e) { out.push(e.name); } try { btoa('\\u20ac'); } catch (e) { out.push(e.name); }"
     "return out.join(' '); })()",
     "InvalidCharacterError InvalidCharacterError InvalidCharacterError"},
    {"cloneNode copies the node, deep or not",
     "var c = document.getElementById('box').cloneNode(true); c.id = 'copy'; document.body.appendChild(c);"
     "[c.outerHTML, document.getElementById('box').cloneNode(false).outerHTML, c.parentNode === document.body,"
     "document.getElementById('box').cloneNode().parentNode].join(' ')",
     "<div id=\"copy\" class=\"ad\"><b>one</b><i>two</i></div> <div id=\"box\" class=\"ad\"></div> true "},
    {"outerHTML replaces the element with its markup",
     "var b = document.querySelector('#box b'); b.outerHTML = '<em>new</em><u>x</u>';"
     "[document.getElementById('box').innerHTML, b.parentNode].join(' ')",
     "<em>new</em><u>x</u><i>two</i> "},
    {"insertAdjacentHTML puts markup around and inside",
     "var box = document.getElementById('box'); box.insertAdjacentHTML('beforebegin', '<p>1</p>');"
     "box.insertAdjacentHTML('afterBegin', '<p>2</p>'); box.insertAdjacentHTML('beforeend', '<p>3</p>');"
     "box.insertAdjacentHTML('afterend', '<p>4</p>'); document.body.innerHTML",
     "<p>1</p><div id=\"box\" class=\"ad\"><p>2</p><b>one</b><i>two</i><p>3</p></div><p>4</p>"},
    {"insertAdjacentHTML refuses a position or a place it cannot have",
     "(function () { var out = []; try { document.body.insertAdjacentHTML('middle', 'x'); } catch (e) { out.push(e.name); }"
     "try { document.documentElement.insertAdjacentHTML('afterend', 'x'); } catch (e) { out.push(e.name); }"
     "try { document.createElement('b').insertAdjacentHTML('beforebegin', 'x'); } catch (e) { out.push(e.name); }"
     "return out.join(' '); })()",
     "SyntaxError NoModificationAllowedError NoModificationAllowedError"},
    {"an element's box is empty: the page is not laid out",
     "var r = document.getElementById('box').getBoundingClientRect();"
     "[r.x, r.y, r.top, r.left, r.right, r.bottom, r.width, r.height, document.body.getClientRects().length].join(',')",
     "0,0,0,0,0,0,0,0,0"},
    {"a frame of another address shows its window, not its document",
     "var g = document.createElement('iframe'); var before = g.contentWindow; g.src = 'frame.html'; document.body.appendChild(g);"
     "var out = [before, g.contentDocument, g.contentWindow.parent === window];"
     "try { g.contentWindow.document; } catch (e) { out.push(e.name); }"
     "try { g.contentWindow.location.href; } catch (e) { out.push(e.name); } out.join(' ')",
     "  true SecurityError SecurityError"},
    {"a friendly frame's document is written and read",
     "var f = document.createElement('iframe'); document.body.appendChild(f); var d = f.contentWindow.document;"
     "d.open(); d.write('<html><head></head><body><p id=\"in\">inside</p>'); d.writeln('</body></html>'); d.close();"
     "[d === f.contentDocument, d.defaultView === f.contentWindow, f.contentWindow.frameElement === f, d.URL,"
     "d.getElementById('in').textContent, document.getElementById('in'), d.body.innerHTML,"
     "f.contentWindow.location.href, String(f.contentWindow.location)].join('|')",
     "true|true|true|about:blank|inside||<p id=\"in\">inside</p>\n|about:blank|about:blank"},
};

} // namespace

class TagCallTest : public AdTagServerTest, public ::testing::WithParamInterface<TagCallCase> {};

// What tags call besides the DOM's core answers as a browser answers it.
TEST_P(TagCallTest, AnswersAsABrowserDoes) {
    view->loadHTMLStringBaseURL("<body><div id='box' class='ad'><b>one</b><i>two</i></div></body>",
                                NSURL::URLWithString(server.url("/page.html?q=1")));
    waitForEnd();
    EXPECT_EQ(eval(GetParam().script), GetParam().answer);
    EXPECT_EQ(std::count_if(view->consoleLines().begin(), view->consoleLines().end(),
                            [](const std::string& l) { return l.rfind("Uncaught", 0) == 0; }),
              0);
}

INSTANTIATE_TEST_SUITE_P(Calls, TagCallTest, ::testing::ValuesIn(kTagCallCases), CaseName());

// A window a tag opens in answer to the user's touch goes the way the page's links go: to the
// delegate, as a link clicked, and the tag gets a window it can close; one touch opens one window.
// A window opened without a touch is blocked, as a browser's pop-up blocker blocks it: the tag
// gets null, and the log says so once.
TEST_F(AdTagServerTest, AWindowATagOpensOnATouchGoesWhereLinksGo) {
    loadPage("<p>ad</p><script>document.body.addEventListener('click', function () {"
             "var w = window.open('http://click.example/landing?c=1', '_blank'); w.close();"
             "console.log('closed ' + w.closed + ', again ' + window.open('http://click.example/again')); });</script>");
    delegate->events.clear();
    delegate->allow = false;
    EXPECT_EQ(eval("String(window.open('http://click.example/unasked'))"), "null");
    EXPECT_EQ(eval("String(window.open())"), "null");
    view->clickAt(CGPointMake(5, 5));
    drainMain();
    delegate->flush(*view);
    EXPECT_EQ(delegate->events, (std::vector<std::string>{
                                    "console web view: the page opened a window without the user's touch; it is blocked, as are "
                                    "further ones (http://ads.example/page.html)",
                                    "console window blocked (no touch): http://click.example/unasked",
                                    "console window blocked (no touch): about:blank",
                                    "console window blocked (no touch): http://click.example/again",
                                    "console closed true, again null",
                                    "policy http://click.example/landing?c=1 0"}));
    EXPECT_EQ(log_->count("opened a window without the user's touch"), 1u);
}

// Animation frames come at the display's rate on the platform clock, stamped with its time, and
// a cancelled one never comes.
TEST_F(AdTagServerTest, AnimationFramesComeAtTheDisplaysRate) {
    ManualClock clock;
    loadPage("<script>var stamps = []; function frame(t) { stamps.push(t); if (stamps.length < 3) requestAnimationFrame(frame); }"
             "requestAnimationFrame(frame); cancelAnimationFrame(requestAnimationFrame(function () { stamps.push('cancelled'); }));</script>");
    SteppedClock::advance(1);
    EXPECT_EQ(eval("stamps.length"), "3");
    EXPECT_EQ(eval("typeof stamps[0]"), "number");
    // The gap is the display's frame and the work the clock was moved by meanwhile.
    const double gap = std::stod(eval("stamps[2] - stamps[1]"));
    EXPECT_GE(gap, 1000.0 / 60 - 1e-6);
    EXPECT_LE(gap, 1000.0 / 60 + 1000 * (WebScriptEngine::kCheckSeconds + 4 * WebScriptEngine::kEvaluationSeconds));
}

// A friendly-iframe tag writes its creative into the frame's document: it shows where the frame
// stands, its image loads, and a tap on it follows its link.
TEST_F(AdTagServerTest, AFriendlyFrameShowsWhatItsTagWrote) {
    view->loadHTMLStringBaseURL("<div id='slot'></div><script>var f = document.createElement('iframe');"
                                "document.getElementById('slot').appendChild(f); var d = f.contentWindow.document; d.open();"
                                "d.write('<body><a href=\"http://click.example/friendly\"><img src=\"banner.gif?f=1\"></a><p>in the frame</p></body>');"
                                "d.close();</script>",
                                NSURL::URLWithString(server.url("/page.html")));
    waitForEnd();
    ASSERT_TRUE(runMainUntil([&] { return server.handledCount() == 1; }));
    EXPECT_EQ(server.requests().at(0).path, "/banner.gif");
    EXPECT_EQ(view->visibleText(), "in the frame");
    UIScreenDescription screen;
    view->describeToScreen(screen);
    EXPECT_NE(screen.text().find("(banner.gif)"), std::string::npos) << screen.text();
    delegate->events.clear();
    delegate->allow = false;
    view->clickAt(CGPointMake(10, 10));
    drainMain();
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"policy http://click.example/friendly 0"}));
}

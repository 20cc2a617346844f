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

class AdTagTest : public WebViewTest, public ::testing::WithParamInterface<AdTagCase> {
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

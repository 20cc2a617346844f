#include "platform/web/tests/WebViewTestSupport.h"

// Navigations a script starts reach the policy call in order once the script has returned, each
// with its type; an allowed IFRAME loads as a subframe whose start and end are reported.
TEST_F(WebViewTest, ScriptNavigationsReachThePolicyInOrder) {
    loadPage("<body><a id='go' href='/next.html'>Next</a></body>");
    delegate->events.clear();
    delegate->allow = false;
    eval("var f = document.createElement('IFRAME'); f.src = 'vuderu://vuderucall?event=one';"
         "document.documentElement.appendChild(f); document.documentElement.removeChild(f);"
         "var g = document.createElement('iframe'); g.setAttribute('src', 'vuderu://vuderucall?event=two');"
         "document.body.appendChild(g);"
         "location.href = 'http://ads.example/moved';"
         "document.getElementById('go').click();"
         "console.log('script returned');");
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"console script returned",
                                                          "policy vuderu://vuderucall?event=one 5",
                                                          "policy vuderu://vuderucall?event=two 5",
                                                          "policy http://ads.example/moved 5",
                                                          "policy http://ads.example/next.html 0"}));
    drainMain();
    EXPECT_EQ(view->pageURL(), "http://ads.example/page.html");

    // A navigation started while the policy call evaluates script waits for the ones before it.
    delegate->events.clear();
    delegate->onPolicy = [](UIWebView& v, const NSURLRequestPtr& request, UIWebViewNavigationType) {
        if (request->URL()->absoluteString() == "vuderu://vuderucall?event=a")
            v.stringByEvaluatingJavaScriptFromString("location.href = 'vuderu://vuderucall?event=c'");
        return false;
    };
    eval("location.href = 'vuderu://vuderucall?event=a'; location.href = 'vuderu://vuderucall?event=b';");
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"policy vuderu://vuderucall?event=a 5",
                                                          "policy vuderu://vuderucall?event=b 5",
                                                          "policy vuderu://vuderucall?event=c 5"}));
}

TEST_F(WebViewTest, AllowedFramesAndLinksLoad) {
    loadPage("<body><a href='/second.html'>Second</a></body>");
    delegate->events.clear();
    eval("var f = document.createElement('iframe'); f.src = 'vuderu://vuderucall?event=x'; document.body.appendChild(f);");
    ASSERT_TRUE(runMainUntil([&] { return delegate->ended(); }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"policy vuderu://vuderucall?event=x 5", "start", "fail -1002"}));
    EXPECT_EQ(view->pageURL(), "http://ads.example/page.html");

    delegate->events.clear();
    eval("var s = document.createElement('iframe'); s.src = 'about:blank'; document.body.appendChild(s);");
    ASSERT_TRUE(runMainUntil([&] { return delegate->ended(); }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"policy about:blank 5", "start", "finish"}));

    UIScreenReply reply;
    delegate->events.clear();
    ASSERT_TRUE(view->clickNamed("Second", reply)) << reply.error;
    waitForEnd();
    EXPECT_EQ(delegate->events.front(), "policy http://ads.example/second.html 0");
    EXPECT_EQ(view->pageURL(), "http://ads.example/second.html");
}

// Frames written in the page's HTML start loading once it is parsed, before its scripts run;
// a refused one loads nothing.
TEST_F(WebViewTest, FramesWrittenInThePageLoadAsSubframes) {
    delegate->onPolicy = [](UIWebView&, const NSURLRequestPtr& request, UIWebViewNavigationType) {
        return request->URL()->path() != "/frames/ad.html";
    };
    view->loadHTMLStringBaseURL("<body><iframe src='frames/ad.html'></iframe><div><IFRAME SRC='about:blank'></IFRAME></div>"
                                "<iframe></iframe><script>console.log('script ran')</script></body>",
                                NSURL::URLWithString("http://ads.example/page.html"));
    ASSERT_TRUE(runMainUntil([&] { return std::count(delegate->events.begin(), delegate->events.end(), "finish") == 2; }));
    drainMain();
    delegate->flush(*view);
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"policy http://ads.example/page.html 5", "start",
                                                          "policy http://ads.example/frames/ad.html 5",
                                                          "policy about:blank 5", "start", "console script ran", "finish",
                                                          "finish"}));
}

TEST_F(WebViewTest, ClicksBubbleWithTheirTargetAndLinksCanBePrevented) {
    loadPage("<body><div id='outer'><span id='inner'>in</span></div><a id='link' href='/x'>x</a></body>");
    eval("var seen = [];"
         "document.body.addEventListener('click', function (e) { seen.push('body:' + e.target.id); });"
         "document.getElementById('outer').addEventListener('click', function (e) { seen.push('outer:' + e.target.id); });"
         "document.getElementById('link').addEventListener('click', function (e) { e.preventDefault(); });");
    delegate->events.clear();
    eval("document.getElementById('inner').click(); document.getElementById('link').click();");
    EXPECT_EQ(eval("seen.join(',')"), "outer:inner,body:inner,body:link");
    EXPECT_TRUE(delegate->events.empty());
}

TEST_F(WebViewTest, DocumentAndElementsAsScriptsUseThem) {
    loadPage("<html><head><title>t</title></head><body style='background-color: #336699'><div id='box'>a</div></body></html>");
    struct Case {
        const char* script;
        const char* answer;
    } cases[] = {
        {"document.documentElement.tagName + document.head.tagName + document.body.tagName", "HTMLHEADBODY"},
        {"var d = document.createElement('div'); d.textContent = 'a < b & \"c\"'; d.innerHTML", "a &lt; b &amp; \"c\""},
        {"d.setAttribute('title', 'q\"&'); var w = document.createElement('p'); w.appendChild(d); w.innerHTML",
         "<div title=\"q&quot;&amp;\">a &lt; b &amp; \"c\"</div>"},
        {"d.innerHTML = '<img src=x><b>bold</b>\\u00a0'; d.innerHTML", "<img src=\"x\"><b>bold</b>&nbsp;"},
        {"d.innerHTML = '<td>cell</td><p>one<p>two'; d.innerHTML", "cell<p>one</p><p>two</p>"},
        {"d.innerHTML = '<script>console.log(\"ran\")</script>'; d.innerHTML", "<script>console.log(\"ran\")</script>"},
        {"d.style.display = 'none'; d.style.zIndex = 3; d.getAttribute('style')", "display: none; z-index: 3"},
        {"d.style.display", "none"},
        {"document.getElementsByTagName('div').length", "1"},
        {"document.body.appendChild(d); document.getElementsByTagName('div').length", "2"},
        {"document.getElementById('box').textContent", "a"},
        {"navigator.userAgent.indexOf('AppleWebKit') > 0", "true"},
        {"location.href", "http://ads.example/page.html"},
        {"document.body.removeChild(d) === d", "true"},
    };
    for (const auto& c : cases) EXPECT_EQ(eval(c.script), c.answer) << c.script;
    for (const auto& line : view->consoleLines()) EXPECT_NE(line, "ran");
    auto color = view->pageBackgroundColor();
    ASSERT_TRUE(color);
    EXPECT_NEAR(color->blue(), 0x99 / 255.0, 1e-6);
}

// The driver: the page's text without its hidden parts, links, images by id or alt; `tap` by
// name and `touch` on an absolutely placed element.
TEST_F(WebViewTest, DescribesItselfAndTakesTapsAndTouches) {
    loadPage("<body><p>Big sale</p><div style='display:none'>secret</div><a href='/more'>More</a>"
             "<img alt='Logo' src='l.png'>"
             "<div id='btn' style='position:absolute; right:10px; top:10px; width:50px; height:50px; z-index:5'></div>"
             "<div id='under' style='position:absolute; left:250px; top:0px; width:70px; height:70px'></div>"
             "<script>var hits = []; document.body.addEventListener('click', function (e) { hits.push(e.target.tagName + ':' + e.target.id); });</script>"
             "</body>");
    UIScreenDescription screen;
    screen.describeView(view);
    std::string text = screen.text();
    EXPECT_NE(text.find("web: http://ads.example/page.html"), std::string::npos) << text;
    EXPECT_NE(text.find("Big sale More"), std::string::npos) << text;
    EXPECT_EQ(text.find("secret"), std::string::npos) << text;
    EXPECT_NE(text.find("[More]"), std::string::npos) << text;
    EXPECT_NE(text.find("(Logo)"), std::string::npos) << text;

    UIScreenReply reply;
    EXPECT_TRUE(screen.tap("btn", reply)) << reply.error;
    view->clickAt(CGPointMake(280, 30));  // both hold it: the higher z-index takes it
    view->clickAt(CGPointMake(255, 65));
    view->clickAt(CGPointMake(10, 400));
    EXPECT_EQ(eval("hits.join(',')"), "DIV:btn,DIV:btn,DIV:under,BODY:");
    EXPECT_FALSE(view->clickNamed("Nothing", reply));
}

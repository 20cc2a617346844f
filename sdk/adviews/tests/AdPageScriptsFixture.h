#pragma once
// Pages with the ad scripts in them, as the loader injects them at the start of a load, and a
// recording bridge for the MRAID adapter: `calls` holds each executeCall's arguments joined by
// blanks, `heard` what the test's listeners heard.

#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/web/tests/WebViewTestSupport.h"
#include "sdk/adviews/VuderuAdScripts.h"

class AdPageScriptsTest : public WebViewTest {
protected:
    void SetUp() override {
        WebViewTest::SetUp();
        // The close button's image is fetched: from a loopback port where nothing listens.
        staticHost = "http://" + AnalyticsCollector::refusedHostAndPort();
        delegate->onStart = [host = staticHost](UIWebView& v) {
            v.stringByEvaluatingJavaScriptFromString("window.vuderuStaticContentHost = '" + host + "';");
            v.stringByEvaluatingJavaScriptFromString(std::string(VuderuAdScripts::bridge()));
            v.stringByEvaluatingJavaScriptFromString(std::string(VuderuAdScripts::mraid()));
            v.stringByEvaluatingJavaScriptFromString(
                "var calls = [], heard = [];"
                "var recorder = { executeCall: function () { calls.push(Array.prototype.slice.call(arguments).join(' ')); } };"
                "function hear(name) { return function () { heard.push([name].concat(Array.prototype.slice.call(arguments)).join(':')); }; }");
        };
    }
    // A fresh page with an adapter `m` of the placement type over the recording bridge.
    void loadAdapter(const std::string& placement) {
        delegate->events.clear();
        loadPage("<body><p>ad</p></body>");
        eval("var m = mraidCtor(recorder, {placementType: '" + placement + "', width: 320, height: 50, isModal: false});");
    }
    // The console lines of the page since its load.
    std::vector<std::string> console() const { return view->consoleLines(); }

    std::string staticHost;
};

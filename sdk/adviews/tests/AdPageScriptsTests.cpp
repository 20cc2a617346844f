#include "sdk/adviews/tests/AdPageScriptsFixture.h"

#include <fstream>
#include <sstream>

namespace {
std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}
} // namespace

// The template engine is embedded byte for byte as npm installed it, and runs in the page.
TEST_F(AdPageScriptsTest, HoganIsEmbeddedUnchangedAndRenders) {
    EXPECT_EQ(VuderuAdScripts::hogan().size(), 5729u);
    EXPECT_EQ(VuderuAdScripts::hogan(), fileText(TANDREL_HOGAN_FILE));
    EXPECT_EQ(VuderuAdScripts::bridge(), fileText(TANDREL_ADVIEWS_SCRIPTS "/vuderu_bridge.js"));
    loadPage("<body></body>");
    eval(std::string(VuderuAdScripts::hogan()));
    EXPECT_EQ(eval("Hogan.compile('{{a}} {{{a}}}{{#list}}[{{.}}]{{/list}}').render({a: '<b>&', list: [1, 2]})"),
              "&lt;b&gt;&amp; <b>&[1][2]");
}

// Calls go out as IFRAME navigations, in order, with their values escaped as escape() does.
TEST_F(AdPageScriptsTest, BridgeSendsCallsAsNavigations) {
    delegate->onStart = [](UIWebView& v) {
        v.stringByEvaluatingJavaScriptFromString(std::string(VuderuAdScripts::bridge()));
        v.stringByEvaluatingJavaScriptFromString("window.vuderuadapter = vuderuBridgeCtor(window);");
    };
    loadPage("<body><p>ad</p></body>");
    delegate->allow = false;
    delegate->events.clear();
    eval("vuderuadapter.executeCall('open', 'url', 'http://x.example/?a=b c+d', 'skipped', null, 'gone', undefined, 'n', 5, 'odd');"
         "vuderuadapter.executeCall('note', 'text', 'caf\\u00e9 \\u20ac');");
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"policy vuderu://vuderucall?event=open&url=http%3A//x.example/%3Fa%3Db%20c+d&n=5 5",
                                        "policy vuderu://vuderucall?event=note&text=caf%E9%20%u20AC 5"}));
    EXPECT_EQ(eval("document.getElementsByTagName('iframe').length"), "0");

    // Nothing waits: callComplete sends nothing and answers nothing.
    delegate->events.clear();
    EXPECT_EQ(eval("vuderuadapter.callComplete()"), "");
    EXPECT_EQ(eval("typeof vuderuadapter.callComplete()"), "undefined");
    EXPECT_TRUE(delegate->events.empty());
    // Calls made while others wait join the queue; each callComplete sends the first.
    eval("vuderuadapter.vuderuCallQueue.push('vuderu://vuderucall?event=a'); vuderuadapter.executeCall('b');");
    EXPECT_TRUE(delegate->events.empty());
    EXPECT_EQ(eval("vuderuadapter.callComplete()"), "OK");
    EXPECT_EQ(eval("vuderuadapter.callComplete()"), "OK");
    EXPECT_EQ(eval("vuderuadapter.callComplete()"), "");
    eval("vuderuadapter.executeNativeCall('')");
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"policy vuderu://vuderucall?event=a 5", "policy vuderu://vuderucall?event=b 5"}));
}

struct AdapterCase {
    const char* name;
    const char* placement;
    const char* script;
    const char* calls;  // the recording bridge's calls, joined by "|"
    const char* heard;  // what the listeners heard, joined by "|"
    const char* console;  // a console line the case must leave, or ""
};

class MraidAdapterTest : public AdPageScriptsTest, public ::testing::WithParamInterface<AdapterCase> {};

void PrintTo(const AdapterCase& c, std::ostream* out) { *out << c.name; }

TEST_P(MraidAdapterTest, Behaves) {
    const AdapterCase& c = GetParam();
    loadAdapter(c.placement);
    eval(c.script);
    EXPECT_EQ(eval("calls.join('|')"), c.calls);
    EXPECT_EQ(eval("heard.join('|')"), c.heard);
    if (*c.console) {
        EXPECT_TRUE(contains(console(), c.console)) << c.console;
    }
}

const AdapterCase kAdapterCases[] = {
    {"ExpandInline", "inline", "m.stateChange('default'); m.expand('http://e.example/big');",
     "expand width 320 height 50 url http://e.example/big", "", ""},
    {"ExpandWithoutUrl", "inline", "m.stateChange('default'); m.setExpandProperties({width: 300, height: 250}); m.expand();",
     "expand width 300 height 250", "", ""},
    {"ExpandInterstitialSendsNothing", "interstitial", "m.stateChange('default'); m.expand('x');", "", "",
     "expand() called for placement type interstitial"},
    {"ExpandOutsideDefaultSendsNothing", "inline", "m.expand('x');", "", "", "expand() called in state loading"},
    {"UnknownEventIsAnErrorAndStillSent", "inline", "m.addEventListener('error', hear('error')); m.addEventListener('bogus', hear('b'));",
     "eventListenerAdded|eventListenerAdded", "error:Unknown event: bogus:addEventListener", ""},
    {"MissingListenerIsAnError", "inline", "m.addEventListener('error', hear('error')); m.addEventListener('ready');",
     "eventListenerAdded|eventListenerAdded", "error:Both event and listener are required.:addEventListener", ""},
    {"RemovingNeedsAnEvent", "inline",
     "m.addEventListener('error', hear('error')); var s = hear('s'); m.addEventListener('stateChange', s);"
     "m.addEventListener('stateChange', hear('t')); m.removeEventListener('stateChange', s); m.removeEventListener();"
     "m.stateChange('default'); m.removeEventListener('stateChange'); m.stateChange('hidden');",
     "eventListenerAdded|eventListenerAdded|eventListenerAdded", "error:Must specify an event.:removeEventListener|t:default", ""},
    {"Lifecycle", "inline",
     "['info', 'ready', 'stateChange', 'viewableChange'].forEach(function (e) { m.addEventListener(e, hear(e)); }); calls = [];"
     "m.stateChange('default'); m.stateChange('default'); m.close(); m.close();",
     "adWillClose",
     "info:setting state to default|ready|stateChange:default|info:setting state to hidden|viewableChange|stateChange:hidden", "close() called in state hidden"},
    {"ExpandedClosesToDefault", "inline", "m.stateChange('default'); m.expand(); calls = []; m.close(); heard.push(m.getState());",
     "collapse", "default", ""},
    {"DisabledDoesNothing", "inline",
     "m.stateChange('default'); m.disable(); m.open('x'); m.expand(); m.close(); m.addEventListener('ready', hear('r'));"
     "m.useCustomClose(true); m.stateChange('expanded');"
     "heard.push(JSON.stringify([m.getVersion(), m.getState(), m.isViewable(), m.getPlacementType(), typeof m.getExpandProperties()]));",
     "", "[\"\",\"\",false,\"inline\",\"undefined\"]", ""},
    {"AnswersBeforeDisable", "interstitial",
     "heard.push(JSON.stringify([m.getVersion(), m.getState(), m.isViewable(), m.getPlacementType(), m.getExpandProperties()]));",
     "", "[\"1.0\",\"loading\",true,\"interstitial\",{\"width\":320,\"height\":50,\"isModal\":false,\"useCustomClose\":false}]", ""},
    {"ExpandPropertiesTakeOnlyValidValues", "inline",
     "m.setExpandProperties({width: '400', height: NaN, useCustomClose: 'yes'}); heard.push(JSON.stringify(m.getExpandProperties()));"
     "m.setExpandProperties({width: 400, height: 300, useCustomClose: true, isModal: true}); heard.push(JSON.stringify(m.getExpandProperties()));"
     "m.useCustomClose('no'); heard.push(m.getExpandProperties().useCustomClose);",
     "",
     "{\"width\":320,\"height\":50,\"isModal\":false,\"useCustomClose\":false}|"
     "{\"width\":400,\"height\":300,\"isModal\":false,\"useCustomClose\":true}|true", ""},
    {"SameStateBroadcastsNothing", "inline", "m.addEventListener('info', hear('info')); m.stateChange('loading');", "eventListenerAdded", "", ""},
    {"ListenersNamedAsGlobals", "inline",
     "window.onReady = hear('global'); m.addEventListener('ready', 'onReady'); m.addEventListener('ready', 'noSuchFunction');"
     "m.addEventListener('ready', hear('after')); m.stateChange('default');",
     "eventListenerAdded|eventListenerAdded|eventListenerAdded", "global|after", ""},
    {"ThrowingListenerEndsTheBroadcast", "inline",
     "m.addEventListener('stateChange', hear('first')); m.addEventListener('stateChange', function () { throw new Error('bad'); });"
     "m.addEventListener('stateChange', hear('never')); m.stateChange('default'); m.stateChange('hidden');",
     "eventListenerAdded|eventListenerAdded|eventListenerAdded", "first:default|first:hidden",
     "mraid listener for stateChange failed: Error: bad"},
    {"OpenSendsAndLogsFailures", "inline",
     "m.open('http://o.example/'); recorder.executeCall = function () { throw new Error('gone'); }; m.open('x');",
     "open url http://o.example/", "", "Error: gone"},
};

INSTANTIATE_TEST_SUITE_P(Cases, MraidAdapterTest, ::testing::ValuesIn(kAdapterCases),
                         [](const ::testing::TestParamInfo<AdapterCase>& info) { return std::string(info.param.name); });

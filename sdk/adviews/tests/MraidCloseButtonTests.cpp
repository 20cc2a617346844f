#include "sdk/adviews/tests/AdPageScriptsFixture.h"

namespace {
constexpr const char* kButton = "document.getElementById('vuderu-mraid-default-close')";
// Where a finger on the button lands: 10 points from the view's top and right edges, 50 square.
const CGPoint kOnTheButton = CGPointMake(320 - 10 - 25, 10 + 25);
} // namespace

TEST_F(AdPageScriptsTest, CloseButtonIsPlacedAndShownWhenItShould) {
    loadAdapter("inline");
    eval("m.stateChange('default')");
    EXPECT_EQ(eval(std::string(kButton) + " === null"), "true") << "an inline ad in its default state has none";
    eval("m.expand()");
    EXPECT_EQ(eval(std::string(kButton) + ".getAttribute('style')"),
              "position: absolute; top: 10px; right: 10px; width: 50px; height: 50px; z-index: 10000");
    EXPECT_EQ(eval(std::string(kButton) + ".src"), staticHost + "/adSpaceStyles/images/bttn-close-bw.png");
    EXPECT_EQ(eval(std::string(kButton) + ".parentNode === document.body"), "true");
    eval("m.useCustomClose(true)");
    EXPECT_EQ(eval(std::string(kButton) + " === null"), "true");
    eval("m.useCustomClose(false); m.useCustomClose(false)");
    EXPECT_EQ(eval("document.getElementsByTagName('img').length"), "1") << "added to the body once";
    eval("m.close()");
    EXPECT_EQ(eval(std::string(kButton) + " === null"), "true") << "back to default: hidden again";

    loadAdapter("interstitial");
    EXPECT_EQ(eval(std::string(kButton) + " === null"), "true") << "not before the ad leaves loading";
    eval("m.stateChange('default')");
    EXPECT_EQ(eval(std::string(kButton) + " !== null"), "true");
    eval("m.disable()");
    EXPECT_EQ(eval(std::string(kButton) + " === null"), "true");
}

// A tap on the button reaches the body's listener, which closes through window.mraid when there
// is one, else through the bridge; the listener outlives creatives that rebuild the body.
TEST_F(AdPageScriptsTest, TappingTheCloseButtonCloses) {
    struct Case {
        const char* name;
        const char* setUp;
        const char* calls;
        const char* console;
    } cases[] = {
        {"through mraid", "window.mraid = m;", "adWillClose", ""},
        {"through the bridge", "window.vuderuadapter = recorder;", "adWillClose", ""},
        {"neither", "", "", "unable to close"},
        {"a failing close", "window.mraid = { close: function () { throw new Error('stuck'); } };", "", "unable to close: Error: stuck"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        loadAdapter("interstitial");
        eval(c.setUp);
        eval("m.stateChange('default'); document.body.innerHTML = '<p>rebuilt</p>'; m.useCustomClose(false); calls = [];");
        view->clickAt(CGPointMake(100, 300));
        EXPECT_EQ(eval("calls.join('|')"), "") << "a tap elsewhere closes nothing";
        view->clickAt(kOnTheButton);
        EXPECT_EQ(eval("calls.join('|')"), c.calls);
        if (*c.console) {
            const auto& lines = view->consoleLines();
            EXPECT_NE(std::find(lines.begin(), lines.end(), c.console), lines.end());
        }
    }
}

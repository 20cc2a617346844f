#include "platform/foundation/NSTimer.h"
#include "sdk/adviews/tests/WebViewLoaderFixture.h"

#include <algorithm>
#include <functional>

// Pages an ad or its landing page may be, loaded through the loader on the manual clock, where a
// script's time is the work it did: whatever the page does, the main thread keeps answering, the
// page's heap keeps to what it holds, the ad hears its full load once or its failure, and a window
// the page opens without a touch goes nowhere.
namespace {

struct HostileAdPage {
    const char* name;
    std::string html;
    // The page's console lines it must have written (each once), and log lines said.
    std::vector<std::string> console;
    std::vector<std::string> logged;
    // Full-load events the ad hears (0 for a page refused), and errors it gets.
    int fullLoads = 1;
    std::size_t errors = 0;
    // What is checked once the page has run a while, and how long it runs (clock seconds).
    std::function<void(UIWebView&)> check;
    double runs = 0;
};

void PrintTo(const HostileAdPage& c, std::ostream* out) { *out << c.name; }

// A ticker every 100 ms, which asks each time for 10,000 more of what the call makes; the page
// starts with its timers at the bound unless `filled` is false.
std::string tickerAskingFor(const std::string& call, bool filled = true) {
    return "<script>var ticks = 0, refused = -1; setInterval(function () { ticks++;"
           "for (var i = 0; i < 10000; i++) refused = " + call + "; }, 100);" +
           (filled ? "for (var i = 0; i < 1000; i++) setTimeout(function () {}, 1e9);" : "") + "</script>";
}

double number(UIWebView& view, const std::string& script) { return std::stod(view.stringByEvaluatingJavaScriptFromString(script)); }

// After the page has flooded a while, its script heap grows no further for `seconds` more (the most
// it held, which a page that kept what was refused would take to its cap), its ticker counts on,
// and what it asked for past the bound was refused with 0.
std::function<void(UIWebView&)> heapStaysFlat(double seconds, double moreTicks) {
    return [=](UIWebView& view) {
        const double ticksBefore = number(view, "ticks");
        const std::size_t heapBefore = view.peakHeapBytes();
        SteppedClock::advance(seconds);
        EXPECT_GE(number(view, "ticks"), ticksBefore + moreTicks);
        EXPECT_LE(view.peakHeapBytes(), heapBefore + (1u << 20));
        EXPECT_EQ(view.stringByEvaluatingJavaScriptFromString("refused"), "0");
    };
}

std::string attributes(std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += " a" + std::to_string(i);
    return out;
}

constexpr double kProbeInterval = 0.001;
const char* const kFullLoad = "event didCompleteFullLoad event=didCompleteFullLoad";

std::vector<HostileAdPage> hostileAdPages() {
    return {
        {"long timers past the bound", tickerAskingFor("setTimeout(function () {}, 1e9)", false), {}, {"further ones are refused"}, 1, 0,
         heapStaysFlat(3, 20), 3},
        {"animation frames past the bound", tickerAskingFor("requestAnimationFrame(function () {})"), {}, {"further ones are refused"}, 1, 0,
         heapStaysFlat(3, 20), 3},
        {"a doubling zero-delay storm at the bound",
         "<script>var ticks = 0, runs = 0, refused = -1; setInterval(function () { ticks++; }, 100);"
         "for (var i = 0; i < 990; i++) setTimeout(function () {}, 1e9);"
         "function storm() { runs++; var one = setTimeout(storm, 0), two = setTimeout(storm, 0); if (!one || !two) refused = 0; }"
         "storm();</script>",
         {}, {"further ones are refused"}, 1, 0,
         [](UIWebView& view) {
             const double runs = number(view, "runs");
             heapStaysFlat(3, 1)(view);
             EXPECT_GT(number(view, "runs"), runs);
         },
         3},
        {"an element of 1 MB with 100,000 attributes", "<div" + attributes(100000) + ">ad</div>", {},
         {"more attributes than one element may hold (256 attributes); it is refused"}, 0, 1, nullptr},
        {"window.onload assigned", "<script>window.onload = function () { console.log('page onload'); };</script>", {"page onload"}, {}, 1, 0,
         nullptr},
        {"onload assigned twice",
         "<script>window.onload = function () { console.log('first'); }; window.onload = function () { console.log('second'); };</script>",
         {"second"}, {}, 1, 0, nullptr},
        {"onload assigned and cleared", "<script>window.onload = function () {}; window.onload = null;</script>", {}, {}, 1, 0, nullptr},
        {"a load listener", "<script>window.addEventListener('load', function () { console.log('listener'); });</script>", {"listener"}, {},
         1, 0, nullptr},
        {"body onload", "<body onload=\"console.log('body onload')\"><p>ad</p></body>", {"body onload"}, {}, 1, 0, nullptr},
        {"no handler", "<p>ad</p>", {}, {}, 1, 0, nullptr},
        {"a page that dispatches load again", "<script>var again = true; window.onload = function () { if (again) { again = false; window.dispatchEvent(new Event('load')); } };</script>", {},
         {}, 1, 0, nullptr},
        {"window.open while the page loads", "<script>console.log('opened ' + window.open('http://landing.example/'));</script>",
         {"opened null", "window blocked (no touch): http://landing.example/"}, {"opened a window without the user's touch"}, 1, 0, nullptr},
    };
}

} // namespace

class HostileAdPageTest : public WebViewLoaderTest, public ::testing::WithParamInterface<HostileAdPage> {
protected:
    void SetUp() override {
        WebViewLoaderTest::SetUp();
        WebScriptBudget::allViews().refillCompletely();
    }
    ManualClock clock;
};

TEST_P(HostileAdPageTest, TheMainThreadAnswersAndTheAdHearsItsLoad) {
    const HostileAdPage& c = GetParam();
    ad->addUnit("");
    makeLoader();
    loader->loadHTMLDisablePreRendering(c.html, false);
    ASSERT_TRUE(stepMainUntil([&] { return completed > 0 || !errors.empty(); }));
    // A probe of the main thread from then on: how long, in clock time, it went unanswered at most.
    double lastAnswer = PlatformClock::monotonic(), longestWait = 0;
    auto probe = NSTimer::scheduledTimerWithTimeInterval(kProbeInterval, true, [&](const std::shared_ptr<NSTimer>&) {
        longestWait = std::max(longestWait, PlatformClock::monotonic() - lastAnswer);
        lastAnswer = PlatformClock::monotonic();
    });
    SteppedClock::advance(std::max(c.runs, 2.5));
    if (c.check) c.check(*loader->webView());
    probe->invalidate();
    // The work of one pass: its slice, and the evaluation that went past it.
    EXPECT_LE(longestWait, kProbeInterval + WebScriptBudget::kPassSlice + 2 * WebScriptEngine::kCheckSeconds);

    EXPECT_EQ(std::count(ad->calls.begin(), ad->calls.end(), kFullLoad), c.fullLoads);
    EXPECT_EQ(errors.size(), c.errors);
    EXPECT_TRUE(external.empty());
    const auto& lines = loader->webView()->consoleLines();
    for (const auto& line : c.console) EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("Uncaught", 0) == 0; }), 0);
    for (const auto& line : c.logged) EXPECT_EQ(log_->count(line), 1u) << line;
}

INSTANTIATE_TEST_SUITE_P(Pages, HostileAdPageTest, ::testing::ValuesIn(hostileAdPages()), CaseName());

// A window the page opens on the user's touch goes through the ad's way out, as a link does.
TEST_F(WebViewLoaderTest, AWindowOpenedOnATouchGoesOutThroughTheAd) {
    ad->addUnit("");
    makeLoader();
    loadHTML("<p>ad</p><script>document.body.addEventListener('click', function () { window.open('http://landing.example/'); });</script>");
    ASSERT_TRUE(runMainUntil([&] { return std::count(ad->calls.begin(), ad->calls.end(), kFullLoad) == 1; }));
    ad->rendered = true;
    loader->webView()->clickAt(CGPointMake(5, 5));
    drainMain();
    EXPECT_EQ(external, (std::vector<std::string>{"http://landing.example/"}));
    EXPECT_TRUE(errors.empty());
}

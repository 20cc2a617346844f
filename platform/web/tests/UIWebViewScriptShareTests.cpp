#include "platform/web/tests/WebViewTestSupport.h"

#include "platform/dispatch/dispatch.h"

#include <algorithm>

namespace {

// What one evaluation of the hostile banner's timer cost: 100,000 string concatenations.
constexpr double kCallCost = 0.35;
constexpr double kStep = 0.01;

// A stopwatch under which every evaluation takes kCallCost of script time (each evaluation reads
// it twice, at its start and its end).
WebScriptBudget::Stopwatch costlyEvaluations() {
    auto watch = std::make_shared<double>(0);
    return [watch] { return *watch += kCallCost; };
}

std::size_t count(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

bool heldBack(const std::vector<std::string>& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.find("timers are held back") != std::string::npos; });
}

} // namespace

// A banner whose interval takes 0.35 s a call every 50 ms: its scripts keep to a quarter of the
// main thread, so in every second the main thread is the page's for less than the second, and
// the interval goes on at its share instead of stopping.
TEST_F(WebViewTest, ABusyIntervalKeepsToItsShareOfTheMainThread) {
    ManualClock clock;
    loadPage("<script>setInterval(function () { console.log('run'); }, 50);</script>");
    view->scriptBudget().setStopwatch(costlyEvaluations());

    const int steps = static_cast<int>(10 / kStep);
    const int stepsPerSecond = static_cast<int>(1 / kStep);
    std::vector<std::size_t> runsAfter{0};
    for (int step = 0; step < steps; ++step) {
        clock.advance(kStep);
        runsAfter.push_back(count(view->consoleLines(), "run"));
    }
    // Script time in any second: the full window, that second's share, and the one call that
    // overdrew it.
    const double mostInASecond = WebScriptBudget::kShare * WebScriptBudget::kWindow + WebScriptBudget::kShare + kCallCost;
    ASSERT_LT(mostInASecond, 1.0);
    for (int from = 0; from + stepsPerSecond <= steps; ++from) {
        double scriptTime = static_cast<double>(runsAfter[static_cast<std::size_t>(from + stepsPerSecond)] - runsAfter[static_cast<std::size_t>(from)]) * kCallCost;
        ASSERT_LE(scriptTime, mostInASecond + 1e-9) << "in the second from " << from * kStep << " s";
    }
    const double spent = static_cast<double>(runsAfter.back()) * kCallCost;
    EXPECT_GE(spent, WebScriptBudget::kShare * 10 - kCallCost);
    EXPECT_TRUE(heldBack(view->consoleLines()));

    // What the app and the user do is not held back.
    EXPECT_EQ(eval("6 * 7"), "42");
    eval("document.body.addEventListener('click', function () { console.log('clicked'); });");
    view->clickAt(CGPointMake(5, 5));
    EXPECT_EQ(view->consoleLines().back(), "clicked");
}

// One-shot timers due while the page is past its share run once the share is back, in order; a
// page's load waits the same way between its scripts and ends.
TEST_F(WebViewTest, WorkHeldBackRunsLaterInOrder) {
    ManualClock clock;
    view->scriptBudget().setStopwatch(costlyEvaluations());
    view->loadHTMLStringBaseURL("<script>console.log('one')</script><script>console.log('two')</script>"
                                "<script>setTimeout(function () { console.log('a'); }, 0);"
                                "setTimeout(function () { console.log('b'); }, 0);</script>",
                                nullptr);
    drainMain();
    EXPECT_EQ(count(view->consoleLines(), "two"), 0u);
    EXPECT_TRUE(heldBack(view->consoleLines()));
    for (int step = 0; step < 2000 && !delegate->ended(); ++step) clock.advance(kStep);
    ASSERT_TRUE(delegate->ended());
    for (int step = 0; step < 2000 && count(view->consoleLines(), "b") == 0; ++step) clock.advance(kStep);
    std::vector<std::string> page;
    for (const auto& line : view->consoleLines())
        if (!heldBack({line})) page.push_back(line);
    EXPECT_EQ(page, (std::vector<std::string>{"one", "two", "a", "b"}));
    EXPECT_EQ(delegate->events.back(), "finish");
}

// Many views on one screen, each with a busy banner: each keeps to its own share, and together
// they keep to the share of all views, taking turns, so the main thread stays the app's for half
// of the time however many views there are.
TEST_F(WebViewTest, ManyBusyViewsTogetherKeepToTheShareOfAllViews) {
    ManualClock clock;
    constexpr int kViews = 6;
    std::vector<std::shared_ptr<UIWebView>> views{view};
    for (int i = 1; i < kViews; ++i) views.push_back(std::make_shared<UIWebView>(CGRectMake(0, 0, 320, 50)));
    for (auto& v : views) {
        v->loadHTMLStringBaseURL("<script>setInterval(function () { console.log('run'); }, 50);</script>", nullptr);
        drainMain();
        v->scriptBudget().setStopwatch(costlyEvaluations());
    }
    std::vector<std::size_t> runsAfter{0};
    const int seconds = 10;
    for (int step = 0; step < static_cast<int>(seconds / kStep); ++step) {
        clock.advance(kStep);
        std::size_t runs = 0;
        for (auto& v : views) runs += count(v->consoleLines(), "run");
        runsAfter.push_back(runs);
    }
    const double spent = static_cast<double>(runsAfter.back()) * kCallCost;
    // Each view alone would spend its share: kViews quarters of each second, more than all of it.
    ASSERT_GT(kViews * WebScriptBudget::kShare, 1.0);
    EXPECT_LE(spent, WebScriptBudget::kAllViewsShare * (seconds + WebScriptBudget::kWindow) + kCallCost);
    EXPECT_GE(spent, WebScriptBudget::kAllViewsShare * seconds - kCallCost);
    // They take turns: none is kept waiting while the others run.
    for (auto& v : views) EXPECT_GE(count(v->consoleLines(), "run") + 1, runsAfter.back() / kViews);
    EXPECT_EQ(eval("6 * 7"), "42");
}

namespace {

struct StormCase {
    const char* name;
    std::string script;  // counts its runs in `runs`
};

void PrintTo(const StormCase& c, std::ostream* out) { *out << c.name; }

const StormCase kStormCases[] = {
    {"empty timers", "var runs = 0; function f() { runs++; setTimeout(f, 0); setTimeout(f, 0); } f();"},
    {"timers that work", "var runs = 0; function f() { runs++; for (var i = 0; i < 300000; i++) {} setTimeout(f, 0); setTimeout(f, 0); } f();"},
    {"animation frames", "var runs = 0; function f() { runs++; requestAnimationFrame(f); requestAnimationFrame(f); } f();"},
};

} // namespace

class TimerStormTest : public WebViewTest, public ::testing::WithParamInterface<StormCase> {};

// A page whose timers each set two more: the timers due together get a slice of each pass of the
// main loop, and the rest wait for the next, so that the main loop answers within a tenth of a
// second all along while the storm goes on at the page's share. Costs are counted on the manual
// clock, which the page's work moves as it would take a device's time.
TEST_P(TimerStormTest, LeavesTheMainThreadAnswering) {
    ManualClock clock;
    useDeviceBudgets();
    WebScriptBudget::allViews().refillCompletely();
    view->scriptBudget().refillCompletely();
    loadPage("<script>" + GetParam().script + "</script>");
    const int runsAtLoad = std::stoi(eval("String(runs)"));

    double slowest = 0;
    const double start = PlatformClock::monotonic();
    while (PlatformClock::monotonic() - start < 3) {
        bool answered = false;
        double answeredAt = 0;
        const double posted = PlatformClock::monotonic();
        dispatch_async(dispatch_get_main_queue(), [&] {
            answered = true;
            answeredAt = PlatformClock::monotonic();
        });
        ASSERT_TRUE(stepMainUntil([&] { return answered; }, 1));
        slowest = std::max(slowest, answeredAt - posted);
        SteppedClock::stepToward(PlatformClock::monotonic() + 0.05);
    }
    EXPECT_LE(slowest, 0.1);
    EXPECT_GT(std::stoi(eval("String(runs)")), runsAtLoad);
    EXPECT_EQ(eval("6 * 7"), "42");
}

INSTANTIATE_TEST_SUITE_P(Storms, TimerStormTest, ::testing::ValuesIn(kStormCases), CaseName());

// libFuzzer target of the web view: any bytes, loaded as a page on a short budget, end their load
// (finished or failed) without a crash, a leak or a hang, and the view still answers afterwards.
//
// The harness measures the code, not the budget: the platform clock is manual, so a page's scripts
// cost the clock what their work would take on a device (WebScriptEngine), each input starts with
// the whole share of the main thread, and a load held back for its share goes on as soon as the
// harness steps the clock to its next due timer, without waiting in real time.
#include "platform/dispatch/SteppedClock.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/web/UIWebView.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
class EndDelegate : public UIWebViewDelegate {
public:
    // Frames the page names load, except from the network: a fuzzer stays on this machine (its
    // images and scripts as well, which the web view is told not to fetch).
    bool webViewShouldStartLoadWithRequestNavigationType(UIWebView&, const NSURLRequestPtr& request, UIWebViewNavigationType) override {
        auto url = request->URL();
        return !url || (url->scheme() != "http" && url->scheme() != "https");
    }
    void webViewDidFinishLoad(UIWebView&) override { ended = true; }
    void webViewDidFailLoadWithError(UIWebView&, const NSErrorPtr&) override { ended = true; }
    bool ended = false;
};

// A page's evaluations stop within two of the engine's checks (half a million instructions).
constexpr double kFuzzEvaluationBudget = WebScriptEngine::kCheckSeconds * 1.5;
// Every load of a bounded page ends within this much clock time: its scripts are bounded in count
// and each in time, and its share brings the main thread back at a known rate. Past it the load is
// hung (it waits for something that never comes).
constexpr double kFuzzLoadClockSeconds = 24 * 3600;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!PlatformClock::isManual()) PlatformClock::setManual();
    UIWebView::setFetchesFromNetwork(false);
    WebScriptBudget::allViews().refillCompletely();
    auto view = std::make_shared<UIWebView>(CGRectMake(0, 0, 320, 480));
    auto delegate = std::make_shared<EndDelegate>();
    view->setDelegate(delegate);
    view->setEvaluationBudget(kFuzzEvaluationBudget);
    view->setHeapCap(8u << 20);
    view->loadHTMLStringBaseURL(std::string(reinterpret_cast<const char*>(data), size), nullptr);
    // The load goes on by main-loop passes and, where it waits for its share, by steps of the clock
    // to its next due timer; a load that waits for nothing due, or for longer than any bounded page
    // can, is hung.
    const double started = PlatformClock::monotonic();
    for (;;) {
        SteppedClock::settle();
        if (delegate->ended) break;
        const double now = PlatformClock::monotonic();
        const double next = PlatformClock::nextDueAfter(now);
        if (!std::isfinite(next) || next - started > kFuzzLoadClockSeconds) {
            std::fprintf(stderr, "web page fuzzer: the load never ended\n");
            std::abort();
        }
        SteppedClock::stepToward(next);
    }
    view->clickAt(CGPointMake(10, 10));
    (void)view->visibleText();
    // The answer does not depend on what the page spent: the budget is whole again.
    view->scriptBudget().refillCompletely();
    view->setEvaluationBudget(1);
    if (view->stringByEvaluatingJavaScriptFromString("1 + 1") != "2") std::abort();
    return 0;
}

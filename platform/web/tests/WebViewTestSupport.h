#pragma once
// A recording delegate and a fixture that loads pages and waits for their end on the main loop.

#include "platform/dispatch/SteppedClock.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/web/UIWebView.h"

#include <cctype>
#include <memory>
#include <string>
#include <vector>

// Writes every callback, with the console lines the page wrote since the last one in between:
// "policy URL TYPE", "start", "finish", "fail CODE", "console TEXT".
class RecordingWebDelegate : public UIWebViewDelegate {
public:
    std::vector<std::string> events;
    bool allow = true;
    // Runs at the start of each page load (the loader's injection point).
    std::function<void(UIWebView&)> onStart;
    std::function<bool(UIWebView&, const NSURLRequestPtr&, UIWebViewNavigationType)> onPolicy;

    bool webViewShouldStartLoadWithRequestNavigationType(UIWebView& view, const NSURLRequestPtr& request,
                                                         UIWebViewNavigationType type) override {
        flush(view);
        events.push_back("policy " + request->URL()->absoluteString() + " " + std::to_string(type));
        return onPolicy ? onPolicy(view, request, type) : allow;
    }
    void webViewDidStartLoad(UIWebView& view) override {
        flush(view);
        events.push_back("start");
        if (onStart) onStart(view);
    }
    void webViewDidFinishLoad(UIWebView& view) override {
        flush(view);
        events.push_back("finish");
    }
    void webViewDidFailLoadWithError(UIWebView& view, const NSErrorPtr& error) override {
        flush(view);
        events.push_back("fail " + std::to_string(error->code()));
    }
    void flush(UIWebView& view) {
        const auto& lines = view.consoleLines();
        for (; seen_ < lines.size(); ++seen_) events.push_back("console " + lines[seen_]);
    }
    // True once the main frame's load ended (finish or fail).
    bool ended() const {
        for (const auto& e : events)
            if (e == "finish" || e.rfind("fail", 0) == 0) return true;
        return false;
    }

private:
    std::size_t seen_ = 0;
};

// Runs the main loop until the condition holds; on a manual clock, once nothing is left to do now,
// also steps the clock to the next due timer (for at most `clockSeconds` of it), so that work held
// back for a page's share goes on.
inline bool stepMainUntil(const std::function<bool()>& condition, double clockSeconds = 60) {
    if (!PlatformClock::isManual()) return runMainUntil(condition);
    const double limit = PlatformClock::monotonic() + clockSeconds;
    return runMainUntil([&] {
        if (condition() || !SteppedClock::settle() || condition()) return condition();
        const double next = PlatformClock::nextDueAfter(PlatformClock::monotonic());
        if (next <= limit) SteppedClock::stepToward(next);
        return condition();
    });
}

class WebViewTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        // What an earlier test's pages spent on a clock of its own is not this test's.
        WebScriptBudget::allViews().refillCompletely();
        view = std::make_shared<UIWebView>(CGRectMake(0, 0, 320, 480));
        // Tests of the budgets set their own (on a clock they move); the others do not depend on the
        // machine's speed: their scripts cost nothing of the share, and each evaluation may take as
        // long as a busy machine needs.
        view->scriptBudget().setStopwatch([] { return 0.0; });
        view->setEvaluationBudget(kPatientEvaluationBudget);
        delegate = std::make_shared<RecordingWebDelegate>();
        view->setDelegate(delegate);
    }
    // Loads the page as a string and waits until it finished or failed.
    void loadPage(const std::string& html) {
        view->loadHTMLStringBaseURL(html, NSURL::URLWithString("http://ads.example/page.html"));
        waitForEnd();
    }
    void waitForEnd() {
        ASSERT_TRUE(stepMainUntil([&] { return delegate->ended(); }));
        drainMain();
        delegate->flush(*view);
    }
    std::string eval(const std::string& script) { return view->stringByEvaluatingJavaScriptFromString(script); }

    // Real time a test's evaluation may take on the busiest machine.
    static constexpr double kPatientEvaluationBudget = 60;
    // The view's budgets as a device has them, measured on the platform clock.
    void useDeviceBudgets() {
        view->scriptBudget().setStopwatch(nullptr);
        view->setEvaluationBudget(UIWebView::kEvaluationBudget);
    }

    std::shared_ptr<UIWebView> view;
    std::shared_ptr<RecordingWebDelegate> delegate;
};

// The bytes of a one-pixel GIF, as a loopback server serves an image or a tracking pixel.
inline std::string onePixelGif() {
    static const char kGif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";
    return std::string(kGif, sizeof kGif - 1);
}

// A table case's name (its `name` field) as a test's name: its letters and digits.
struct CaseName {
    template <class Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        std::string name;
        for (const char* p = info.param.name; *p; ++p)
            if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
        return name;
    }
};

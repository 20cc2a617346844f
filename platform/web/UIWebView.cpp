#include "platform/web/UIWebView.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScreenDescription.h"

#include <algorithm>

UIWebView::UIWebView(const CGRect& frame) : UIView(frame) {}

UIWebView::~UIWebView() {
    stopTimers();
    cancelImageLoads();
}

std::string UIWebView::userAgent() {
    DeviceProfile profile = DeviceProfile::current();
    std::string version = profile.systemVersion;
    std::replace(version.begin(), version.end(), '.', '_');
    std::string system = profile.model == "iPad" ? "CPU OS " : "CPU iPhone OS ";
    return NSString::stringWithFormat("Mozilla/5.0 (%@; %@%@ like Mac OS X) AppleWebKit/600.1.4 (KHTML, like Gecko) Mobile/12A365",
                                      profile.model, system, version);
}

CGSize UIWebView::sizeThatFits(CGSize) const { return bounds().size; }

std::string UIWebView::parseRefusalLine(WebDocument::Refusal refusal) {
    switch (refusal) {
    case WebDocument::Refusal::Bytes:
        return "web view: the markup is longer than one parse reads (" + std::to_string(WebDocument::kMaxParsedBytes) +
               " bytes); it is refused";
    case WebDocument::Refusal::Nodes:
        return "web view: the markup makes more nodes than one parse makes (" + std::to_string(WebDocument::kMaxParsedNodes) +
               " nodes); it is refused";
    case WebDocument::Refusal::ScriptNodes:
        return "web view: the markup makes more nodes than the page's scripts may still add (" +
               std::to_string(WebDocument::kMaxNodes) + " nodes in all); it is refused";
    case WebDocument::Refusal::HeldBytes:
        return "web view: the markup takes more memory to parse than one parse may hold (" +
               std::to_string(WebDocument::kMaxParseHeldBytes) + " bytes); it is refused";
    case WebDocument::Refusal::ElementAttributes:
        return "web view: an element of the markup has more attributes than one element may hold (" +
               std::to_string(WebDocument::kMaxElementAttributes) + " attributes); it is refused";
    case WebDocument::Refusal::Attributes:
        return "web view: the markup has more attributes than one parse makes (" +
               std::to_string(WebDocument::kMaxParsedAttributes) + " attributes); it is refused";
    case WebDocument::Refusal::FormattingAttributes:
        return "web view: the markup leaves open more formatting elements with attributes than one parse compares (" +
               std::to_string(WebDocument::kMaxFormattingAttributePairs) + " attribute pairs); it is refused";
    case WebDocument::Refusal::None:
        break;
    }
    return "web view: the markup was refused";
}

void UIWebView::makePage(const std::string& url) {
    stopTimers();
    cancelImageLoads();
    fetchedScript_.reset();
    pendingNavigations_.clear();
    addedScripts_.clear();
    addedScriptsRunning_ = false;
    holdReported_ = false;
    boundsReported_.clear();
    consoleLinesKept_ = consoleBytesKept_ = 0;
    page_.reset();
    WebPageHost& host = *this;
    page_ = std::make_unique<WebPage>(host, url, heapCap_, userAgent());
}

WebPage& UIWebView::page() const {
    if (!page_) const_cast<UIWebView*>(this)->makePage("about:blank");
    return *page_;
}

// The app's evaluations are not held back (it waits for their answer), but they count against
// the page's share like the page's own work, and while the page is past its share each is cut
// short: what a page defines can run in them (a bridge object it redefined), and the app may
// evaluate in a loop.
std::string UIWebView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
    auto outcome = page().evaluate(script, "evaluation", evaluationLimit());
    afterEvaluation();
    return outcome.threw ? std::string() : outcome.value;
}

double UIWebView::evaluationLimit() const {
    return const_cast<UIWebView*>(this)->pageHoldSeconds() > 0 ? std::min(budget_, kEvaluationBudgetPastShare) : budget_;
}

void UIWebView::afterEvaluation() {
    if (!page().engine().isEvaluating()) drainNavigations();
}

// What the page writes is kept up to its bounds, so that a page that logs in a loop costs no
// more than a page that logs a little.
void UIWebView::pageScriptDidRun() {
    const double spent = scriptBudget_.scriptDidRun();
    scriptSeconds_ += spent;
    WebScriptBudget::allViews().charge(spent);
    lastRanAt_ = PlatformClock::monotonic();
}

void UIWebView::pageConsoleLine(const std::string& line) {
    std::size_t size = std::min(line.size(), kMaxConsoleLineBytes);
    // A long line is cut between characters, not inside one.
    while (size < line.size() && size > 0 && (static_cast<unsigned char>(line[size]) & 0xC0) == 0x80) --size;
    if (consoleLinesKept_ >= kMaxConsoleLines || consoleBytesKept_ + size > kMaxConsoleBytes) {
        reportBound("web view: the page wrote more to its console than is kept; further lines are dropped");
        return;
    }
    ++consoleLinesKept_;
    consoleBytesKept_ += size;
    keepConsoleLine(line.size() > size ? line.substr(0, size) + "…" : line);
}

// The view keeps the lines of the pages it has shown, down to the last page's worth once past two.
void UIWebView::keepConsoleLine(std::string line) {
    if (console_.size() >= 2 * kMaxConsoleLines)
        console_.erase(console_.begin(), console_.end() - static_cast<std::ptrdiff_t>(kMaxConsoleLines));
    console_.push_back(std::move(line));
    if (consoleObserver_) consoleObserver_(console_.back());
}

void UIWebView::pageViewport(double& width, double& height, double& scale) {
    width = bounds().size.width;
    height = bounds().size.height;
    scale = UIScreen::mainScreen()->scale();
}

void UIWebView::reportBound(const std::string& what) {
    if (!boundsReported_.insert(what).second) return;
    logLine(what + " (" + page().url() + ")");
}

// The view's own lines about a page go to the log and the page's console; what the page chose (its
// URL, its text) is escaped by the log, so that it cannot act on the terminal that shows it.
void UIWebView::logLine(const std::string& line) {
    NSLog("%@", line);
    keepConsoleLine(line);
}

// Said once a page in the log; each window refused is a line of the page's console as well.
void UIWebView::pageWindowBlocked(const std::string& url) {
    reportBound("web view: the page opened a window without the user's touch; it is blocked, as are further ones");
    pageConsoleLine("window blocked (no touch): " + url);
}

void UIWebView::pageNavigation(const std::string& url, long type, long frame) {
    if (pendingNavigations_.size() >= kMaxPendingNavigations)
        return reportBound("web view: the page started more navigations at once than are followed; further ones are dropped");
    const std::string* source = frame >= 0 ? page().document().node(frame)->attribute("src") : nullptr;
    pendingNavigations_.push_back({url, type, frame, source ? *source : std::string()});
}

// Navigations are the page's own work, and what the delegate does with them (an answer it
// evaluates in the page, which may start the next navigation) is charged to the page's share as
// well: a few are followed per pass, then the main loop goes on, and while the page is past its
// share they wait for it.
void UIWebView::drainNavigations() {
    if (draining_ || pendingNavigations_.empty()) return;
    if (double hold = holdPageWork(); hold > 0) return scheduleDrain(hold);
    draining_ = true;
    // A delegate may let the view go while it answers.
    auto keep = self<UIWebView>();
    for (std::size_t followed = 0; !pendingNavigations_.empty() && followed < kMaxNavigationsPerPass; ++followed) {
        if (followed > 0 && pageHoldSeconds() > 0) break;
        auto [url, type, frame, source] = pendingNavigations_.front();
        pendingNavigations_.pop_front();
        auto request = NSURLRequest::requestWithURL(NSURL::URLWithNavigationText(url));
        if (!request->URL()) {
            keepConsoleLine("navigation to an invalid URL ignored: " + url);
            continue;
        }
        if (refusesLocalLoad(request->URL(), frame >= 0 ? "frame" : "navigation")) continue;
        const double startedAt = scriptBudget_.read();
        const double scriptsBefore = scriptSeconds_;
        const bool allowed = askPolicy(request, static_cast<UIWebViewNavigationType>(type));
        chargeHostWork(scriptBudget_.read() - startedAt - (scriptSeconds_ - scriptsBefore));
        if (!allowed) continue;
        if (frame >= 0) loadSubframe(request, frame, source);
        else navigate(Navigation{request, {}, false, static_cast<UIWebViewNavigationType>(type)}, false);
    }
    draining_ = false;
    if (!pendingNavigations_.empty()) scheduleDrain(pageHoldSeconds());
}

void UIWebView::scheduleDrain(double seconds) {
    if (drainScheduled_) return;
    drainScheduled_ = true;
    auto weak = weakSelf<UIWebView>();
    NSRunLoop::mainRunLoop()->performAfterDelay(seconds, [weak] {
        auto view = weak.lock();
        if (!view) return;
        view->drainScheduled_ = false;
        if (!view->page_ || !view->page_->engine().isEvaluating()) view->drainNavigations();
    });
}

void UIWebView::chargeHostWork(double seconds) {
    if (!(seconds > 0)) return;
    scriptBudget_.charge(seconds);
    WebScriptBudget::allViews().charge(seconds);
}

bool UIWebView::askPolicy(const NSURLRequestPtr& request, UIWebViewNavigationType type) {
    auto d = delegate();
    return !d || d->webViewShouldStartLoadWithRequestNavigationType(*this, request, type);
}

// A timer past the bound is refused as a browser refuses what it cannot keep: it gets no id (0),
// and neither the view nor the page keeps anything of it.
long UIWebView::pageTimerStart(double seconds, bool repeats) {
    if (timers_.size() >= kMaxTimers) {
        reportBound("web view: the page started more timers than are kept; further ones are refused");
        return 0;
    }
    const long id = nextTimer_++;
    // Browsers run a zero-delay repeating timer no faster than every few milliseconds.
    double delay = std::min(seconds, kLongestTimerDelay);
    if (repeats) delay = std::max(delay, 0.004);
    PageTimer& timer = timers_[id];
    timer.interval = delay;
    timer.repeats = repeats;
    queueTimer(id, timer, PlatformClock::monotonic() + delay);
    return id;
}

void UIWebView::queueTimer(long id, PageTimer& timer, double due) {
    timer.due = due;
    timer.order = nextTimerOrder_++;
    timersDue_.emplace(std::make_pair(due, timer.order), id);
    wakeTimersAt(due);
}

void UIWebView::wakeTimersAt(double due) {
    if (timerWake_ && timerWake_->isValid() && timerWakeAt_ <= due) return;
    if (timerWake_) timerWake_->invalidate();
    timerWakeAt_ = due;
    auto weak = weakSelf<UIWebView>();
    WebPage* owner = page_.get();
    timerWake_ = NSTimer::scheduledTimerWithTimeInterval(std::max(due - PlatformClock::monotonic(), 0.0), false,
                                                         [weak, owner](const std::shared_ptr<NSTimer>&) {
                                                             if (auto view = weak.lock()) view->runPageTimers(owner);
                                                         });
}

// Timers are the page's own work. Those due when a pass of the main loop fires the view's timer
// run in the order they came due, each one evaluation; those they set wait for a later pass, as
// the run loop's own timers do, and once all views' work has taken its slice of this pass
// (WebScriptBudget::kPassSlice) the rest waits for the next one: a page that sets zero-delay
// timers from its timers, two for each, gets a slice of every pass and the main loop goes on
// between. While the page is past its share of the main thread they wait for the share to come
// back, keeping their order.
void UIWebView::runPageTimers(WebPage* owner) {
    if (page_.get() != owner) return;
    timerWake_ = nullptr;
    auto keep = self<UIWebView>();
    const double passStart = PlatformClock::monotonic();
    const unsigned long passOrder = nextTimerOrder_;
    while (!timersDue_.empty()) {
        auto first = timersDue_.begin();
        if (first->first.first > passStart || first->first.second >= passOrder) break;
        // The page's load, waiting for the same share, goes first: a busy timer cannot keep the
        // load from ending.
        if (double hold = holdPageWork(); hold > 0) return wakeTimersAt(PlatformClock::monotonic() + hold + kTimerTurnAfterLoad);
        if (WebScriptBudget::passSliceSpent()) return wakeTimersAt(PlatformClock::monotonic());
        const long id = first->second;
        timersDue_.erase(first);
        auto found = timers_.find(id);
        if (found->second.repeats) queueTimer(id, found->second, PlatformClock::monotonic() + found->second.interval);
        else timers_.erase(found);
        page_->fireTimer(id, budget_);
        afterEvaluation();
        if (page_.get() != owner) return;
    }
    if (!timersDue_.empty()) wakeTimersAt(timersDue_.begin()->first.first);
}

double UIWebView::pageHoldSeconds() {
    // While all views together are past their share, the view whose page ran longest ago goes
    // first once it is back (the later a page last ran, the later within a short stagger), so
    // that busy pages take turns instead of the first one's keeping the others waiting.
    double shared = WebScriptBudget::allViews().holdSeconds();
    if (shared > 0) {
        const double since = PlatformClock::monotonic() - lastRanAt_;
        shared += kTurnStagger * std::clamp(1 - since / kTurnMemory, 0.0, 1.0);
    }
    return std::max(scriptBudget_.holdSeconds(), shared);
}

double UIWebView::holdPageWork() {
    const double hold = pageHoldSeconds();
    if (hold > 0 && !holdReported_) {
        holdReported_ = true;
        const bool own = scriptBudget_.holdSeconds() > 0;
        logLine(NSString::stringWithFormat("web view: %@ took more than their share of the main thread; "
                                           "its timers are held back (%@)",
                                           own ? "the page's scripts" : "the scripts of all web views", page().url()));
    }
    return hold;
}

void UIWebView::afterHold(double seconds, unsigned long generation, std::function<void(UIWebView&)> step) {
    auto weak = weakSelf<UIWebView>();
    NSRunLoop::mainRunLoop()->performAfterDelay(seconds, [weak, generation, step = std::move(step)] {
        auto view = weak.lock();
        if (view && view->generation_ == generation) step(*view);
    });
}

void UIWebView::pageTimerStop(long timer) {
    auto found = timers_.find(timer);
    if (found == timers_.end()) return;
    timersDue_.erase(std::make_pair(found->second.due, found->second.order));
    timers_.erase(found);
}

void UIWebView::stopTimers() {
    if (timerWake_) timerWake_->invalidate();
    timerWake_ = nullptr;
    timers_.clear();
    timersDue_.clear();
}

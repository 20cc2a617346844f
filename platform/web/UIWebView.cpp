#include "platform/web/UIWebView.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTimer.h"
#include "platform/system/DeviceProfile.h"

#include <algorithm>

UIWebView::UIWebView(const CGRect& frame) : UIView(frame) {}

UIWebView::~UIWebView() { stopTimers(); }

std::string UIWebView::userAgent() {
    DeviceProfile profile = DeviceProfile::current();
    std::string version = profile.systemVersion;
    std::replace(version.begin(), version.end(), '.', '_');
    std::string system = profile.model == "iPad" ? "CPU OS " : "CPU iPhone OS ";
    return NSString::stringWithFormat("Mozilla/5.0 (%@; %@%@ like Mac OS X) AppleWebKit/600.1.4 (KHTML, like Gecko) Mobile/12A365",
                                      profile.model, system, version);
}

CGSize UIWebView::sizeThatFits(CGSize) const { return bounds().size; }

void UIWebView::makePage(const std::string& url) {
    stopTimers();
    pendingNavigations_.clear();
    page_.reset();
    WebPageHost& host = *this;
    page_ = std::make_unique<WebPage>(host, url, heapCap_, userAgent());
}

WebPage& UIWebView::page() const {
    if (!page_) const_cast<UIWebView*>(this)->makePage("about:blank");
    return *page_;
}

std::string UIWebView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
    auto outcome = page().evaluate(script, "evaluation", budget_);
    afterEvaluation();
    return outcome.threw ? std::string() : outcome.value;
}

void UIWebView::afterEvaluation() {
    if (!page().engine().isEvaluating()) drainNavigations();
}

void UIWebView::pageConsoleLine(const std::string& line) { console_.push_back(line); }

void UIWebView::pageNavigation(const std::string& url, long type, bool subframe) {
    pendingNavigations_.push_back({url, type, subframe});
}

void UIWebView::drainNavigations() {
    if (draining_) return;
    draining_ = true;
    // A delegate may let the view go while it answers.
    auto keep = self<UIWebView>();
    while (!pendingNavigations_.empty()) {
        auto [url, type, subframe] = pendingNavigations_.front();
        pendingNavigations_.pop_front();
        auto request = NSURLRequest::requestWithURL(NSURL::URLWithNavigationText(url));
        if (!request->URL()) {
            console_.push_back("navigation to an invalid URL ignored: " + url);
            continue;
        }
        if (!askPolicy(request, static_cast<UIWebViewNavigationType>(type))) continue;
        if (subframe) loadSubframe(request);
        else navigate(Navigation{request, {}, false, static_cast<UIWebViewNavigationType>(type)}, false);
    }
    draining_ = false;
}

bool UIWebView::askPolicy(const NSURLRequestPtr& request, UIWebViewNavigationType type) {
    auto d = delegate();
    return !d || d->webViewShouldStartLoadWithRequestNavigationType(*this, request, type);
}

long UIWebView::pageTimerStart(double seconds, bool repeats) {
    long id = nextTimer_++;
    auto weak = weakSelf<UIWebView>();
    WebPage* owner = page_.get();
    // Browsers run a zero-delay repeating timer no faster than every few milliseconds.
    double interval = repeats ? std::max(seconds, 0.004) : seconds;
    timers_[id] = NSTimer::scheduledTimerWithTimeInterval(interval, repeats, [weak, id, owner, repeats](const std::shared_ptr<NSTimer>&) {
        auto view = weak.lock();
        if (!view || view->page_.get() != owner) return;
        if (!repeats) view->timers_.erase(id);
        view->page_->fireTimer(id, view->budget_);
        view->afterEvaluation();
    });
    return id;
}

void UIWebView::pageTimerStop(long timer) {
    auto found = timers_.find(timer);
    if (found == timers_.end()) return;
    found->second->invalidate();
    timers_.erase(found);
}

void UIWebView::stopTimers() {
    for (auto& [id, timer] : timers_) timer->invalidate();
    timers_.clear();
}

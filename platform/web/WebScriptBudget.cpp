#include "platform/web/WebScriptBudget.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PlatformClock.h"

#include <algorithm>

WebScriptBudget::WebScriptBudget(double share)
    : share_(share), stopwatch_(PlatformClock::monotonic), balance_(share * kWindow), refilledAt_(PlatformClock::monotonic()) {}

WebScriptBudget& WebScriptBudget::allViews() {
    static WebScriptBudget shared(kAllViewsShare);
    return shared;
}

void WebScriptBudget::refillCompletely() {
    balance_ = share_ * kWindow;
    refilledAt_ = PlatformClock::monotonic();
    passSpent_ = 0;
}

void WebScriptBudget::setStopwatch(Stopwatch stopwatch) {
    stopwatch_ = stopwatch ? std::move(stopwatch) : Stopwatch(PlatformClock::monotonic);
}

void WebScriptBudget::refill() {
    const double now = PlatformClock::monotonic();
    balance_ = std::min(share_ * kWindow, balance_ + share_ * std::max(now - refilledAt_, 0.0));
    refilledAt_ = now;
}

void WebScriptBudget::scriptWillRun() { startedAt_ = stopwatch_(); }

double WebScriptBudget::scriptDidRun() {
    const double spent = std::max(stopwatch_() - startedAt_, 0.0);
    charge(spent);
    return spent;
}

void WebScriptBudget::charge(double seconds) {
    refill();
    balance_ -= seconds;
    if (passOpen_) passSpent_ += seconds;
}

bool WebScriptBudget::passSliceSpent() {
    WebScriptBudget& shared = allViews();
    if (!shared.passOpen_) {
        shared.passOpen_ = true;
        shared.passSpent_ = 0;
        NSRunLoop::mainRunLoop()->performBlock([&shared] { shared.passOpen_ = false; });
    }
    return shared.passSpent_ >= kPassSlice;
}

double WebScriptBudget::holdSeconds() {
    refill();
    return balance_ > 0 ? 0 : -balance_ / share_;
}


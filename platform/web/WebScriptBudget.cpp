#include "platform/web/WebScriptBudget.h"

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
}

double WebScriptBudget::holdSeconds() {
    refill();
    return balance_ > 0 ? 0 : -balance_ / share_;
}


#include "platform/web/WebScriptBudget.h"

#include "platform/foundation/PlatformClock.h"

#include <algorithm>

WebScriptBudget::WebScriptBudget() : stopwatch_(PlatformClock::monotonic), refilledAt_(PlatformClock::monotonic()) {}

void WebScriptBudget::setStopwatch(Stopwatch stopwatch) {
    stopwatch_ = stopwatch ? std::move(stopwatch) : Stopwatch(PlatformClock::monotonic);
}

void WebScriptBudget::refill() {
    const double now = PlatformClock::monotonic();
    balance_ = std::min(kShare * kWindow, balance_ + kShare * std::max(now - refilledAt_, 0.0));
    refilledAt_ = now;
}

void WebScriptBudget::scriptWillRun() { startedAt_ = stopwatch_(); }

void WebScriptBudget::scriptDidRun() {
    refill();
    balance_ -= std::max(stopwatch_() - startedAt_, 0.0);
}

double WebScriptBudget::holdSeconds() {
    refill();
    return balance_ > 0 ? 0 : -balance_ / kShare;
}

#pragma once
// A web view's share of the main thread. Everything its pages' scripts do there (scripts, timers,
// event handlers, the app's evaluations) is charged to one budget that refills at kShare of the
// platform clock's time, up to one window's worth: a page may spend a quarter of each second,
// however it splits its work. Each evaluation has its own limit as well, so a page that spends past
// its share has overdrawn by at most one evaluation; until the share has come back, what the page
// itself starts (timers, the load's scripts) waits, and the main thread goes on with its other work.
//
// Web views are many on one screen (banners of several spaces, an expanded ad, the in-app browser),
// so all views' pages together draw on one more budget, allViews(), that refills at kAllViewsShare:
// however many views a creative or an app opens, their pages leave the main thread at least half of
// each second. A frame's page runs no script here, so frames cost their page's view nothing more.
//
// Script time is read from a stopwatch, the platform clock unless a test gives its own, and the
// refill follows the platform clock too: on the real clock a script's time is its real time, and
// on a manual clock it is the time the script engine moved the clock by for the work it did
// (WebScriptEngine), so that what waits, and for how long, is the same on any machine.

#include <functional>

class WebScriptBudget {
public:
    static constexpr double kShare = 0.25;
    static constexpr double kAllViewsShare = 0.5;
    static constexpr double kWindow = 1.0;
    using Stopwatch = std::function<double()>;

    explicit WebScriptBudget(double share = kShare);

    // The budget every web view's pages draw on as well as their own (main thread only).
    static WebScriptBudget& allViews();

    // Brackets one outermost evaluation; its time is charged when it ends, and answered.
    void scriptWillRun();
    double scriptDidRun();
    // Charges script time measured by another budget's stopwatch.
    void charge(double seconds);
    // Seconds on the platform clock until the page may start work of its own again; 0 for now.
    double holdSeconds();

    // Work a page starts by the dozen in one pass of the main loop (its timers due together, the
    // events of its images and frames) takes a slice of the pass at most, kPassSlice of script time
    // of all views together, counted by allViews(); the rest waits for a later pass, so that the
    // main loop answers between. True once this pass's slice is spent; the first ask in a pass
    // starts its account, which ends with the pass's performs.
    static constexpr double kPassSlice = 0.02;
    static bool passSliceSpent();

    // The stopwatch's reading now.
    double read() const { return stopwatch_(); }
    void setStopwatch(Stopwatch stopwatch);
    // Full again, as new (for tests and fuzz inputs, each of which starts with the whole budget).
    void refillCompletely();

private:
    void refill();

    double share_;
    Stopwatch stopwatch_;
    double balance_;
    double refilledAt_;
    double startedAt_ = 0;
    bool passOpen_ = false;
    double passSpent_ = 0;
};

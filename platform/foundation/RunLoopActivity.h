#pragma once
// Whether the run loops of service threads (the URL loader's, NSThread's) have work in hand: a
// queued perform, or a pass serving a source, a timer or a perform. The script clock waits for
// them as for the worker pool, so that a transfer's start or end handed from thread to thread is
// not mistaken for quiet.

#include <functional>

namespace RunLoopActivity {
// Service-thread run loops with work in hand now (the main loop does not count).
int busyServiceLoops();

// A thread waiting for the manual clock to move (NSThread's sleep) waits for whoever moves it, so
// letting the queues finish their work must not wait for that thread meanwhile: the wait is taken
// out of the counts for its length. beginClockWait() runs on the waiting thread and answers what
// it took out; endClockWait() gives it back from any thread, so that the advance that ends the
// wait counts the woken thread as busy again before it settles.
struct ClockWait {
    bool servicePass = false; // the thread is in a pass of a service loop
    bool poolTask = false;    // the thread runs a task of the worker pool
};
ClockWait beginClockWait();
void endClockWait(const ClockWait& wait);
// The worker pool's part of it: `begin` answers whether the calling thread's task was taken out
// of the pool's count, `end` puts one back. Filled by the dispatch layer's pool when it is made.
void setPoolClockWaitHooks(std::function<bool()> begin, std::function<void()> end);
} // namespace RunLoopActivity

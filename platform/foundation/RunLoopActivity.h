#pragma once
// Whether the run loops of service threads (the URL loader's, NSThread's) have work in hand: a
// queued perform, or a pass serving a source, a timer or a perform. The script clock waits for
// them as for the worker pool, so that a transfer's start or end handed from thread to thread is
// not mistaken for quiet.

namespace RunLoopActivity {
// Service-thread run loops with work in hand now (the main loop does not count).
int busyServiceLoops();
} // namespace RunLoopActivity

#pragma once
// Alternate signal stacks on every thread, so that a stack overflow can be handled (and reported)
// on any of them. The platform's own threads make one first thing (ScopedAlternateSignalStack);
// threads that libraries or the host start with a plain pthread_create get one as well: from the
// moment this library is loaded, every thread started through pthread_create runs with one, made
// at its start and freed at its end, and the thread that loads the library (the main thread)
// gets one at load. None of those is ever signalled or interrupted for it.
//
// Threads that ran before the library was loaded (a preloaded library's, started from its
// constructor) are given one by vdsys_alternate_signal_stacks_for_existing_threads. A stack can
// only be installed by the thread that runs on it, so each of them is sent a real-time signal,
// claimed where no handler of the host holds one (platform/foundation/PrivateSignals.h), whose
// handler installs a stack made for it. Those stacks stay until their thread has ended; the stacks
// of threads that ended are freed at the next thread start through pthread_create and at the next
// call here.

#include <cstddef>
#include <cstdint>
#include <vector>

// Turns the stacks on for threads started from now on (done when the library is loaded).
// Idempotent. Without effect in sanitizer builds, whose runtime starts the threads itself.
void vdsys_alternate_signal_stacks_for_all_threads();
// Whether threads started from now on get one.
bool vdsys_alternate_signal_stacks_for_all_threads_enabled();

struct vdsys_existing_thread_stacks {
    int given = 0;      // threads that got one
    int kept = 0;       // threads that had one, which they keep whatever its size
    int fromStart = 0;  // threads that got one when they started, left alone
    int unreached = 0;  // threads that block the signal, did not answer in time or found no room
    std::vector<int32_t> unreachedThreads;  // the ids of those
};

// Gives every thread of the process that has no alternate signal stack one, the calling thread
// included. Threads that got theirs as they started are not signalled. A thread that has one
// keeps it: whoever installed it may free the thread's current stack when the thread ends
// (AddressSanitizer's runtime does), which must not be ours. Threads that block the signal are
// left as they are; the others are waited for, one second at most in all, and one that has not
// answered by then is left without. Never call it from a signal handler.
vdsys_existing_thread_stacks vdsys_alternate_signal_stacks_for_existing_threads();
// The real-time signal whose handler installs the stack; 0 before the first call above.
int vdsys_alternate_signal_stack_signal();
// How many stacks given to running threads are still held, after freeing those of threads that
// have ended.
size_t vdsys_alternate_signal_stacks_held();

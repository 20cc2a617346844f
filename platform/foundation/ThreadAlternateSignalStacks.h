#pragma once
// Alternate signal stacks on the threads the platform does not start itself. The platform's own
// threads make one first thing (ScopedAlternateSignalStack); threads that libraries start with a
// plain pthread_create (name resolvers, font, codec and encoder pools) have none, and a stack
// overflow on them cannot be handled at all. Once turned on, every thread started through
// pthread_create from then on runs with one, made at its start and freed at its end.
//
// Threads that run already (a preloaded library's, started from its constructor) are given one
// by vdsys_alternate_signal_stacks_for_existing_threads. A stack can only be installed by the
// thread that runs on it, so each of them is sent a signal whose handler installs a stack made
// for it. Those stacks stay until their thread has ended; the stacks of threads that ended are
// freed at the next thread start through pthread_create and at the next call here.

#include <cstddef>

// Turns the stacks on for threads started from now on. Idempotent. Without effect in sanitizer builds, whose
// runtime starts the threads itself.
void vdsys_alternate_signal_stacks_for_all_threads();
// Whether threads started from now on get one.
bool vdsys_alternate_signal_stacks_for_all_threads_enabled();

struct vdsys_existing_thread_stacks {
    int given = 0;      // threads that got one
    int kept = 0;       // threads that had one, which they keep whatever its size
    int unreached = 0;  // threads that block the signal, did not answer in time or found no room
};

// Gives every thread of the process that has no alternate signal stack one, the calling thread
// included. A thread that has one keeps it: whoever installed it may free the thread's current
// stack when the thread ends (AddressSanitizer's runtime does), which must not be ours. Threads that
// block the signal are left as they are; the others are waited for, one second at most in all,
// and one that has not answered by then is left without. Never call it from a signal handler.
vdsys_existing_thread_stacks vdsys_alternate_signal_stacks_for_existing_threads();
// The real-time signal whose handler installs the stack.
int vdsys_alternate_signal_stack_signal();
// How many stacks given to running threads are still held, after freeing those of threads that
// have ended.
size_t vdsys_alternate_signal_stacks_held();

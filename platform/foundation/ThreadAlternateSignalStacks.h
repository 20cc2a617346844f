#pragma once
// Alternate signal stacks on the threads the platform does not start itself. The platform's own
// threads make one first thing (ScopedAlternateSignalStack); threads that libraries start with a
// plain pthread_create (name resolvers, font, codec and encoder pools) have none, and a stack
// overflow on them cannot be handled at all. Once turned on, every thread started through
// pthread_create from then on runs with one, made at its start and freed at its end.

// Turns the stacks on for threads started from now on. Idempotent. Without effect in sanitizer builds, whose
// runtime starts the threads itself.
void vdsys_alternate_signal_stacks_for_all_threads();
// Whether threads started from now on get one.
bool vdsys_alternate_signal_stacks_for_all_threads_enabled();

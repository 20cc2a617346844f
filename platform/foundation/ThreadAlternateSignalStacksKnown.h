#pragma once
// The threads known to have an alternate signal stack because they got it as they started (see
// ThreadAlternateSignalStacks.h): those started through pthread_create since the library was
// loaded, and the thread that loaded it. They are never signalled for one. Atomics only, so that
// a forked child may empty it and a thread's start and end never wait.

#include <cstdint>

void vdsys_known_thread_stack_remember(int32_t tid);
void vdsys_known_thread_stack_forget(int32_t tid);
bool vdsys_known_thread_stack_has(int32_t tid);
// In a forked child, whose one thread runs under a new id: forgets the parent's threads.
void vdsys_known_thread_stacks_forget_all();

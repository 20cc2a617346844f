#pragma once
// The Mach calls that list, suspend and resume the threads of the own task.
//
// Linux has no call that stops another thread of the own process and reads its registers short
// of tracing it, so suspension goes through a reserved real-time signal: thread_suspend signals
// the thread, whose handler stores its machine context in a slot of a fixed table, acknowledges
// and waits on a futex until thread_resume wakes it. The acknowledgement wait is bounded: a
// thread that does not answer in time (it blocks the signal, or is stuck in the kernel) is left
// running, thread_suspend fails for it and thread_get_state has no registers for it.
//
// Everything here is async-signal-safe: system calls, atomics and static storage only.

#include "platform/system/thread_status.h"

typedef thread_t* thread_act_array_t;

// The real-time signal reserved for suspension, claimed where no handler of the host holds one
// (platform/foundation/PrivateSignals.h); the host's own signals of that number go on to the
// host's handler. -1 when none could be installed.
int vdsys_thread_suspend_signal();
// Claims the suspension signal and installs its handler; enabling the crash reporter calls it, so
// that the crash path installs nothing. Idempotent.
void vdsys_thread_suspension_prepare();

// Every thread of the task (the kernel's thread ids, at most 1024), in an array from vm_allocate
// that the caller releases with vm_deallocate(task, list, count * sizeof(thread_t)).
kern_return_t task_threads(task_t task, thread_act_array_t* threads, mach_msg_type_number_t* count);
// Stops a thread of the own task other than the calling one. KERN_OPERATION_TIMED_OUT when it did
// not answer in time, KERN_INVALID_ARGUMENT for the calling thread or one that is gone.
kern_return_t thread_suspend(thread_t thread);
// Lets a suspended thread go on; KERN_FAILURE when it was not suspended.
kern_return_t thread_resume(thread_t thread);

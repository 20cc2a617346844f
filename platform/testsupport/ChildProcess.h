#pragma once
// Runs a piece of a test in a forked child, for what must not touch the test process itself:
// resource limits, dropped privileges, calls that may block or crash. Every child here is forked
// with the process's other threads at rest (forkWithThreadsAtRest below).

#include <cstddef>
#include <functional>
#include <sys/types.h>

// Forks, runs `body` in the child and returns its result (0-255) as the child's exit status, or
// -1 when the child did not exit normally (a signal). With `withoutFilePrivileges`, the child
// first gives up the capabilities that let root read, write and search past file permissions, so
// permission errors happen as they would for the device's user.
int runInChildProcess(const std::function<int()>& body, bool withoutFilePrivileges = false);

// For a child of runInChildProcess: lowers the process's address-space limit to what it maps now
// plus `extraBytes`, so that allocating more fails with std::bad_alloc. False when the limit
// cannot be set, and always under AddressSanitizer or ThreadSanitizer, whose shadow memory lies
// beyond any such limit (skip the test there: addressSpaceCanBeLimited()).
bool limitAddressSpace(std::size_t extraBytes);
bool addressSpaceCanBeLimited();

// For a child of runInChildProcess: from now on, the write that would take any file past `bytes`
// ends the process with SIGKILL then and there, as a kill in the middle of that write would: a
// test stops a writer half-way at a size it chooses. False when the limit cannot be set.
bool killWhenAFileGrowsPast(std::size_t bytes);

// The same without waiting, for a test that acts on the child while it runs (kills it, say):
// the child's process id, or -1 when it could not be made.
pid_t startChildProcess(const std::function<int()>& body);
// Waits for a child made by startChildProcess: its exit status (0-255), or -1 when a signal
// ended it.
int waitForChildProcess(pid_t pid);

// Forks, runs `body` in the child (which exits with its result) and returns the child's raw wait
// status, so that a test can tell which signal ended it (WIFSIGNALED, WTERMSIG); -1 when the child
// could not be started.
int runInChildProcessForWaitStatus(const std::function<int()>& body);

// fork() for a test that runs its own child: first waits (a few seconds at most) until queued work
// is done and every other thread of the process sleeps, so that the child finds no lock held by a
// thread it does not have. The child should end with _exit.
pid_t forkWithThreadsAtRest();

#pragma once
// Runs a piece of a test in a forked child, for what must not touch the test process itself:
// resource limits, dropped privileges, calls that may block or crash.

#include <functional>

// Forks, runs `body` in the child and returns its result (0-255) as the child's exit status, or
// -1 when the child did not exit normally (a signal). With `withoutFilePrivileges`, the child
// first gives up the capabilities that let root read, write and search past file permissions, so
// permission errors happen as they would for the device's user.
int runInChildProcess(const std::function<int()>& body, bool withoutFilePrivileges = false);

// Forks, runs `body` in the child (which exits with its result) and returns the child's raw wait
// status, so that a test can tell which signal ended it (WIFSIGNALED, WTERMSIG); -1 when the child
// could not be started.
int runInChildProcessForWaitStatus(const std::function<int()>& body);

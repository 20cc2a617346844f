#pragma once
// A sandbox for a test's child process: a seccomp filter that makes chosen system calls fail
// with EPERM, as a sandboxed host does. Irrevocable for the process: call it in a child only.

// Denies process_vm_readv (and its writing twin) to the calling process and every thread and
// child it starts later. NO when the filter could not be installed.
bool denyProcessVmReadv();

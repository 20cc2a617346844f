#pragma once
// Reads of this process's own memory that fail instead of faulting, for the crash reporter's
// look at stacks, images and tables that may be damaged. Async-signal-safe: no heap, no locks.
//
// process_vm_readv serves them where it is allowed; where a sandbox denies it (seccomp answers
// EPERM, an old kernel ENOSYS) the bytes are written into a pipe and read back, for the kernel
// answers EFAULT for memory that can't be read instead of delivering a fault.

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// Copies up to `size` bytes at `address` into `data`: the number of bytes copied (fewer when the
// range runs into memory that can't be read), or -1 with errno set (EFAULT when the first byte
// can't be read).
ssize_t vdsys_read_own_memory(uintptr_t address, void* data, size_t size);

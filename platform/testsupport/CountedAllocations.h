#pragma once
// Counts the heap allocations of the whole process while allocation_counting::counting is set:
// the C library's allocation entry points are stood in for, and its own allocator still does the
// work. Include this in exactly one source file of a program. Nothing is counted under
// AddressSanitizer or ThreadSanitizer, whose allocators this would displace
// (TANDREL_COUNTS_ALLOCATIONS is 0 there).

#include "platform/foundation/Sanitizers.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

#define TANDREL_COUNTS_ALLOCATIONS (!TANDREL_ADDRESS_SANITIZER && !TANDREL_THREAD_SANITIZER)

namespace allocation_counting {
inline std::atomic<bool> counting{false};
inline std::atomic<long> allocations{0};
inline void count() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace allocation_counting

#if TANDREL_COUNTS_ALLOCATIONS
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* __libc_memalign(size_t, size_t);
extern "C" void* malloc(size_t size) {
    allocation_counting::count();
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t n, size_t size) {
    allocation_counting::count();
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t size) {
    allocation_counting::count();
    return __libc_realloc(p, size);
}
extern "C" void* memalign(size_t alignment, size_t size) {
    allocation_counting::count();
    return __libc_memalign(alignment, size);
}
extern "C" void* aligned_alloc(size_t alignment, size_t size) {
    allocation_counting::count();
    return __libc_memalign(alignment, size);
}
extern "C" int posix_memalign(void** out, size_t alignment, size_t size) {
    allocation_counting::count();
    *out = __libc_memalign(alignment, size);
    return *out ? 0 : ENOMEM;
}
#endif

#include "platform/foundation/ThreadAlternateSignalStacks.h"

#include "platform/foundation/ScopedAlternateSignalStack.h"

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <new>
#include <pthread.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VDSYS_SANITIZED_THREADS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VDSYS_SANITIZED_THREADS 1
#endif

namespace {

std::atomic<bool> alternateStacksForAllThreads{false};

#ifndef VDSYS_SANITIZED_THREADS
using PthreadCreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

PthreadCreateFunction systemPthreadCreate() {
    static const PthreadCreateFunction found = reinterpret_cast<PthreadCreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
    return found;
}

struct ThreadStartWithStack {
    void* (*start)(void*);
    void* argument;
};

void* startWithAlternateSignalStack(void* context) {
    ThreadStartWithStack start = *static_cast<ThreadStartWithStack*>(context);
    delete static_cast<ThreadStartWithStack*>(context);
    // Freed when the routine returns, and when the thread exits or is cancelled (both unwind).
    ScopedAlternateSignalStack stack;
    return start.start(start.argument);
}
#endif

} // namespace

void vdsys_alternate_signal_stacks_for_all_threads() {
#ifndef VDSYS_SANITIZED_THREADS
    if (!systemPthreadCreate()) return;
    alternateStacksForAllThreads = true;
#endif
}

bool vdsys_alternate_signal_stacks_for_all_threads_enabled() { return alternateStacksForAllThreads.load(); }

#ifndef VDSYS_SANITIZED_THREADS
// Every pthread_create of the process comes here, the libraries' included (the executable's
// definition comes first in the dynamic lookup).
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*), void* argument) {
    PthreadCreateFunction create = systemPthreadCreate();
    if (!create) return EAGAIN;
    if (!alternateStacksForAllThreads.load(std::memory_order_relaxed)) return create(thread, attributes, start, argument);
    auto* withStack = new (std::nothrow) ThreadStartWithStack{start, argument};
    if (!withStack) return create(thread, attributes, start, argument);
    int result = create(thread, attributes, startWithAlternateSignalStack, withStack);
    if (result != 0) delete withStack;
    return result;
}
#endif

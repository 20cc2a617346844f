#pragma once
// A thread started the way one that ran before the platform's libraries were loaded was (a
// preloaded library starts one from its constructor): through the C library's pthread_create
// itself, past the platform's own (platform/foundation/ThreadAlternateSignalStacks.h), so that it
// starts without an alternate signal stack and the platform does not know it.

#include "platform/foundation/Sanitizers.h"

#include <cerrno>
#include <dlfcn.h>
#include <functional>
#include <pthread.h>
#include <utility>

// Starts `body` on such a thread; 0 or the error of pthread_create. Join it with pthread_join.
inline int startThreadBeforeTheLibrary(pthread_t* thread, std::function<void()> body) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
#if TANDREL_ADDRESS_SANITIZER || TANDREL_THREAD_SANITIZER
    // The sanitizer's runtime starts the threads there, and the platform does not wrap them.
    Create create = pthread_create;
#else
    auto create = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
#endif
    if (!create) return EAGAIN;
    auto* held = new std::function<void()>(std::move(body));
    int result = create(
        thread, nullptr,
        [](void* argument) -> void* {
            auto* run = static_cast<std::function<void()>*>(argument);
            (*run)();
            delete run;
            return nullptr;
        },
        held);
    if (result != 0) delete held;
    return result;
}

#pragma once
// An alternate signal stack for the calling thread while the object lives. A thread that
// overflows its stack can only have the fault handled on a stack of its own: without one the
// kernel cannot deliver the signal and ends the process with no crash report. Every thread the
// platform starts makes one first thing, and the thread's end frees it again.
//
// Header-only: it lives in the lowest layer so that every platform thread (NSThread, dispatch
// workers and timers) can make one.

#include <csignal>
#include <cstddef>
#include <sys/mman.h>
#include <unistd.h>

class ScopedAlternateSignalStack {
public:
    // As large as the crash reporter's own alternate stack, which a crash report is written on.
    static constexpr size_t kMinimumSize = 65536;

    ScopedAlternateSignalStack() {
        // A thread that has one large enough already (made when it was started) keeps it.
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_size >= kMinimumSize) {
            inherited_ = true;
            return;
        }
        void* mapped = nullptr;
        stack_t stack{};
        if (!makeStack(&mapped, &mappedSize_, &stack)) return;
        if (sigaltstack(&stack, &previous_) != 0) {
            munmap(mapped, mappedSize_);
            return;
        }
        mapped_ = mapped;
    }

    ~ScopedAlternateSignalStack() {
        if (!mapped_) return;
        stack_t current{};
        // Still in use by a handler that is running: it must stay (never the case when a thread ends normally).
        if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_ONSTACK)) return;
        if (previous_.ss_flags & SS_DISABLE) {
            stack_t none{};
            none.ss_flags = SS_DISABLE;
            sigaltstack(&none, nullptr);
        } else {
            sigaltstack(&previous_, nullptr);
        }
        munmap(mapped_, mappedSize_);
    }

    ScopedAlternateSignalStack(const ScopedAlternateSignalStack&) = delete;
    ScopedAlternateSignalStack& operator=(const ScopedAlternateSignalStack&) = delete;

    // NO when the stack could not be made or installed (the thread then runs without one).
    bool installed() const { return mapped_ != nullptr || inherited_; }

    // Maps a stack of at least kMinimumSize bytes (more when the host asks for more) with a guard
    // page below it: a handler that runs out of it faults instead of writing over whatever lies
    // below. The whole mapping is `*mappedSize` bytes at `*mapped`; `*stack` is the part a handler
    // runs on, ready for sigaltstack. NO when there is no memory for it.
    static bool makeStack(void** mapped, size_t* mappedSize, stack_t* stack) {
        size_t size = kMinimumSize;
#ifdef _SC_SIGSTKSZ
        long wanted = sysconf(_SC_SIGSTKSZ);
        if (wanted > 0 && static_cast<size_t>(wanted) > size) size = static_cast<size_t>(wanted);
#endif
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        size = (size + page - 1) / page * page;
        void* made = mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (made == MAP_FAILED) return false;
        mprotect(made, page, PROT_NONE);
        *mapped = made;
        *mappedSize = size + page;
        *stack = stack_t{};
        stack->ss_sp = static_cast<char*>(made) + page;
        stack->ss_size = size;
        stack->ss_flags = 0;
        return true;
    }

private:
    void* mapped_ = nullptr;
    size_t mappedSize_ = 0;
    bool inherited_ = false;
    stack_t previous_{};
};

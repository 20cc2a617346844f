#include "platform/foundation/ThreadAlternateSignalStacksKnown.h"

#include <atomic>
#include <cstddef>

namespace {

// An open-addressed set of thread ids; a slot once used holds a tombstone when its thread ended.
constexpr size_t kKnownThreadStackSlots = 16384;
constexpr int32_t kKnownThreadStackGone = -1;
std::atomic<int32_t> knownThreadStacks[kKnownThreadStackSlots];

std::atomic<int32_t>& knownThreadStackSlot(int32_t tid, size_t probe) {
    const size_t first = (static_cast<uint32_t>(tid) * 2654435761u) % kKnownThreadStackSlots;
    return knownThreadStacks[(first + probe) % kKnownThreadStackSlots];
}

} // namespace

void vdsys_known_thread_stack_remember(int32_t tid) {
    for (size_t probe = 0; probe < kKnownThreadStackSlots; ++probe) {
        std::atomic<int32_t>& slot = knownThreadStackSlot(tid, probe);
        int32_t seen = slot.load(std::memory_order_acquire);
        if (seen == tid) return;
        if ((seen == 0 || seen == kKnownThreadStackGone) && slot.compare_exchange_strong(seen, tid, std::memory_order_acq_rel))
            return;
    }
    // Full: the thread is asked by signal, as one that ran before the library is, and keeps its stack.
}

void vdsys_known_thread_stack_forget(int32_t tid) {
    for (size_t probe = 0; probe < kKnownThreadStackSlots; ++probe) {
        std::atomic<int32_t>& slot = knownThreadStackSlot(tid, probe);
        int32_t seen = slot.load(std::memory_order_acquire);
        if (seen == 0) return;
        if (seen == tid && slot.compare_exchange_strong(seen, kKnownThreadStackGone, std::memory_order_acq_rel)) return;
    }
}

bool vdsys_known_thread_stack_has(int32_t tid) {
    for (size_t probe = 0; probe < kKnownThreadStackSlots; ++probe) {
        const int32_t seen = knownThreadStackSlot(tid, probe).load(std::memory_order_acquire);
        if (seen == 0) return false;
        if (seen == tid) return true;
    }
    return false;
}

void vdsys_known_thread_stacks_forget_all() {
    for (std::atomic<int32_t>& slot : knownThreadStacks) slot.store(0, std::memory_order_relaxed);
}

#pragma once
// Thread states of the device's processors (64- and 32-bit ARM) and of this host (x86-64), with
// the Mach flavors that name them, and the call that reads a Mach thread's state.

#include "platform/system/mach.h"

#include <cstdint>

typedef int thread_state_flavor_t;
typedef unsigned int mach_msg_type_number_t;

constexpr thread_state_flavor_t ARM_THREAD_STATE = 1;  // the unified flavor: a header and either state
constexpr thread_state_flavor_t x86_THREAD_STATE64 = 4;
constexpr thread_state_flavor_t ARM_THREAD_STATE64 = 6;
constexpr thread_state_flavor_t ARM_THREAD_STATE32 = 9;

struct arm_thread_state64_t {
    uint64_t x[29];
    uint64_t fp;
    uint64_t lr;
    uint64_t sp;
    uint64_t pc;
    uint32_t cpsr;
    uint32_t pad;
};

struct arm_thread_state32_t {
    uint32_t r[13];
    uint32_t sp;
    uint32_t lr;
    uint32_t pc;
    uint32_t cpsr;
};

struct x86_thread_state64_t {
    uint64_t rax, rbx, rcx, rdx, rdi, rsi, rbp, rsp;
    uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    uint64_t rip, rflags, cs, fs, gs;
};

struct arm_exception_state64_t {
    uint64_t far;
    uint32_t esr;
    uint32_t exception;
};

struct arm_neon_state64_t {
    uint8_t v[32][16];
    uint32_t fpsr;
    uint32_t fpcr;
};

// The device's 64-bit machine context as a signal handler receives it.
struct vd_arm_mcontext64_t {
    arm_exception_state64_t es;
    arm_thread_state64_t ss;
    arm_neon_state64_t ns;
};

struct arm_state_hdr_t {
    uint32_t flavor;
    uint32_t count;
};

struct arm_unified_thread_state_t {
    arm_state_hdr_t ash;
    union {
        arm_thread_state32_t ts_32;
        arm_thread_state64_t ts_64;
    } uts;
};

constexpr mach_msg_type_number_t ARM_THREAD_STATE64_COUNT = sizeof(arm_thread_state64_t) / sizeof(uint32_t);
constexpr mach_msg_type_number_t ARM_THREAD_STATE32_COUNT = sizeof(arm_thread_state32_t) / sizeof(uint32_t);
constexpr mach_msg_type_number_t ARM_UNIFIED_THREAD_STATE_COUNT = sizeof(arm_unified_thread_state_t) / sizeof(uint32_t);
constexpr mach_msg_type_number_t x86_THREAD_STATE64_COUNT = sizeof(x86_thread_state64_t) / sizeof(uint32_t);

static_assert(sizeof(arm_thread_state64_t) == 272, "the 64-bit ARM thread state");
static_assert(ARM_THREAD_STATE64_COUNT == 68 && ARM_THREAD_STATE32_COUNT == 17 && ARM_UNIFIED_THREAD_STATE_COUNT == 70,
              "the ARM state counts");

// The registers of a thread that thread_suspend stopped (thread_act.h), in the host's flavor
// x86_THREAD_STATE64. Any other flavor, and a thread that is not suspended (the calling one
// included), give KERN_FAILURE: callers take the calling thread's state from a signal's machine
// context or capture it instead.
kern_return_t thread_get_state(thread_t thread, thread_state_flavor_t flavor, uint32_t* state,
                               mach_msg_type_number_t* count);

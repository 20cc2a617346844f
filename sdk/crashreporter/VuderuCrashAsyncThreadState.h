#pragma once
// One set of registers of a thread, for 64-bit ARM, 32-bit ARM (the device's processors) or
// x86-64 (this host), with one numbering for all: register 0 is the instruction pointer, 1 the
// frame pointer, 2 the stack pointer, then the processor's others.

#include "platform/system/thread_status.h"
#include "sdk/crashreporter/VuderuCrashAsync.h"

#include <ucontext.h>

enum vdcrash_async_thread_stack_direction_t : int32_t {
    VDCRASH_ASYNC_THREAD_STACK_DIRECTION_UP = 1,
    VDCRASH_ASYNC_THREAD_STACK_DIRECTION_DOWN = 2,
};

typedef uint32_t vdcrash_regnum_t;
enum : vdcrash_regnum_t {
    VDCRASH_REG_IP = 0,
    VDCRASH_REG_FP = 1,
    VDCRASH_REG_SP = 2,
};
typedef uint64_t vdcrash_greg_t;

struct vdcrash_async_thread_state_t {
    int32_t stack_direction;
    uint64_t greg_size;
    uint64_t valid_regs;
    int32_t flavor;
    int32_t count;
    union {
        arm_thread_state64_t arm64;
        arm_thread_state32_t arm32;
        x86_thread_state64_t x86_64;
    } regs;
};

// From the device's 64-bit machine context: every register valid.
void vdcrash_async_thread_state_mcontext_init(vdcrash_async_thread_state_t* state, const vd_arm_mcontext64_t* mctx);
// From this host's machine context (a signal's user context): every register valid.
void vdcrash_async_thread_state_mcontext_init(vdcrash_async_thread_state_t* state, const mcontext_t* mctx);
// From a Mach thread; 6 (internal error) when its state can't be read.
vdcrash_error_t vdcrash_async_thread_state_mach_thread_init(vdcrash_async_thread_state_t* state, thread_t thread);
// An empty state for a CPU type: 64-bit ARM, 32-bit ARM or x86-64; any other gives 4.
vdcrash_error_t vdcrash_async_thread_state_init(vdcrash_async_thread_state_t* state, cpu_type_t cpu_type);

typedef vdcrash_error_t (*vdcrash_async_thread_state_current_callback)(vdcrash_async_thread_state_t* state, void* ctx);
// Captures the calling thread as it stands at this call (the pc is the call's return address)
// and hands the state to the callback; returns the callback's result.
vdcrash_error_t vdcrash_async_thread_state_current(vdcrash_async_thread_state_current_callback callback, void* ctx);

void vdcrash_async_thread_state_copy(vdcrash_async_thread_state_t* dest, const vdcrash_async_thread_state_t* source);
bool vdcrash_async_thread_state_has_reg(const vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum);
void vdcrash_async_thread_state_clear_reg(vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum);
void vdcrash_async_thread_state_clear_all_regs(vdcrash_async_thread_state_t* state);
void vdcrash_async_thread_state_clear_volatile_regs(vdcrash_async_thread_state_t* state);
// A number outside the processor's range is a programming error and aborts.
vdcrash_greg_t vdcrash_async_thread_state_get_reg(const vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum);
void vdcrash_async_thread_state_set_reg(vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum,
                                        vdcrash_greg_t value);
size_t vdcrash_async_thread_state_get_reg_count(const vdcrash_async_thread_state_t* state);
const char* vdcrash_async_thread_state_get_reg_name(const vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum);
int32_t vdcrash_async_thread_state_get_stack_direction(const vdcrash_async_thread_state_t* state);
size_t vdcrash_async_thread_state_get_greg_size(const vdcrash_async_thread_state_t* state);
bool vdcrash_async_thread_state_map_reg_to_dwarf(const vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum,
                                                 uint64_t* dwarf);
bool vdcrash_async_thread_state_map_dwarf_to_reg(const vdcrash_async_thread_state_t* state, uint64_t dwarf,
                                                 vdcrash_regnum_t* regnum);

#include "sdk/crashreporter/VuderuCrashAsyncThreadState.h"

#include <cstdlib>

namespace {

constexpr size_t kArm64Count = 34, kArm32Count = 17, kX86_64Count = 21;

const char* const kArm64Names[kArm64Count] = {
    "pc",  "fp",  "sp",  "x0",  "x1",  "x2",  "x3",  "x4",  "x5",  "x6",  "x7",  "x8",
    "x9",  "x10", "x11", "x12", "x13", "x14", "x15", "x16", "x17", "x18", "x19", "x20",
    "x21", "x22", "x23", "x24", "x25", "x26", "x27", "x28", "lr",  "cpsr",
};
const char* const kArm32Names[kArm32Count] = {
    "pc", "r7", "sp", "r0", "r1", "r2", "r3", "r4", "r5", "r6", "r8", "r9", "r10", "r11", "r12", "lr", "cpsr",
};
const char* const kX86_64Names[kX86_64Count] = {
    "rip", "rbp", "rsp", "rax", "rbx", "rcx", "rdx", "rdi", "rsi", "r8", "r9",
    "r10", "r11", "r12", "r13", "r14", "r15", "rflags", "cs", "fs", "gs",
};

// Callee-saved registers, by our numbering.
constexpr vdcrash_regnum_t arm64_nonvolatile_registers[] = {22, 23, 24, 25, 26, 27, 28, 29, 30, 31};  // x19-x28
constexpr vdcrash_regnum_t arm_nonvolatile_registers[] = {7, 8, 9, 1, 10, 12, 13};  // r4-r6, r7, r8, r10, r11
constexpr vdcrash_regnum_t x86_64_nonvolatile_registers[] = {4, 1, 13, 14, 15, 16};  // rbx, rbp, r12-r15

struct DwarfPair {
    uint64_t dwarf;
    vdcrash_regnum_t reg;
};
// x0-x28 are DWARF 0-28 (our 3-31), fp 29, lr 30, sp 31.
constexpr DwarfPair arm64_dwarf_table[] = {
    {0, 3},   {1, 4},   {2, 5},   {3, 6},   {4, 7},   {5, 8},   {6, 9},   {7, 10},  {8, 11},  {9, 12},
    {10, 13}, {11, 14}, {12, 15}, {13, 16}, {14, 17}, {15, 18}, {16, 19}, {17, 20}, {18, 21}, {19, 22},
    {20, 23}, {21, 24}, {22, 25}, {23, 26}, {24, 27}, {25, 28}, {26, 29}, {27, 30}, {28, 31}, {29, 1},
    {30, 32}, {31, 2},
};
// r0-r6 are 0-6, r7 7, r8-r12 8-12, sp 13, lr 14, pc 15.
constexpr DwarfPair arm_dwarf_table[] = {
    {0, 3}, {1, 4}, {2, 5}, {3, 6}, {4, 7}, {5, 8}, {6, 9}, {7, 1},
    {8, 10}, {9, 11}, {10, 12}, {11, 13}, {12, 14}, {13, 2}, {14, 15}, {15, 0},
};
// rax 0, rdx 1, rcx 2, rbx 3, rsi 4, rdi 5, rbp 6, rsp 7, r8-r15 8-15, rip 16.
constexpr DwarfPair x86_64_dwarf_table[] = {
    {0, 3}, {1, 6}, {2, 5}, {3, 4}, {4, 8}, {5, 7}, {6, 1}, {7, 2}, {8, 9},
    {9, 10}, {10, 11}, {11, 12}, {12, 13}, {13, 14}, {14, 15}, {15, 16}, {16, 0},
};

uint64_t allRegisters(size_t count) { return count >= 64 ? ~uint64_t(0) : (uint64_t(1) << count) - 1; }

void setup(vdcrash_async_thread_state_t* state, int32_t flavor) {
    vdcrash_async_memset(state, 0, sizeof *state);
    state->stack_direction = VDCRASH_ASYNC_THREAD_STACK_DIRECTION_DOWN;
    state->flavor = flavor;
    switch (flavor) {
    case ARM_THREAD_STATE64: state->greg_size = 8; state->count = ARM_THREAD_STATE64_COUNT; break;
    case ARM_THREAD_STATE32: state->greg_size = 4; state->count = ARM_THREAD_STATE32_COUNT; break;
    default: state->greg_size = 8; state->count = x86_THREAD_STATE64_COUNT; break;
    }
}

uint64_t* x86Slot(vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum) {
    x86_thread_state64_t& r = state->regs.x86_64;
    uint64_t* const slots[kX86_64Count] = {
        &r.rip, &r.rbp, &r.rsp, &r.rax, &r.rbx, &r.rcx, &r.rdx, &r.rdi, &r.rsi, &r.r8, &r.r9,
        &r.r10, &r.r11, &r.r12, &r.r13, &r.r14, &r.r15, &r.rflags, &r.cs, &r.fs, &r.gs,
    };
    return slots[regnum];
}

uint64_t* arm64Slot(vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum) {
    arm_thread_state64_t& r = state->regs.arm64;
    switch (regnum) {
    case 0: return &r.pc;
    case 1: return &r.fp;
    case 2: return &r.sp;
    case 32: return &r.lr;
    default: return &r.x[regnum - 3];
    }
}

uint32_t* arm32Slot(vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum) {
    arm_thread_state32_t& r = state->regs.arm32;
    switch (regnum) {
    case 0: return &r.pc;
    case 1: return &r.r[7];
    case 2: return &r.sp;
    case 15: return &r.lr;
    case 16: return &r.cpsr;
    default: return regnum <= 9 ? &r.r[regnum - 3] : &r.r[regnum - 2];  // r0-r6, then r8-r12
    }
}

template <size_t N>
bool lookupDwarf(const DwarfPair (&table)[N], uint64_t dwarf, vdcrash_regnum_t* reg) {
    for (const DwarfPair& p : table)
        if (p.dwarf == dwarf) {
            *reg = p.reg;
            return true;
        }
    return false;
}
template <size_t N>
bool lookupReg(const DwarfPair (&table)[N], vdcrash_regnum_t reg, uint64_t* dwarf) {
    for (const DwarfPair& p : table)
        if (p.reg == reg) {
            *dwarf = p.dwarf;
            return true;
        }
    return false;
}

void checkRange(const vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum) {
    if (regnum >= vdcrash_async_thread_state_get_reg_count(state)) abort();
}

} // namespace

void vdcrash_async_thread_state_mcontext_init(vdcrash_async_thread_state_t* state, const vd_arm_mcontext64_t* mctx) {
    setup(state, ARM_THREAD_STATE64);
    vdcrash_async_memcpy(&state->regs.arm64, &mctx->ss, sizeof mctx->ss);
    state->valid_regs = allRegisters(kArm64Count);
}

void vdcrash_async_thread_state_mcontext_init(vdcrash_async_thread_state_t* state, const mcontext_t* mctx) {
    setup(state, x86_THREAD_STATE64);
    x86_thread_state64_t& r = state->regs.x86_64;
    const greg_t* g = mctx->gregs;
    r.rax = static_cast<uint64_t>(g[REG_RAX]);
    r.rbx = static_cast<uint64_t>(g[REG_RBX]);
    r.rcx = static_cast<uint64_t>(g[REG_RCX]);
    r.rdx = static_cast<uint64_t>(g[REG_RDX]);
    r.rdi = static_cast<uint64_t>(g[REG_RDI]);
    r.rsi = static_cast<uint64_t>(g[REG_RSI]);
    r.rbp = static_cast<uint64_t>(g[REG_RBP]);
    r.rsp = static_cast<uint64_t>(g[REG_RSP]);
    r.r8 = static_cast<uint64_t>(g[REG_R8]);
    r.r9 = static_cast<uint64_t>(g[REG_R9]);
    r.r10 = static_cast<uint64_t>(g[REG_R10]);
    r.r11 = static_cast<uint64_t>(g[REG_R11]);
    r.r12 = static_cast<uint64_t>(g[REG_R12]);
    r.r13 = static_cast<uint64_t>(g[REG_R13]);
    r.r14 = static_cast<uint64_t>(g[REG_R14]);
    r.r15 = static_cast<uint64_t>(g[REG_R15]);
    r.rip = static_cast<uint64_t>(g[REG_RIP]);
    r.rflags = static_cast<uint64_t>(g[REG_EFL]);
    uint64_t segments = static_cast<uint64_t>(g[REG_CSGSFS]);  // cs, gs, fs as 16-bit fields
    r.cs = segments & 0xFFFF;
    r.gs = (segments >> 16) & 0xFFFF;
    r.fs = (segments >> 32) & 0xFFFF;
    state->valid_regs = allRegisters(kX86_64Count);
}

vdcrash_error_t vdcrash_async_thread_state_mach_thread_init(vdcrash_async_thread_state_t* state, thread_t thread) {
#if defined(__x86_64__)
    // This host's threads carry the host's flavor.
    x86_thread_state64_t host{};
    mach_msg_type_number_t hostCount = x86_THREAD_STATE64_COUNT;
    if (thread_get_state(thread, x86_THREAD_STATE64, reinterpret_cast<uint32_t*>(&host), &hostCount) != KERN_SUCCESS)
        return VDCRASH_EINTERNAL;
    setup(state, x86_THREAD_STATE64);
    state->regs.x86_64 = host;
    state->valid_regs = allRegisters(kX86_64Count);
    return VDCRASH_ESUCCESS;
#endif
    arm_unified_thread_state_t unified{};
    mach_msg_type_number_t count = ARM_UNIFIED_THREAD_STATE_COUNT;
    if (thread_get_state(thread, ARM_THREAD_STATE, reinterpret_cast<uint32_t*>(&unified), &count) != KERN_SUCCESS)
        return VDCRASH_EINTERNAL;
    if (unified.ash.flavor == static_cast<uint32_t>(ARM_THREAD_STATE64)) {
        setup(state, ARM_THREAD_STATE64);
        state->regs.arm64 = unified.uts.ts_64;
        state->valid_regs = allRegisters(kArm64Count);
    } else {
        setup(state, ARM_THREAD_STATE32);
        state->regs.arm32 = unified.uts.ts_32;
        state->valid_regs = allRegisters(kArm32Count);
    }
    return VDCRASH_ESUCCESS;
}

vdcrash_error_t vdcrash_async_thread_state_init(vdcrash_async_thread_state_t* state, cpu_type_t cpu_type) {
    switch (cpu_type) {
    case CPU_TYPE_ARM64: setup(state, ARM_THREAD_STATE64); return VDCRASH_ESUCCESS;
    case CPU_TYPE_ARM: setup(state, ARM_THREAD_STATE32); return VDCRASH_ESUCCESS;
    case CPU_TYPE_X86_64: setup(state, x86_THREAD_STATE64); return VDCRASH_ESUCCESS;
    default: return VDCRASH_ENOTSUP;
    }
}

// Not inlined: the captured frame pointer and return address are this call's own.
__attribute__((noinline)) vdcrash_error_t vdcrash_async_thread_state_current(
    vdcrash_async_thread_state_current_callback callback, void* ctx) {
    ucontext_t context;
    getcontext(&context);
    vdcrash_async_thread_state_t state;
    vdcrash_async_thread_state_mcontext_init(&state, &context.uc_mcontext);
    auto* frame = static_cast<uint64_t*>(__builtin_frame_address(0));
    state.regs.x86_64.rbp = frame[0];  // the caller's frame pointer, saved in ours
    state.regs.x86_64.rip = reinterpret_cast<uint64_t>(__builtin_return_address(0));
    state.regs.x86_64.rsp = reinterpret_cast<uint64_t>(frame + 2);  // the caller's stack pointer after the call returns
    return callback(&state, ctx);
}

void vdcrash_async_thread_state_copy(vdcrash_async_thread_state_t* dest, const vdcrash_async_thread_state_t* source) {
    vdcrash_async_memcpy(dest, source, sizeof *dest);
}

bool vdcrash_async_thread_state_has_reg(const vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum) {
    return regnum < 64 && (state->valid_regs & (uint64_t(1) << regnum)) != 0;
}

void vdcrash_async_thread_state_clear_reg(vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum) {
    if (regnum < 64) state->valid_regs &= ~(uint64_t(1) << regnum);
}

void vdcrash_async_thread_state_clear_all_regs(vdcrash_async_thread_state_t* state) { state->valid_regs = 0; }

void vdcrash_async_thread_state_clear_volatile_regs(vdcrash_async_thread_state_t* state) {
    uint64_t keep = 0;
    auto mark = [&keep](const auto& table) {
        for (vdcrash_regnum_t r : table) keep |= uint64_t(1) << r;
    };
    switch (state->flavor) {
    case ARM_THREAD_STATE64: mark(arm64_nonvolatile_registers); break;
    case ARM_THREAD_STATE32: mark(arm_nonvolatile_registers); break;
    default: mark(x86_64_nonvolatile_registers); break;
    }
    state->valid_regs &= keep;
}

vdcrash_greg_t vdcrash_async_thread_state_get_reg(const vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum) {
    checkRange(state, regnum);
    auto* s = const_cast<vdcrash_async_thread_state_t*>(state);
    switch (state->flavor) {
    case ARM_THREAD_STATE64: return regnum == 33 ? s->regs.arm64.cpsr : *arm64Slot(s, regnum);
    case ARM_THREAD_STATE32: return *arm32Slot(s, regnum);
    default: return *x86Slot(s, regnum);
    }
}

void vdcrash_async_thread_state_set_reg(vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum,
                                        vdcrash_greg_t value) {
    checkRange(state, regnum);
    switch (state->flavor) {
    case ARM_THREAD_STATE64:
        if (regnum == 33)
            state->regs.arm64.cpsr = static_cast<uint32_t>(value);
        else
            *arm64Slot(state, regnum) = value;
        break;
    case ARM_THREAD_STATE32: *arm32Slot(state, regnum) = static_cast<uint32_t>(value); break;
    default: *x86Slot(state, regnum) = value; break;
    }
    state->valid_regs |= uint64_t(1) << regnum;
}

size_t vdcrash_async_thread_state_get_reg_count(const vdcrash_async_thread_state_t* state) {
    switch (state->flavor) {
    case ARM_THREAD_STATE64: return kArm64Count;
    case ARM_THREAD_STATE32: return kArm32Count;
    default: return kX86_64Count;
    }
}

const char* vdcrash_async_thread_state_get_reg_name(const vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum) {
    checkRange(state, regnum);
    switch (state->flavor) {
    case ARM_THREAD_STATE64: return kArm64Names[regnum];
    case ARM_THREAD_STATE32: return kArm32Names[regnum];
    default: return kX86_64Names[regnum];
    }
}

int32_t vdcrash_async_thread_state_get_stack_direction(const vdcrash_async_thread_state_t* state) {
    return state->stack_direction;
}

size_t vdcrash_async_thread_state_get_greg_size(const vdcrash_async_thread_state_t* state) { return state->greg_size; }

bool vdcrash_async_thread_state_map_reg_to_dwarf(const vdcrash_async_thread_state_t* state, vdcrash_regnum_t regnum,
                                                 uint64_t* dwarf) {
    switch (state->flavor) {
    case ARM_THREAD_STATE64: return lookupReg(arm64_dwarf_table, regnum, dwarf);
    case ARM_THREAD_STATE32: return lookupReg(arm_dwarf_table, regnum, dwarf);
    default: return lookupReg(x86_64_dwarf_table, regnum, dwarf);
    }
}

bool vdcrash_async_thread_state_map_dwarf_to_reg(const vdcrash_async_thread_state_t* state, uint64_t dwarf,
                                                 vdcrash_regnum_t* regnum) {
    switch (state->flavor) {
    case ARM_THREAD_STATE64: return lookupDwarf(arm64_dwarf_table, dwarf, regnum);
    case ARM_THREAD_STATE32: return lookupDwarf(arm_dwarf_table, dwarf, regnum);
    default: return lookupDwarf(x86_64_dwarf_table, dwarf, regnum);
    }
}

#pragma once
// The call-frame information of this host's images: for an address, the row of the unwind table
// that says where the caller's frame lies (the CFA) and where each register of the caller was
// saved. The table is the image's .eh_frame, found through the sorted index of .eh_frame_hdr.
// The host's C and C++ runtimes keep no frame pointers, so their frames can only be stepped over
// this way. Everything is read through the fault-free task reads, into stack buffers:
// async-signal-safe.

#include "platform/system/ElfUnwindSample.h"
#include "sdk/crashreporter/VuderuCrashAsync.h"

// DWARF numbers 0 to 16 of x86-64: the sixteen general registers and the return address.
constexpr uint64_t VDCRASH_EH_FRAME_REGISTER_COUNT = 17;

enum vdcrash_eh_frame_rule_kind_t : uint8_t {
    VDCRASH_EH_FRAME_RULE_UNSPECIFIED = 0,  // no rule: a callee-saved register keeps its value
    VDCRASH_EH_FRAME_RULE_UNDEFINED,        // the value is lost (a return address: the outermost frame)
    VDCRASH_EH_FRAME_RULE_SAME_VALUE,
    VDCRASH_EH_FRAME_RULE_OFFSET,           // saved at CFA + offset
    VDCRASH_EH_FRAME_RULE_VAL_OFFSET,       // the value is CFA + offset
    VDCRASH_EH_FRAME_RULE_REGISTER,         // held in another register (number in `value`)
    VDCRASH_EH_FRAME_RULE_EXPRESSION,       // a DWARF expression: not evaluated here
};

struct vdcrash_eh_frame_rule_t {
    vdcrash_eh_frame_rule_kind_t kind;
    int64_t value;
};

struct vdcrash_eh_frame_row_t {
    uint64_t cfa_register;
    int64_t cfa_offset;
    bool cfa_is_expression;  // the CFA is computed by an expression: not evaluated here
    uint64_t return_address_register;
    // The entry describes the kernel's signal trampoline: the interrupted registers lie in the
    // signal's user context on the stack, not where the rules say.
    bool signal_frame;
    vdcrash_eh_frame_rule_t rules[VDCRASH_EH_FRAME_REGISTER_COUNT];
};

// The row in effect at `pc` in the image whose .eh_frame_hdr lies at `eh_frame_hdr`. 8 when no
// entry covers the address, 9 for a table this reader does not understand, 6 when the table can't
// be read.
vdcrash_error_t vdcrash_async_eh_frame_find_row(task_t task, vm_address_t eh_frame_hdr, vm_address_t pc,
                                                vdcrash_eh_frame_row_t* row);
// The same with the image's sample of the index (may be null), which spares the search of the
// index all but one read.
vdcrash_error_t vdcrash_async_eh_frame_find_row_sampled(task_t task, vm_address_t eh_frame_hdr,
                                                        const vdelf_unwind_sample* sample, vm_address_t pc,
                                                        vdcrash_eh_frame_row_t* row);

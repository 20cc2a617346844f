#include "sdk/crashreporter/VuderuCrashFrameWalker_x86_64.h"

#include "sdk/crashreporter/VuderuCrashAsyncEhFrame_linux.h"
#include "platform/system/ElfImage.h"

#include <cstddef>
#include <cstdint>
#include <ucontext.h>

namespace {

constexpr uint64_t kDwarfStackPointer = 7;
constexpr uint64_t kFrameRecordSize = 16;  // saved frame pointer and return address
constexpr size_t kSavedSlotsSpan = 128;

// The callee-saved registers by DWARF number: rbx, rbp, r12 to r15. A register without a rule
// keeps its value across a call only if it is one of these.
bool isCalleeSaved(uint64_t dwarf) { return dwarf == 3 || dwarf == 6 || (dwarf >= 12 && dwarf <= 15); }

bool registerValue(const vdcrash_async_thread_state_t* state, uint64_t dwarf, vdcrash_greg_t* value) {
    vdcrash_regnum_t reg;
    if (!vdcrash_async_thread_state_map_dwarf_to_reg(state, dwarf, &reg)) return false;
    if (!vdcrash_async_thread_state_has_reg(state, reg)) return false;
    *value = vdcrash_async_thread_state_get_reg(state, reg);
    return true;
}

// The row at a function's first instruction: the return address is on top of the stack. It
// serves a first frame whose instruction pointer lies in no image (a call through a bad pointer).
void entryRow(vdcrash_eh_frame_row_t* row) {
    vdcrash_async_memset(row, 0, sizeof *row);
    row->cfa_register = kDwarfStackPointer;
    row->cfa_offset = 8;
    row->return_address_register = 16;
    row->rules[16] = {VDCRASH_EH_FRAME_RULE_OFFSET, -8};
}

// The row for the current frame: the first frame's instruction pointer is where it stopped; a
// caller's is a return address, which may lie just past the end of a call that never returns,
// so its row is looked up one byte earlier.
vdframe_error_t findRow(task_t task, vdcrash_async_image_list_t* images, vdcrash_greg_t pc, bool first,
                        vdcrash_eh_frame_row_t* row) {
    vm_address_t lookup = static_cast<vm_address_t>(first ? pc : pc - 1);
    // Counted in as a reader for the whole lookup: the image's sample lives as long as its entry.
    vdcrash_async_image_list_set_reading(images, true);
    vdcrash_async_image_t* image = vdcrash_async_image_containing_address(images, lookup);
    vdframe_error_t result = VDFRAME_ESUCCESS;
    if (!image) {
        if (first)
            entryRow(row);
        else
            result = VDFRAME_ENOTSUP;
    } else {
        const vdelf_image* elf = image->macho_image.elf ? &image->macho_image.elf_image : nullptr;
        vm_address_t hdr = elf ? elf->eh_frame_hdr : 0;
        // The sample is taken with the image's symbols, after the launch; until then the index is
        // searched whole.
        const vdelf_unwind_sample* sample = elf && vdelf_symbols_ready(elf) ? &elf->unwind_sample : nullptr;
        if (vdcrash_async_eh_frame_find_row_sampled(task, hdr, sample, lookup, row) != VDCRASH_ESUCCESS)
            result = VDFRAME_ENOTSUP;
    }
    vdcrash_async_image_list_set_reading(images, false);
    return result;
}

// The stack slots where a frame saved its caller's registers, read at once when they lie close
// together (they do: a function pushes them on entry).
struct SavedSlots {
    int64_t first;  // the lowest offset from the CFA
    size_t length;  // 0 when the slots were not read together
    uint8_t bytes[kSavedSlotsSpan];
};

void readSavedSlots(task_t task, const vdcrash_eh_frame_row_t& row, vdcrash_greg_t cfa, SavedSlots* slots) {
    slots->length = 0;
    int64_t low = INT64_MAX, high = INT64_MIN;
    for (const vdcrash_eh_frame_rule_t& rule : row.rules) {
        if (rule.kind != VDCRASH_EH_FRAME_RULE_OFFSET) continue;
        if (rule.value < low) low = rule.value;
        if (rule.value > high) high = rule.value;
    }
    if (low > high) return;
    uint64_t span = static_cast<uint64_t>(high) - static_cast<uint64_t>(low);  // no overflow for damaged tables
    if (span > kSavedSlotsSpan - sizeof(vdcrash_greg_t)) return;
    size_t length = static_cast<size_t>(span) + sizeof(vdcrash_greg_t);
    if (vdcrash_async_task_memcpy(task, static_cast<vm_address_t>(cfa), low, slots->bytes, length) != VDCRASH_ESUCCESS)
        return;
    slots->first = low;
    slots->length = length;
}

// The value a rule gives a register of the caller; NO when the value is lost.
bool applyRule(task_t task, const vdcrash_eh_frame_rule_t& rule, uint64_t dwarf, vdcrash_greg_t cfa,
               const vdcrash_async_thread_state_t* state, const SavedSlots& slots, vdcrash_greg_t* value,
               bool* unreadable) {
    switch (rule.kind) {
    case VDCRASH_EH_FRAME_RULE_UNSPECIFIED: return isCalleeSaved(dwarf) && registerValue(state, dwarf, value);
    case VDCRASH_EH_FRAME_RULE_SAME_VALUE: return registerValue(state, dwarf, value);
    case VDCRASH_EH_FRAME_RULE_OFFSET:
        if (slots.length > 0) {
            vdcrash_async_memcpy(value, slots.bytes + (rule.value - slots.first), sizeof *value);
            return true;
        }
        if (vdcrash_async_task_memcpy(task, static_cast<vm_address_t>(cfa), rule.value, value, sizeof *value) ==
            VDCRASH_ESUCCESS)
            return true;
        *unreadable = true;
        return false;
    case VDCRASH_EH_FRAME_RULE_VAL_OFFSET: *value = cfa + static_cast<uint64_t>(rule.value); return true;
    case VDCRASH_EH_FRAME_RULE_REGISTER: return registerValue(state, static_cast<uint64_t>(rule.value), value);
    default: return false;
    }
}

// The frame below the signal trampoline is the interrupted one, whole: by the time the
// trampoline runs, the handler's return has taken the trampoline's own address off the stack
// and the stack pointer points at the signal's user context.
vdframe_error_t readSignalFrame(task_t task, const vdcrash_async_thread_state_t* state, vdframe_stackframe_t* next) {
    if (!vdcrash_async_thread_state_has_reg(state, VDCRASH_REG_SP)) return VDFRAME_EBADFRAME;
    vdcrash_greg_t sp = vdcrash_async_thread_state_get_reg(state, VDCRASH_REG_SP);
    mcontext_t interrupted;
    vdcrash_async_memset(&interrupted, 0, sizeof interrupted);
    constexpr int64_t kRegisters = offsetof(ucontext_t, uc_mcontext) + offsetof(mcontext_t, gregs);
    if (vdcrash_async_task_memcpy(task, static_cast<vm_address_t>(sp), kRegisters, interrupted.gregs,
                                  sizeof interrupted.gregs) != VDCRASH_ESUCCESS)
        return VDFRAME_EBADFRAME;
    vdcrash_async_thread_state_mcontext_init(&next->thread_state, &interrupted);
    return VDFRAME_ESUCCESS;
}

} // namespace

vdframe_error_t vdframe_cursor_read_eh_frame(task_t task, vdcrash_async_image_list_t* image_list,
                                             const vdframe_stackframe_t* current, const vdframe_stackframe_t* previous,
                                             vdframe_stackframe_t* next) {
    const vdcrash_async_thread_state_t* state = &current->thread_state;
    if (!image_list || state->flavor != x86_THREAD_STATE64) return VDFRAME_ENOTSUP;
    if (!vdcrash_async_thread_state_has_reg(state, VDCRASH_REG_IP)) return VDFRAME_ENOTSUP;
    vdcrash_greg_t pc = vdcrash_async_thread_state_get_reg(state, VDCRASH_REG_IP);
    vdcrash_eh_frame_row_t row;
    vdframe_error_t err = findRow(task, image_list, pc, previous == nullptr, &row);
    if (err != VDFRAME_ESUCCESS) return err;
    if (row.signal_frame) return readSignalFrame(task, state, next);
    if (row.cfa_is_expression || row.return_address_register >= VDCRASH_EH_FRAME_REGISTER_COUNT) return VDFRAME_ENOTSUP;

    vdcrash_greg_t base = 0;
    if (!registerValue(state, row.cfa_register, &base)) return VDFRAME_ENOTSUP;
    vdcrash_greg_t cfa = base + static_cast<uint64_t>(row.cfa_offset);
    // The caller's frame lies above this one: a table that says otherwise would walk in circles.
    if (vdcrash_async_thread_state_has_reg(state, VDCRASH_REG_SP) &&
        cfa <= vdcrash_async_thread_state_get_reg(state, VDCRASH_REG_SP))
        return VDFRAME_EBADFRAME;

    const vdcrash_eh_frame_rule_t& returnRule = row.rules[row.return_address_register];
    if (returnRule.kind == VDCRASH_EH_FRAME_RULE_UNDEFINED) return VDFRAME_ENOFRAME;  // the outermost frame
    SavedSlots slots;
    readSavedSlots(task, row, cfa, &slots);
    bool unreadable = false;
    vdcrash_greg_t returnAddress = 0;
    if (!applyRule(task, returnRule, row.return_address_register, cfa, state, slots, &returnAddress, &unreadable))
        return VDFRAME_EBADFRAME;

    next->thread_state = *state;
    vdcrash_async_thread_state_clear_all_regs(&next->thread_state);
    for (uint64_t dwarf = 0; dwarf < VDCRASH_EH_FRAME_REGISTER_COUNT; ++dwarf) {
        vdcrash_regnum_t reg;
        if (dwarf == kDwarfStackPointer || dwarf == row.return_address_register ||
            !vdcrash_async_thread_state_map_dwarf_to_reg(state, dwarf, &reg))
            continue;
        vdcrash_greg_t value = 0;
        if (applyRule(task, row.rules[dwarf], dwarf, cfa, state, slots, &value, &unreadable))
            vdcrash_async_thread_state_set_reg(&next->thread_state, reg, value);
    }
    if (unreadable) return VDFRAME_EBADFRAME;
    vdcrash_async_thread_state_set_reg(&next->thread_state, VDCRASH_REG_SP, cfa);
    vdcrash_async_thread_state_set_reg(&next->thread_state, VDCRASH_REG_IP, returnAddress);
    return VDFRAME_ESUCCESS;
}

vdframe_error_t vdframe_cursor_read_frame_ptr_x86_64(task_t task, vdcrash_async_image_list_t* image_list,
                                                     const vdframe_stackframe_t* current,
                                                     const vdframe_stackframe_t* previous, vdframe_stackframe_t* next) {
    vdframe_error_t err = vdframe_cursor_read_frame_ptr(task, image_list, current, previous, next);
    if (err != VDFRAME_ESUCCESS) return err;
    vdcrash_greg_t fp = vdcrash_async_thread_state_get_reg(&current->thread_state, VDCRASH_REG_FP);
    vdcrash_async_thread_state_set_reg(&next->thread_state, VDCRASH_REG_SP, fp + kFrameRecordSize);
    return VDFRAME_ESUCCESS;
}

vdframe_error_t vdframe_cursor_read_x86_64(task_t task, vdcrash_async_image_list_t* image_list,
                                           const vdframe_stackframe_t* current, const vdframe_stackframe_t* previous,
                                           vdframe_stackframe_t* next) {
    vdframe_error_t err = vdframe_cursor_read_eh_frame(task, image_list, current, previous, next);
    if (err == VDFRAME_ESUCCESS || err == VDFRAME_ENOFRAME) return err;
    vdcrash_async_memset(next, 0, sizeof *next);
    return vdframe_cursor_read_frame_ptr_x86_64(task, image_list, current, previous, next);
}

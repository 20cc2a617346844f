#include "sdk/crashreporter/VuderuCrashFrameWalker.h"

#include "sdk/crashreporter/VuderuCrashFrameWalker_x86_64.h"

const char* vdframe_strerror(vdframe_error_t error) {
    switch (error) {
    case VDFRAME_ESUCCESS: return "No error";
    case VDFRAME_EUNKNOWN: return "Unknown error";
    case VDFRAME_ENOFRAME: return "No frames are available";
    case VDFRAME_EBADFRAME: return "Corrupted frame";
    case VDFRAME_ENOTSUP: return "Operation not supported";
    case VDFRAME_EINVAL: return "Invalid argument";
    case VDFRAME_INTERNAL: return "Internal error";
    case VDFRAME_EBADREG: return "Invalid register";
    }
    return "Unhandled error code";
}

vdframe_error_t vdframe_cursor_init(vdframe_cursor_t* cursor, task_t task, const vdcrash_async_thread_state_t* state,
                                    vdcrash_async_image_list_t* image_list) {
    vdcrash_async_memset(cursor, 0, sizeof *cursor);
    cursor->task = task;
    mach_port_mod_refs(mach_task_self(), task, 0, 1);
    cursor->image_list = image_list;
    vdcrash_async_thread_state_copy(&cursor->frame.thread_state, state);
    return VDFRAME_ESUCCESS;
}

vdframe_error_t vdframe_cursor_thread_init(vdframe_cursor_t* cursor, task_t task, thread_t thread,
                                           vdcrash_async_image_list_t* image_list) {
    vdcrash_async_thread_state_t state;
    if (vdcrash_async_thread_state_mach_thread_init(&state, thread) != VDCRASH_ESUCCESS) return VDFRAME_INTERNAL;
    return vdframe_cursor_init(cursor, task, &state, image_list);
}

vdframe_error_t vdframe_cursor_next_with_readers(vdframe_cursor_t* cursor, const vdframe_cursor_frame_reader_t readers[],
                                                 size_t reader_count) {
    if (cursor->depth == 0) {
        cursor->depth = 1;
        return VDFRAME_ESUCCESS;
    }
    vdframe_stackframe_t next;
    vdframe_error_t err = VDFRAME_ENOFRAME;
    const vdframe_stackframe_t* previous = cursor->depth > 1 ? &cursor->prev_frame : nullptr;
    for (size_t i = 0; i < reader_count; ++i) {
        vdcrash_async_memset(&next, 0, sizeof next);
        err = readers[i](cursor->task, cursor->image_list, &cursor->frame, previous, &next);
        if (err == VDFRAME_ESUCCESS) break;
    }
    if (err != VDFRAME_ESUCCESS) return err;
    if (!vdcrash_async_thread_state_has_reg(&next.thread_state, VDCRASH_REG_IP) ||
        vdcrash_async_thread_state_get_reg(&next.thread_state, VDCRASH_REG_IP) <= VDFRAME_MIN_INSTRUCTION_ADDRESS)
        return VDFRAME_ENOFRAME;
    cursor->prev_frame = cursor->frame;
    cursor->frame = next;
    cursor->depth++;
    return VDFRAME_ESUCCESS;
}

vdframe_error_t vdframe_cursor_next(vdframe_cursor_t* cursor) {
    static const vdframe_cursor_frame_reader_t readers[] = {vdframe_cursor_read_frame_ptr};
    static const vdframe_cursor_frame_reader_t hostReaders[] = {vdframe_cursor_read_x86_64};
    if (cursor->frame.thread_state.flavor == x86_THREAD_STATE64)
        return vdframe_cursor_next_with_readers(cursor, hostReaders, 1);
    return vdframe_cursor_next_with_readers(cursor, readers, 1);
}

vdframe_error_t vdframe_cursor_get_reg(const vdframe_cursor_t* cursor, vdcrash_regnum_t regnum, vdcrash_greg_t* value) {
    if (!vdcrash_async_thread_state_has_reg(&cursor->frame.thread_state, regnum)) return VDFRAME_ENOTSUP;
    *value = vdcrash_async_thread_state_get_reg(&cursor->frame.thread_state, regnum);
    return VDFRAME_ESUCCESS;
}

const char* vdframe_cursor_get_regname(const vdframe_cursor_t* cursor, vdcrash_regnum_t regnum) {
    return vdcrash_async_thread_state_get_reg_name(&cursor->frame.thread_state, regnum);
}

size_t vdframe_cursor_get_regcount(const vdframe_cursor_t* cursor) {
    return vdcrash_async_thread_state_get_reg_count(&cursor->frame.thread_state);
}

void vdframe_cursor_free(vdframe_cursor_t* cursor) { mach_port_deallocate(mach_task_self(), cursor->task); }

vdframe_error_t vdframe_cursor_read_frame_ptr(task_t task, vdcrash_async_image_list_t*,
                                              const vdframe_stackframe_t* current, const vdframe_stackframe_t* previous,
                                              vdframe_stackframe_t* next) {
    const vdcrash_async_thread_state_t* state = &current->thread_state;
    if (!vdcrash_async_thread_state_has_reg(state, VDCRASH_REG_FP)) return VDFRAME_EBADFRAME;
    vdcrash_greg_t fp = vdcrash_async_thread_state_get_reg(state, VDCRASH_REG_FP);
    if (fp == 0) return VDFRAME_ENOFRAME;

    // Each saved frame pointer must lead away from the previous one, towards the stack's base. One
    // that stays put is a frame record that points at itself: following it would give the same
    // frame for ever.
    if (previous && vdcrash_async_thread_state_has_reg(&previous->thread_state, VDCRASH_REG_FP)) {
        vdcrash_greg_t previousFp = vdcrash_async_thread_state_get_reg(&previous->thread_state, VDCRASH_REG_FP);
        if (vdcrash_async_thread_state_get_stack_direction(state) == VDCRASH_ASYNC_THREAD_STACK_DIRECTION_DOWN) {
            if (fp <= previousFp) return VDFRAME_EBADFRAME;
        } else if (fp >= previousFp) {
            return VDFRAME_EBADFRAME;
        }
    }

    vdcrash_greg_t saved[2];
    if (vdcrash_async_thread_state_get_greg_size(state) == 8) {
        uint64_t words[2];
        if (vdcrash_async_task_memcpy(task, static_cast<vm_address_t>(fp), 0, words, sizeof words) != VDCRASH_ESUCCESS)
            return VDFRAME_EBADFRAME;
        saved[0] = words[0];
        saved[1] = words[1];
    } else {
        uint32_t words[2];
        if (vdcrash_async_task_memcpy(task, static_cast<vm_address_t>(fp), 0, words, sizeof words) != VDCRASH_ESUCCESS)
            return VDFRAME_EBADFRAME;
        saved[0] = words[0];
        saved[1] = words[1];
    }
    next->thread_state = *state;
    vdcrash_async_thread_state_clear_all_regs(&next->thread_state);
    vdcrash_async_thread_state_set_reg(&next->thread_state, VDCRASH_REG_FP, saved[0]);
    vdcrash_async_thread_state_set_reg(&next->thread_state, VDCRASH_REG_IP, saved[1]);
    return VDFRAME_ESUCCESS;
}

#pragma once
// The frame cursor: walks a thread's stack one frame at a time, starting from a thread state
// and following the chain of saved frame pointers and return addresses. The host's x86-64 states
// are stepped with the images' unwind tables first (VuderuCrashFrameWalker_x86_64.h).

#include "sdk/crashreporter/VuderuCrashAsyncImageList.h"
#include "sdk/crashreporter/VuderuCrashAsyncThreadState.h"

enum vdframe_error_t : int {
    VDFRAME_ESUCCESS = 0,
    VDFRAME_EUNKNOWN = 1,
    VDFRAME_ENOFRAME = 2,
    VDFRAME_EBADFRAME = 3,
    VDFRAME_ENOTSUP = 4,
    VDFRAME_EINVAL = 5,
    VDFRAME_INTERNAL = 6,
    VDFRAME_EBADREG = 7,
};

const char* vdframe_strerror(vdframe_error_t error);

struct vdframe_stackframe_t {
    vdcrash_async_thread_state_t thread_state;
};

struct vdframe_cursor_t {
    task_t task;
    vdcrash_async_image_list_t* image_list;
    uint32_t depth;
    vdframe_stackframe_t prev_frame;
    vdframe_stackframe_t frame;
};

// A frame reader: fills `next` from the current frame (and the previous one, null before the
// third step); 0 on success.
typedef vdframe_error_t (*vdframe_cursor_frame_reader_t)(task_t task, vdcrash_async_image_list_t* image_list,
                                                         const vdframe_stackframe_t* current,
                                                         const vdframe_stackframe_t* previous,
                                                         vdframe_stackframe_t* next);

// Return addresses at or below this are not code: the walk ends there.
constexpr uint64_t VDFRAME_MIN_INSTRUCTION_ADDRESS = 0x4000;

vdframe_error_t vdframe_cursor_init(vdframe_cursor_t* cursor, task_t task, const vdcrash_async_thread_state_t* state,
                                    vdcrash_async_image_list_t* image_list);
vdframe_error_t vdframe_cursor_thread_init(vdframe_cursor_t* cursor, task_t task, thread_t thread,
                                           vdcrash_async_image_list_t* image_list);
vdframe_error_t vdframe_cursor_next(vdframe_cursor_t* cursor);
vdframe_error_t vdframe_cursor_next_with_readers(vdframe_cursor_t* cursor, const vdframe_cursor_frame_reader_t readers[],
                                                 size_t reader_count);
vdframe_error_t vdframe_cursor_get_reg(const vdframe_cursor_t* cursor, vdcrash_regnum_t regnum, vdcrash_greg_t* value);
const char* vdframe_cursor_get_regname(const vdframe_cursor_t* cursor, vdcrash_regnum_t regnum);
size_t vdframe_cursor_get_regcount(const vdframe_cursor_t* cursor);
void vdframe_cursor_free(vdframe_cursor_t* cursor);

vdframe_error_t vdframe_cursor_read_frame_ptr(task_t task, vdcrash_async_image_list_t* image_list,
                                              const vdframe_stackframe_t* current, const vdframe_stackframe_t* previous,
                                              vdframe_stackframe_t* next);

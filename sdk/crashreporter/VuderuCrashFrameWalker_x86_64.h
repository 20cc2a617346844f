#pragma once
// The frame readers for this host's x86-64 stacks. The host's C and C++ runtimes are built
// without frame pointers (an abort() or an uncaught exception starts inside them), and a fault in
// a function's epilogue comes after its frame pointer is already restored: the frame-pointer
// chain alone loses frames there. These readers step with the images' call-frame information
// first and follow the frame-pointer chain only where an address has none.

#include "sdk/crashreporter/VuderuCrashFrameWalker.h"

// One step with the unwind table of the image that holds the current instruction pointer.
vdframe_error_t vdframe_cursor_read_eh_frame(task_t task, vdcrash_async_image_list_t* image_list,
                                             const vdframe_stackframe_t* current, const vdframe_stackframe_t* previous,
                                             vdframe_stackframe_t* next);
// The frame-pointer step, which on this processor also knows the caller's stack pointer: just
// above the frame record, where the return address was pushed.
vdframe_error_t vdframe_cursor_read_frame_ptr_x86_64(task_t task, vdcrash_async_image_list_t* image_list,
                                                     const vdframe_stackframe_t* current,
                                                     const vdframe_stackframe_t* previous, vdframe_stackframe_t* next);

// The reader vdframe_cursor_next uses for x86-64 thread states: the unwind table, and the
// frame-pointer chain where the table has no entry or can't be followed. Where the table says
// that a frame is the outermost one, the walk ends there.
vdframe_error_t vdframe_cursor_read_x86_64(task_t task, vdcrash_async_image_list_t* image_list,
                                           const vdframe_stackframe_t* current, const vdframe_stackframe_t* previous,
                                           vdframe_stackframe_t* next);

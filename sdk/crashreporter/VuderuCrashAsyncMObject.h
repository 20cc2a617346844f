#pragma once
// A read-only local copy of a range of task memory. Images are read through these objects
// instead of through raw pointers, so that a bad address inside an image gives an error code
// instead of a fault.

#include "sdk/crashreporter/VuderuCrashAsync.h"

struct vdcrash_async_mobject_t {
    task_t task;
    vm_address_t task_address;  // the address asked for
    vm_address_t address;       // the matching local address
    vm_size_t length;           // usable bytes from `address`
    int64_t vm_slide;           // task address - local address
    vm_address_t vm_address;    // the mapped local region (whole pages)
    vm_size_t vm_length;
};

// The unit by which lazily read strings grow their mapping.
constexpr vm_size_t VDCRASH_ASYNC_MOBJECT_PAGE_SIZE = 16384;

// Maps [address, address + length) of the task. With `require_full` every byte must be readable;
// without it the mapping stops at the first unreadable page (nothing readable gives 3).
vdcrash_error_t vdcrash_async_mobject_init(vdcrash_async_mobject_t* mobj, task_t task, vm_address_t address,
                                           vm_size_t length, bool require_full);
// The local pointer for a task address + offset and a length, or null when that is not all mapped.
void* vdcrash_async_mobject_remap_address(const vdcrash_async_mobject_t* mobj, vm_address_t address, int64_t offset,
                                          size_t length);
bool vdcrash_async_mobject_verify_local_pointer(const vdcrash_async_mobject_t* mobj, uintptr_t address,
                                                int64_t offset, size_t length);
vdcrash_error_t vdcrash_async_mobject_read_uint8(const vdcrash_async_mobject_t* mobj, vm_address_t address,
                                                 int64_t offset, uint8_t* out);
vdcrash_error_t vdcrash_async_mobject_read_uint16(const vdcrash_async_mobject_t* mobj,
                                                  const vdcrash_async_byteorder_t* byteorder, vm_address_t address,
                                                  int64_t offset, uint16_t* out);
vdcrash_error_t vdcrash_async_mobject_read_uint32(const vdcrash_async_mobject_t* mobj,
                                                  const vdcrash_async_byteorder_t* byteorder, vm_address_t address,
                                                  int64_t offset, uint32_t* out);
vdcrash_error_t vdcrash_async_mobject_read_uint64(const vdcrash_async_mobject_t* mobj,
                                                  const vdcrash_async_byteorder_t* byteorder, vm_address_t address,
                                                  int64_t offset, uint64_t* out);
vm_address_t vdcrash_async_mobject_base_address(const vdcrash_async_mobject_t* mobj);
vm_size_t vdcrash_async_mobject_length(const vdcrash_async_mobject_t* mobj);
task_t vdcrash_async_mobject_task(const vdcrash_async_mobject_t* mobj);
void vdcrash_async_mobject_free(vdcrash_async_mobject_t* mobj);

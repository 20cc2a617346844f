#pragma once
// The small routines the crash path uses instead of the ordinary library: error codes, byte
// order, task memory reads that fail instead of faulting, string and memory routines, a buffered
// file writer with a size limit, signal and code names and a page-backed bump allocator.
// Everything here may run inside a signal handler: no heap, no locks.

#include "platform/system/mach.h"

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

enum vdcrash_error_t : int {
    VDCRASH_ESUCCESS = 0,
    VDCRASH_EUNKNOWN = 1,
    VDCRASH_OUTPUT_ERR = 2,
    VDCRASH_ENOMEM = 3,
    VDCRASH_ENOTSUP = 4,
    VDCRASH_EINVAL = 5,
    VDCRASH_EINTERNAL = 6,
    VDCRASH_EACCESS = 7,
    VDCRASH_ENOTFOUND = 8,
    VDCRASH_EINVALID_DATA = 9,
};

const char* vdcrash_async_strerror(vdcrash_error_t error);

struct vdcrash_async_byteorder_t {
    uint16_t (*swap16)(uint16_t);
    uint32_t (*swap32)(uint32_t);
    uint64_t (*swap64)(uint64_t);
};
uint16_t vdcr_nswap16(uint16_t v);
uint32_t vdcr_nswap32(uint32_t v);
uint64_t vdcr_nswap64(uint64_t v);
uint16_t vdcr_swap16(uint16_t v);
uint32_t vdcr_swap32(uint32_t v);
uint64_t vdcr_swap64(uint64_t v);
extern const vdcrash_async_byteorder_t vdcrash_async_byteorder_direct;
extern const vdcrash_async_byteorder_t vdcrash_async_byteorder_swapped;
const vdcrash_async_byteorder_t* vdcrash_async_byteorder_little_endian();
const vdcrash_async_byteorder_t* vdcrash_async_byteorder_big_endian();

kern_return_t vdcrash_async_read_addr(task_t task, vm_address_t source, void* dest, vm_size_t len);
// NO when address + offset would pass 0 or the top of the address range.
bool vdcrash_async_address_apply_offset(vm_address_t address, int64_t offset, vm_address_t* result);
vdcrash_error_t vdcrash_async_task_memcpy(task_t task, vm_address_t address, int64_t offset, void* dest, vm_size_t len);
vdcrash_error_t vdcrash_async_task_read_uint8(task_t task, vm_address_t address, int64_t offset, uint8_t* out);
vdcrash_error_t vdcrash_async_task_read_uint16(task_t task, const vdcrash_async_byteorder_t* byteorder,
                                               vm_address_t address, int64_t offset, uint16_t* out);
vdcrash_error_t vdcrash_async_task_read_uint32(task_t task, const vdcrash_async_byteorder_t* byteorder,
                                               vm_address_t address, int64_t offset, uint32_t* out);
vdcrash_error_t vdcrash_async_task_read_uint64(task_t task, const vdcrash_async_byteorder_t* byteorder,
                                               vm_address_t address, int64_t offset, uint64_t* out);

// The calling thread's port without holding a reference.
thread_t vd_mach_thread_self();

int vdcrash_async_strcmp(const char* s1, const char* s2);
int vdcrash_async_strncmp(const char* s1, const char* s2, size_t n);
size_t vdcrash_async_strlen(const char* s);
void* vdcrash_async_memcpy(void* dest, const void* source, size_t n);
void* vdcrash_async_memset(void* dest, uint8_t value, size_t n);

// Writes all of it, retrying on EINTR; the length, or -1.
ssize_t vdcrash_async_writen(int fd, const void* data, size_t len);

constexpr size_t VDCRASH_ASYNC_FILE_BUFLEN = 256;

// A buffered writer over a descriptor with an optional limit on the bytes it takes in all. A
// write that is refused (it would pass the limit) or that fails is remembered: flush and close
// report it, so a truncated report is never taken for a complete one.
struct vdcrash_async_file_t {
    int fd;
    off_t limit_bytes;
    off_t total_bytes;
    size_t buflen;
    bool failed;
    char buffer[VDCRASH_ASYNC_FILE_BUFLEN];
};
void vdcrash_async_file_init(vdcrash_async_file_t* file, int fd, off_t limit);
bool vdcrash_async_file_write(vdcrash_async_file_t* file, const void* data, size_t len);
// Writes the buffer out; NO when that fails or when an earlier write was refused or failed.
bool vdcrash_async_file_flush(vdcrash_async_file_t* file);
// Flushes and closes the descriptor; YES only when both succeed and no write was lost.
bool vdcrash_async_file_close(vdcrash_async_file_t* file);
// YES once any write was refused or failed.
bool vdcrash_async_file_has_failed(const vdcrash_async_file_t* file);

// Names in the device's numbering; null when there is none.
const char* vdcrash_async_signal_signame(int signo);
const char* vdcrash_async_signal_sigcode(int signo, int code);

// A bump allocator over one page-backed allocation, optionally with inaccessible guard pages.
enum : uint32_t {
    VDCRASH_ASYNC_ALLOCATOR_OPTION_GUARD_LOW = 1,
    VDCRASH_ASYNC_ALLOCATOR_OPTION_GUARD_HIGH = 2,
    VDCRASH_ASYNC_ALLOCATOR_OPTION_MAYFAIL = 1,
};
struct vdcrash_async_allocator_t;
vdcrash_error_t vdcrash_async_allocator_new(vdcrash_async_allocator_t** allocator, vm_size_t size, uint32_t flags);
// Memory of `size` bytes, 16-byte aligned; null when the space is exhausted (whether or not the
// caller allowed failure: nothing else is safe inside a signal handler).
void* vdcrash_async_allocator_alloc(vdcrash_async_allocator_t* allocator, size_t size, uint32_t flags);
void vdcrash_async_allocator_free(vdcrash_async_allocator_t* allocator);

#include "sdk/crashreporter/VuderuCrashAsync.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

const char* vdcrash_async_strerror(vdcrash_error_t error) {
    switch (error) {
    case VDCRASH_ESUCCESS: return "No error";
    case VDCRASH_EUNKNOWN: return "Unknown error";
    case VDCRASH_OUTPUT_ERR: return "Output file can not be opened (or written to)";
    case VDCRASH_ENOMEM: return "No memory available";
    case VDCRASH_ENOTSUP: return "Operation not supported";
    case VDCRASH_EINVAL: return "Invalid argument";
    case VDCRASH_EINTERNAL: return "Internal error";
    case VDCRASH_EACCESS: return "Access denied";
    case VDCRASH_ENOTFOUND: return "Not found";
    case VDCRASH_EINVALID_DATA: return "The input data is in an unknown or invalid format.";
    }
    return "Unhandled error code";
}

uint16_t vdcr_nswap16(uint16_t v) { return v; }
uint32_t vdcr_nswap32(uint32_t v) { return v; }
uint64_t vdcr_nswap64(uint64_t v) { return v; }
uint16_t vdcr_swap16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
uint32_t vdcr_swap32(uint32_t v) {
    return ((v & 0xFF) << 24) | ((v & 0xFF00) << 8) | ((v >> 8) & 0xFF00) | (v >> 24);
}
uint64_t vdcr_swap64(uint64_t v) {
    return (static_cast<uint64_t>(vdcr_swap32(static_cast<uint32_t>(v))) << 32) | vdcr_swap32(static_cast<uint32_t>(v >> 32));
}

const vdcrash_async_byteorder_t vdcrash_async_byteorder_direct = {vdcr_nswap16, vdcr_nswap32, vdcr_nswap64};
const vdcrash_async_byteorder_t vdcrash_async_byteorder_swapped = {vdcr_swap16, vdcr_swap32, vdcr_swap64};

// The host is little-endian.
const vdcrash_async_byteorder_t* vdcrash_async_byteorder_little_endian() { return &vdcrash_async_byteorder_direct; }
const vdcrash_async_byteorder_t* vdcrash_async_byteorder_big_endian() { return &vdcrash_async_byteorder_swapped; }

kern_return_t vdcrash_async_read_addr(task_t task, vm_address_t source, void* dest, vm_size_t len) {
    vm_size_t read = 0;
    return vm_read_overwrite(task, source, len, reinterpret_cast<vm_address_t>(dest), &read);
}

bool vdcrash_async_address_apply_offset(vm_address_t address, int64_t offset, vm_address_t* result) {
    vm_address_t sum;
    if (offset >= 0) {
        vm_address_t add = static_cast<vm_address_t>(offset);
        if (address > UINTPTR_MAX - add) return false;
        sum = address + add;
    } else {
        vm_address_t sub = static_cast<vm_address_t>(-(offset + 1)) + 1;
        if (sub > address) return false;
        sum = address - sub;
    }
    if (result) *result = sum;
    return true;
}

vdcrash_error_t vdcrash_async_task_memcpy(task_t task, vm_address_t address, int64_t offset, void* dest, vm_size_t len) {
    vm_address_t target;
    if (!vdcrash_async_address_apply_offset(address, offset, &target)) return VDCRASH_ENOMEM;
    switch (vdcrash_async_read_addr(task, target, dest, len)) {
    case KERN_SUCCESS: return VDCRASH_ESUCCESS;
    case KERN_INVALID_ADDRESS: return VDCRASH_ENOTFOUND;
    case KERN_PROTECTION_FAILURE: return VDCRASH_EACCESS;
    default: return VDCRASH_EUNKNOWN;
    }
}

vdcrash_error_t vdcrash_async_task_read_uint8(task_t task, vm_address_t address, int64_t offset, uint8_t* out) {
    return vdcrash_async_task_memcpy(task, address, offset, out, sizeof *out);
}

vdcrash_error_t vdcrash_async_task_read_uint16(task_t task, const vdcrash_async_byteorder_t* byteorder,
                                               vm_address_t address, int64_t offset, uint16_t* out) {
    uint16_t v;
    vdcrash_error_t err = vdcrash_async_task_memcpy(task, address, offset, &v, sizeof v);
    if (err == VDCRASH_ESUCCESS) *out = byteorder->swap16(v);
    return err;
}

vdcrash_error_t vdcrash_async_task_read_uint32(task_t task, const vdcrash_async_byteorder_t* byteorder,
                                               vm_address_t address, int64_t offset, uint32_t* out) {
    uint32_t v;
    vdcrash_error_t err = vdcrash_async_task_memcpy(task, address, offset, &v, sizeof v);
    if (err == VDCRASH_ESUCCESS) *out = byteorder->swap32(v);
    return err;
}

vdcrash_error_t vdcrash_async_task_read_uint64(task_t task, const vdcrash_async_byteorder_t* byteorder,
                                               vm_address_t address, int64_t offset, uint64_t* out) {
    uint64_t v;
    vdcrash_error_t err = vdcrash_async_task_memcpy(task, address, offset, &v, sizeof v);
    if (err == VDCRASH_ESUCCESS) *out = byteorder->swap64(v);
    return err;
}

thread_t vd_mach_thread_self() {
    thread_t self = mach_thread_self();
    mach_port_deallocate(mach_task_self(), self);
    return self;
}

int vdcrash_async_strcmp(const char* s1, const char* s2) {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(s1);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(s2);
    while (*a && *a == *b) ++a, ++b;
    return *a - *b;
}

int vdcrash_async_strncmp(const char* s1, const char* s2, size_t n) {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(s1);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(s2);
    for (; n > 0; --n, ++a, ++b) {
        if (*a != *b) return *a - *b;
        if (*a == 0) return 0;
    }
    return 0;
}

size_t vdcrash_async_strlen(const char* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

void* vdcrash_async_memcpy(void* dest, const void* source, size_t n) {
    auto* d = static_cast<uint8_t*>(dest);
    const auto* s = static_cast<const uint8_t*>(source);
    for (size_t i = 0; i < n; ++i) d[i] = s[i];
    return dest;
}

void* vdcrash_async_memset(void* dest, uint8_t value, size_t n) {
    auto* d = static_cast<uint8_t*>(dest);
    for (size_t i = 0; i < n; ++i) d[i] = value;
    return dest;
}

ssize_t vdcrash_async_writen(int fd, const void* data, size_t len) {
    const auto* p = static_cast<const uint8_t*>(data);
    size_t left = len;
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(len);
}

void vdcrash_async_file_init(vdcrash_async_file_t* file, int fd, off_t limit) {
    file->fd = fd;
    file->limit_bytes = limit;
    file->total_bytes = 0;
    file->buflen = 0;
    file->failed = false;
}

bool vdcrash_async_file_write(vdcrash_async_file_t* file, const void* data, size_t len) {
    if (file->limit_bytes != 0) {
        if (file->total_bytes + static_cast<off_t>(len) > file->limit_bytes) {
            file->failed = true;
            return false;
        }
        file->total_bytes += static_cast<off_t>(len);
    }
    if (file->buflen + len > VDCRASH_ASYNC_FILE_BUFLEN) {
        if (vdcrash_async_writen(file->fd, file->buffer, file->buflen) < 0) {
            file->failed = true;
            return false;
        }
        file->buflen = 0;
    }
    if (len > VDCRASH_ASYNC_FILE_BUFLEN) {
        if (vdcrash_async_writen(file->fd, data, len) < 0) {
            file->failed = true;
            return false;
        }
        return true;
    }
    vdcrash_async_memcpy(file->buffer + file->buflen, data, len);
    file->buflen += len;
    return true;
}

bool vdcrash_async_file_flush(vdcrash_async_file_t* file) {
    if (file->buflen > 0) {
        if (vdcrash_async_writen(file->fd, file->buffer, file->buflen) < 0) file->failed = true;
        file->buflen = 0;
    }
    return !file->failed;
}

bool vdcrash_async_file_close(vdcrash_async_file_t* file) {
    bool flushed = vdcrash_async_file_flush(file);
    bool closed = close(file->fd) == 0;
    return flushed && closed;
}

bool vdcrash_async_file_has_failed(const vdcrash_async_file_t* file) { return file->failed; }

namespace {

struct SignalName {
    int signo;
    const char* name;
};
// Searched from the top: the first match wins (6 is SIGABRT, not SIGIOT).
constexpr SignalName kSignalNames[] = {
    {1, "SIGHUP"},    {2, "SIGINT"},   {3, "SIGQUIT"},  {4, "SIGILL"},    {5, "SIGTRAP"},   {6, "SIGABRT"},
    {6, "SIGIOT"},    {7, "SIGEMT"},   {8, "SIGFPE"},   {9, "SIGKILL"},   {10, "SIGBUS"},   {11, "SIGSEGV"},
    {12, "SIGSYS"},   {13, "SIGPIPE"}, {14, "SIGALRM"}, {15, "SIGTERM"},  {16, "SIGURG"},   {17, "SIGSTOP"},
    {18, "SIGTSTP"},  {19, "SIGCONT"}, {20, "SIGCHLD"}, {21, "SIGTTIN"},  {22, "SIGTTOU"},  {23, "SIGIO"},
    {24, "SIGXCPU"},  {25, "SIGXFSZ"}, {26, "SIGVTALRM"}, {27, "SIGPROF"}, {28, "SIGWINCH"}, {29, "SIGINFO"},
    {30, "SIGUSR1"},  {31, "SIGUSR2"},
};

struct SignalCode {
    int signo;
    int code;
    const char* name;
};
constexpr SignalCode kSignalCodes[] = {
    {4, 0, "ILL_NOOP"},    {4, 1, "ILL_ILLOPC"},  {4, 2, "ILL_ILLTRP"},  {4, 3, "ILL_PRVOPC"},
    {4, 4, "ILL_ILLOPN"},  {4, 5, "ILL_ILLADR"},  {4, 6, "ILL_PRVREG"},  {4, 7, "ILL_COPROC"},
    {4, 8, "ILL_BADSTK"},  {8, 0, "FPE_NOOP"},    {8, 1, "FPE_FLTDIV"},  {8, 2, "FPE_FLTOVF"},
    {8, 3, "FPE_FLTUND"},  {8, 4, "FPE_FLTRES"},  {8, 5, "FPE_FLTINV"},  {8, 6, "FPE_FLTSUB"},
    {8, 7, "FPE_INTDIV"},  {8, 8, "FPE_INTOVF"},  {11, 0, "SEGV_NOOP"},  {11, 1, "SEGV_MAPERR"},
    {11, 2, "SEGV_ACCERR"}, {10, 0, "BUS_NOOP"},  {10, 1, "BUS_ADRALN"}, {10, 2, "BUS_ADRERR"},
    {10, 3, "BUS_OBJERR"}, {5, 1, "TRAP_BRKPT"},  {5, 2, "TRAP_TRACE"},  {6, 0, "#0"},
};

} // namespace

const char* vdcrash_async_signal_signame(int signo) {
    for (const SignalName& s : kSignalNames)
        if (s.signo == signo) return s.name;
    return nullptr;
}

const char* vdcrash_async_signal_sigcode(int signo, int code) {
    for (const SignalCode& s : kSignalCodes)
        if (s.signo == signo && s.code == code) return s.name;
    return nullptr;
}

struct vdcrash_async_allocator_t {
    vm_address_t base;
    vm_size_t total;
    vm_address_t usable_start;
    vm_size_t usable_size;
    std::atomic<vm_address_t> next_free;
    uint32_t flags;
};
static_assert(sizeof(vdcrash_async_allocator_t) <= 48, "the allocator record fits its 48 bytes");

namespace {
constexpr vm_size_t kAllocatorRecordSize = 48;
constexpr vm_size_t kGuardSize = 16384;
constexpr vm_address_t kAlignment = 16;
vm_address_t alignUp(vm_address_t v, vm_address_t a) { return (v + a - 1) & ~(a - 1); }
} // namespace

vdcrash_error_t vdcrash_async_allocator_new(vdcrash_async_allocator_t** allocator, vm_size_t size, uint32_t flags) {
    vm_size_t usable = alignUp(size + kAllocatorRecordSize, vm_page_size);
    char line[64];
    int n = snprintf(line, sizeof line, "allocated: %lu\n", static_cast<unsigned long>(usable));
    if (n > 0) (void)!write(STDERR_FILENO, line, static_cast<size_t>(n));
    vm_size_t low = (flags & VDCRASH_ASYNC_ALLOCATOR_OPTION_GUARD_LOW) ? kGuardSize : 0;
    vm_size_t high = (flags & VDCRASH_ASYNC_ALLOCATOR_OPTION_GUARD_HIGH) ? kGuardSize : 0;
    vm_size_t total = low + usable + high;
    vm_address_t base = 0;
    if (vm_allocate(mach_task_self(), &base, total, VM_FLAGS_ANYWHERE) != KERN_SUCCESS) return VDCRASH_ENOMEM;
    if ((low && vm_protect(mach_task_self(), base, low, false, VM_PROT_NONE) != KERN_SUCCESS) ||
        (high && vm_protect(mach_task_self(), base + low + usable, high, false, VM_PROT_NONE) != KERN_SUCCESS)) {
        vm_deallocate(mach_task_self(), base, total);
        return VDCRASH_ENOMEM;
    }
    auto* record = reinterpret_cast<vdcrash_async_allocator_t*>(base + low);
    record->base = base;
    record->total = total;
    record->usable_start = base + low;
    record->usable_size = usable;
    record->next_free.store(alignUp(base + low + kAllocatorRecordSize, kAlignment));
    record->flags = flags;
    *allocator = record;
    return VDCRASH_ESUCCESS;
}

void* vdcrash_async_allocator_alloc(vdcrash_async_allocator_t* allocator, size_t size, uint32_t) {
    vm_address_t end = allocator->usable_start + allocator->usable_size;
    vm_address_t current = allocator->next_free.load();
    while (end - current >= size) {
        vm_address_t next = alignUp(current + size, kAlignment);
        if (next > end) next = end;
        if (allocator->next_free.compare_exchange_weak(current, next)) return reinterpret_cast<void*>(current);
    }
    return nullptr;
}

void vdcrash_async_allocator_free(vdcrash_async_allocator_t* allocator) {
    vm_deallocate(mach_task_self(), allocator->base, allocator->total);
}

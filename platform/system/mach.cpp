#include "platform/system/mach.h"

#include "platform/system/MemoryRead.h"
#include "platform/system/mach_port.h"

#include <atomic>
#include <cerrno>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

const std::string NSMachErrorDomain = "NSMachErrorDomain";
const vm_size_t vm_page_size = 4096;

namespace {

constexpr task_t kOwnTask = 0x103;
constexpr mach_port_t kMemoryEntryBase = 0x4000000;
constexpr int kMemoryEntrySlots = 64;

struct MemoryEntry {
    std::atomic<bool> used{false};
    uintptr_t address = 0;
    uint64_t size = 0;
};
MemoryEntry memoryEntries[kMemoryEntrySlots];

uintptr_t pageDown(uintptr_t a) { return a & ~(uintptr_t(vm_page_size) - 1); }

// One fault-free read of the own process; the number of bytes read, -1 on failure.
ssize_t readOwn(uintptr_t address, void* data, size_t size) { return vdsys_read_own_memory(address, data, size); }

// Why the page at `address` can't be read: not mapped, or mapped without read access.
kern_return_t classifyUnreadable(uintptr_t address) {
    unsigned char vec = 0;
    if (mincore(reinterpret_cast<void*>(pageDown(address)), vm_page_size, &vec) != 0 && errno == ENOMEM)
        return KERN_INVALID_ADDRESS;
    return KERN_PROTECTION_FAILURE;
}

bool pageReadable(uintptr_t page) {
    unsigned char byte;
    return readOwn(page, &byte, 1) == 1;
}

} // namespace

task_t mach_task_self() { return kOwnTask; }

thread_t mach_thread_self() { return static_cast<thread_t>(syscall(SYS_gettid)); }

kern_return_t mach_port_deallocate(task_t task, mach_port_t name) {
    if (task != kOwnTask) return KERN_INVALID_ARGUMENT;
    if (name >= kMemoryEntryBase && name < kMemoryEntryBase + kMemoryEntrySlots) {
        memoryEntries[name - kMemoryEntryBase].used.store(false, std::memory_order_release);
        return KERN_SUCCESS;
    }
    kern_return_t result = KERN_SUCCESS;
    vdsys_port_deallocate(name, &result);
    // The task and thread names hold no references here.
    return result;
}

kern_return_t mach_port_mod_refs(task_t task, mach_port_t name, int right, int delta) {
    if (task != kOwnTask) return KERN_INVALID_ARGUMENT;
    kern_return_t result = KERN_SUCCESS;
    vdsys_port_mod_refs(name, static_cast<mach_port_right_t>(right), delta, &result);
    return result;
}

kern_return_t vm_read_overwrite(task_t task, vm_address_t address, vm_size_t size, vm_address_t data,
                                vm_size_t* outsize) {
    if (task != kOwnTask) return KERN_INVALID_ARGUMENT;
    if (outsize) *outsize = 0;
    if (size == 0) return KERN_SUCCESS;
    if (address + size < address) return KERN_INVALID_ADDRESS;
    size_t done = 0;
    while (done < size) {
        ssize_t n = readOwn(address + done, reinterpret_cast<void*>(data + done), size - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            return classifyUnreadable(address + done);
        }
        done += static_cast<size_t>(n);
    }
    if (outsize) *outsize = size;
    return KERN_SUCCESS;
}

namespace {
std::atomic<int> failingAllocations{0};
}

void vdsys_test_fail_vm_allocate(int calls) { failingAllocations.store(calls); }

kern_return_t vm_allocate(task_t task, vm_address_t* address, vm_size_t size, int flags) {
    if (task != kOwnTask || !(flags & VM_FLAGS_ANYWHERE) || size == 0) return KERN_INVALID_ARGUMENT;
    for (int left = failingAllocations.load(); left > 0;)
        if (failingAllocations.compare_exchange_weak(left, left - 1)) return KERN_NO_SPACE;
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return KERN_NO_SPACE;
    *address = reinterpret_cast<vm_address_t>(p);
    return KERN_SUCCESS;
}

kern_return_t vm_deallocate(task_t task, vm_address_t address, vm_size_t size) {
    if (task != kOwnTask) return KERN_INVALID_ARGUMENT;
    if (size == 0) return KERN_SUCCESS;
    return munmap(reinterpret_cast<void*>(pageDown(address)), size) == 0 ? KERN_SUCCESS : KERN_INVALID_ADDRESS;
}

static int hostProtection(vm_prot_t p) {
    int prot = PROT_NONE;
    if (p & VM_PROT_READ) prot |= PROT_READ;
    if (p & VM_PROT_WRITE) prot |= PROT_WRITE;
    if (p & VM_PROT_EXECUTE) prot |= PROT_EXEC;
    return prot;
}

kern_return_t vm_protect(task_t task, vm_address_t address, vm_size_t size, boolean_t, vm_prot_t newProtection) {
    if (task != kOwnTask) return KERN_INVALID_ARGUMENT;
    return mprotect(reinterpret_cast<void*>(address), size, hostProtection(newProtection)) == 0
               ? KERN_SUCCESS
               : KERN_PROTECTION_FAILURE;
}

kern_return_t mach_make_memory_entry_64(vm_map_t task, memory_object_size_t* size, memory_object_offset_t offset,
                                        vm_prot_t, mach_port_t* objectHandle, mem_entry_name_port_t) {
    if (task != kOwnTask || !size || !objectHandle || *size == 0) return KERN_INVALID_ARGUMENT;
    uintptr_t start = static_cast<uintptr_t>(offset);
    uintptr_t end = start + *size;
    if (end < start) return KERN_INVALID_ADDRESS;
    uintptr_t readable = start;
    for (uintptr_t page = pageDown(start); page < end; page += vm_page_size) {
        if (!pageReadable(page)) break;
        readable = page + vm_page_size < end ? page + vm_page_size : end;
    }
    if (readable == start) return classifyUnreadable(start);
    for (int i = 0; i < kMemoryEntrySlots; ++i) {
        bool expected = false;
        if (memoryEntries[i].used.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) {
            memoryEntries[i].address = start;
            memoryEntries[i].size = readable - start;
            *size = readable - start;
            *objectHandle = kMemoryEntryBase + static_cast<mach_port_t>(i);
            return KERN_SUCCESS;
        }
    }
    return KERN_RESOURCE_SHORTAGE;
}

kern_return_t vm_map(vm_map_t targetTask, vm_address_t* address, vm_size_t size, vm_address_t, int flags,
                     mem_entry_name_port_t object, memory_object_offset_t offset, boolean_t copy,
                     vm_prot_t curProtection, vm_prot_t, vm_inherit_t) {
    if (targetTask != kOwnTask || !address || !copy || (flags & VM_FLAGS_ANYWHERE) || !(flags & VM_FLAGS_OVERWRITE))
        return KERN_INVALID_ARGUMENT;
    if (object < kMemoryEntryBase || object >= kMemoryEntryBase + kMemoryEntrySlots) return KERN_INVALID_NAME;
    const MemoryEntry& entry = memoryEntries[object - kMemoryEntryBase];
    if (!entry.used.load(std::memory_order_acquire)) return KERN_INVALID_NAME;
    if (offset > entry.size || size > entry.size - offset) return KERN_INVALID_ARGUMENT;
    void* target = reinterpret_cast<void*>(*address);
    if (mprotect(target, size, PROT_READ | PROT_WRITE) != 0) return KERN_INVALID_ADDRESS;
    vm_size_t copied = 0;
    kern_return_t kr = vm_read_overwrite(targetTask, entry.address + offset, size, *address, &copied);
    if (kr != KERN_SUCCESS) return kr;
    return mprotect(target, size, hostProtection(curProtection)) == 0 ? KERN_SUCCESS : KERN_PROTECTION_FAILURE;
}

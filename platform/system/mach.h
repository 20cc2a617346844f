#pragma once
// The Mach task, thread and virtual-memory calls the crash reporter makes, for the own task of
// this process. Every call here is async-signal-safe: no heap, no locks, only system calls and
// atomics, because the crash path runs them inside a signal handler.
//
// Reads of task memory never fault: they go through vdsys_read_own_memory, and a failed read is told
// apart as unmapped (KERN_INVALID_ADDRESS) or protected (KERN_PROTECTION_FAILURE) with mincore.

#include <cstddef>
#include <cstdint>
#include <string>

typedef int kern_return_t;
typedef unsigned int mach_port_t;
typedef mach_port_t task_t;
typedef mach_port_t thread_t;
typedef mach_port_t vm_map_t;
typedef mach_port_t mem_entry_name_port_t;
typedef uintptr_t vm_address_t;
typedef uintptr_t vm_size_t;
typedef uint64_t mach_vm_address_t;
typedef uint64_t mach_vm_size_t;
typedef uint64_t memory_object_size_t;
typedef uint64_t memory_object_offset_t;
typedef int vm_prot_t;
typedef unsigned int vm_inherit_t;
typedef int boolean_t;
typedef int cpu_type_t;
typedef int cpu_subtype_t;
typedef int exception_type_t;
typedef int64_t mach_exception_data_type_t;
typedef unsigned int mach_msg_type_number_t;

enum : kern_return_t {
    KERN_SUCCESS = 0,
    KERN_INVALID_ADDRESS = 1,
    KERN_PROTECTION_FAILURE = 2,
    KERN_NO_SPACE = 3,
    KERN_INVALID_ARGUMENT = 4,
    KERN_FAILURE = 5,
    KERN_RESOURCE_SHORTAGE = 6,
    KERN_INVALID_NAME = 15,
    KERN_OPERATION_TIMED_OUT = 49,
};

constexpr mach_port_t MACH_PORT_NULL = 0;

constexpr vm_prot_t VM_PROT_NONE = 0;
constexpr vm_prot_t VM_PROT_READ = 1;
constexpr vm_prot_t VM_PROT_WRITE = 2;
constexpr vm_prot_t VM_PROT_EXECUTE = 4;
constexpr vm_prot_t VM_PROT_DEFAULT = VM_PROT_READ | VM_PROT_WRITE;

constexpr int VM_FLAGS_FIXED = 0x0;
constexpr int VM_FLAGS_ANYWHERE = 0x1;
constexpr int VM_FLAGS_OVERWRITE = 0x4000;
constexpr vm_inherit_t VM_INHERIT_NONE = 2;

constexpr cpu_type_t CPU_ARCH_ABI64 = 0x01000000;
constexpr cpu_type_t CPU_TYPE_ANY = -1;
constexpr cpu_type_t CPU_TYPE_X86 = 7;
constexpr cpu_type_t CPU_TYPE_X86_64 = CPU_TYPE_X86 | CPU_ARCH_ABI64;
constexpr cpu_type_t CPU_TYPE_ARM = 12;
constexpr cpu_type_t CPU_TYPE_ARM64 = CPU_TYPE_ARM | CPU_ARCH_ABI64;
constexpr cpu_subtype_t CPU_SUBTYPE_X86_64_ALL = 3;
constexpr cpu_subtype_t CPU_SUBTYPE_ARM64_ALL = 0;
constexpr cpu_subtype_t CPU_SUBTYPE_ARM_V7 = 9;

// The domain of errors that carry a kern_return_t.
extern const std::string NSMachErrorDomain;

// The page size of the host (4096 here).
extern const vm_size_t vm_page_size;

// The own task, the only task this stand-in serves; any other task is an invalid argument.
task_t mach_task_self();
// The calling thread's port (its kernel thread id). Like the device's call it hands out a
// reference, which mach_port_deallocate gives back.
thread_t mach_thread_self();
kern_return_t mach_port_deallocate(task_t task, mach_port_t name);
kern_return_t mach_port_mod_refs(task_t task, mach_port_t name, int right, int delta);

// Copies `size` bytes at `address` of the task to `data`. KERN_INVALID_ADDRESS when part of the
// range is not mapped, KERN_PROTECTION_FAILURE when it is mapped but can't be read.
kern_return_t vm_read_overwrite(task_t task, vm_address_t address, vm_size_t size, vm_address_t data,
                                vm_size_t* outsize);

kern_return_t vm_allocate(task_t task, vm_address_t* address, vm_size_t size, int flags);
kern_return_t vm_deallocate(task_t task, vm_address_t address, vm_size_t size);
// For tests: the next `calls` vm_allocate calls fail with KERN_NO_SPACE.
void vdsys_test_fail_vm_allocate(int calls);
kern_return_t vm_protect(task_t task, vm_address_t address, vm_size_t size, boolean_t setMaximum,
                         vm_prot_t newProtection);

// A memory entry names a readable range of the task (`offset` is its address). The size is cut
// to the readable part from the start; a range whose first page can't be read fails. Entries are
// kept in a fixed table, so that making one needs no heap; mach_port_deallocate frees the slot.
kern_return_t mach_make_memory_entry_64(vm_map_t task, memory_object_size_t* size, memory_object_offset_t offset,
                                        vm_prot_t permission, mach_port_t* objectHandle,
                                        mem_entry_name_port_t parentEntry);
// Maps `size` bytes of a memory entry (from `offset` within it) at *address. Only copy mappings
// over an existing allocation are served (VM_FLAGS_FIXED | VM_FLAGS_OVERWRITE, copy YES): the
// bytes are copied in and the range is given the current protection.
kern_return_t vm_map(vm_map_t targetTask, vm_address_t* address, vm_size_t size, vm_address_t mask, int flags,
                     mem_entry_name_port_t object, memory_object_offset_t offset, boolean_t copy,
                     vm_prot_t curProtection, vm_prot_t maxProtection, vm_inherit_t inheritance);

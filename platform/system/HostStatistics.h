#pragma once
// The Mach host and task statistics the device's system offers (beside the task and memory
// calls of mach.h), answered from Linux's /proc:
// the page size, the virtual-memory page counts, the task's basic facts and its threads with
// their CPU usage. Results and flavours keep the system's numbers.
//
// Page counts come from /proc/meminfo: free = MemFree, active = Active, inactive = Inactive and
// wired = the rest of MemTotal (kernel and locked memory), so the four add up to the host's
// memory. A thread's cpu_usage is its CPU time over its lifetime in TH_USAGE_SCALE units (Linux
// keeps no decaying average); no thread of a process is the processor's idle thread.

#include "platform/system/mach.h"

#include <cstddef>
#include <cstdint>

typedef unsigned int natural_t;
typedef int integer_t;
typedef unsigned int mach_msg_type_number_t;
typedef mach_port_t host_t;
typedef thread_t thread_act_t;
typedef thread_act_t* thread_act_array_t;
typedef integer_t* host_info_t;
typedef integer_t* task_info_t;
typedef integer_t* thread_info_t;

inline constexpr int HOST_VM_INFO = 2;
inline constexpr int TASK_BASIC_INFO_64 = 18;
inline constexpr int THREAD_BASIC_INFO = 3;
inline constexpr integer_t TH_USAGE_SCALE = 1000;
inline constexpr integer_t TH_FLAGS_IDLE = 0x2;
inline constexpr integer_t TH_STATE_RUNNING = 1;
inline constexpr integer_t TH_STATE_WAITING = 3;

struct vm_statistics {
    natural_t free_count;
    natural_t active_count;
    natural_t inactive_count;
    natural_t wire_count;
    natural_t zero_fill_count;
    natural_t reactivations;
    natural_t pageins;
    natural_t pageouts;
    natural_t faults;
    natural_t cow_faults;
    natural_t lookups;
    natural_t hits;
    natural_t purgeable_count;
    natural_t purges;
    natural_t speculative_count;
};
using vm_statistics_data_t = vm_statistics;
inline constexpr mach_msg_type_number_t HOST_VM_INFO_COUNT = sizeof(vm_statistics_data_t) / sizeof(integer_t); // 15

struct time_value_t {
    integer_t seconds;
    integer_t microseconds;
};

struct task_basic_info_64 {
    integer_t suspend_count;
    std::uint64_t virtual_size;
    std::uint64_t resident_size;
    time_value_t user_time;
    time_value_t system_time;
    integer_t policy;
};
inline constexpr mach_msg_type_number_t TASK_BASIC_INFO_64_COUNT = sizeof(task_basic_info_64) / sizeof(natural_t);

struct thread_basic_info {
    time_value_t user_time;
    time_value_t system_time;
    integer_t cpu_usage;
    integer_t policy;
    integer_t run_state;
    integer_t flags;
    integer_t suspend_count;
    integer_t sleep_time;
};
inline constexpr mach_msg_type_number_t THREAD_BASIC_INFO_COUNT = sizeof(thread_basic_info) / sizeof(natural_t); // 10

host_t mach_host_self();

kern_return_t host_page_size(host_t host, vm_size_t* pageSize);
// HOST_VM_INFO into a vm_statistics_data_t; *count is the room in integer_t units and becomes
// what was written.
kern_return_t host_statistics(host_t host, int flavor, host_info_t info, mach_msg_type_number_t* count);

// For the own task (mach_task_self()) only, like the rest of the Mach stand-in.
kern_return_t task_info(task_t task, int flavor, task_info_t info, mach_msg_type_number_t* count);
// The task's threads (kernel thread ids, as mach_thread_self gives them); the list is allocated
// with vm_allocate and released with vm_deallocate.
kern_return_t task_threads(task_t task, thread_act_array_t* threads, mach_msg_type_number_t* count);
kern_return_t thread_info(thread_act_t thread, int flavor, thread_info_t info, mach_msg_type_number_t* count);

#pragma once
// Mach exceptions in the own task: the task's and threads' exception-port tables, the raise calls
// that deliver an exception request to a port and wait for the reply, and the kernel's side for
// tests. Real faults on this host arrive as signals; vdsys_mach_raise_exception stands for the
// kernel turning a fault into an exception message.

#include "platform/system/mach_port.h"
#include "platform/system/thread_status.h"

#include <cstdint>

typedef unsigned int exception_mask_t;
typedef int exception_behavior_t;
typedef int32_t exception_data_type_t;
typedef exception_mask_t* exception_mask_array_t;
typedef mach_port_t* exception_handler_array_t;
typedef exception_behavior_t* exception_behavior_array_t;
typedef thread_state_flavor_t* exception_flavor_array_t;
typedef uint32_t* thread_state_t;

enum : exception_type_t {
    EXC_BAD_ACCESS = 1,
    EXC_BAD_INSTRUCTION = 2,
    EXC_ARITHMETIC = 3,
    EXC_EMULATION = 4,
    EXC_SOFTWARE = 5,
    EXC_BREAKPOINT = 6,
    EXC_SYSCALL = 7,
    EXC_MACH_SYSCALL = 8,
    EXC_RPC_ALERT = 9,
    EXC_CRASH = 10,
    EXC_RESOURCE = 11,
    EXC_GUARD = 12,
};
constexpr unsigned EXC_TYPES_COUNT = 13;

enum : exception_mask_t {
    EXC_MASK_BAD_ACCESS = 1u << EXC_BAD_ACCESS,
    EXC_MASK_BAD_INSTRUCTION = 1u << EXC_BAD_INSTRUCTION,
    EXC_MASK_ARITHMETIC = 1u << EXC_ARITHMETIC,
    EXC_MASK_EMULATION = 1u << EXC_EMULATION,
    EXC_MASK_SOFTWARE = 1u << EXC_SOFTWARE,
    EXC_MASK_BREAKPOINT = 1u << EXC_BREAKPOINT,
    EXC_MASK_GUARD = 1u << EXC_GUARD,
};

enum : exception_behavior_t {
    EXCEPTION_DEFAULT = 1,
    EXCEPTION_STATE = 2,
    EXCEPTION_STATE_IDENTITY = 3,
};
constexpr exception_behavior_t MACH_EXCEPTION_CODES = static_cast<exception_behavior_t>(0x80000000u);

// The request ids: exception_raise, _state, _state_identity; their 64-bit-code forms follow at +4.
enum : mach_msg_id_t {
    VDSYS_EXCEPTION_RAISE_ID = 2401,
    VDSYS_EXCEPTION_RAISE_STATE_ID = 2402,
    VDSYS_EXCEPTION_RAISE_STATE_IDENTITY_ID = 2403,
    VDSYS_MACH_EXCEPTION_CODES_ID_OFFSET = 4,
    VDSYS_EXCEPTION_REPLY_ID_OFFSET = 100,
};
// Largest thread state a state request carries, in 32-bit words.
constexpr mach_msg_type_number_t VDSYS_THREAD_STATE_MAX = 144;

// Installs a registration for every exception in `mask` and returns the earlier registrations,
// one entry per distinct {port, behavior, flavor} with the mask bits it had; the caller owns a send
// right for each returned port. `*count` is the arrays' capacity in, the entries out.
kern_return_t task_swap_exception_ports(task_t task, exception_mask_t mask, mach_port_t new_port,
                                        exception_behavior_t behavior, thread_state_flavor_t new_flavor,
                                        exception_mask_array_t masks, mach_msg_type_number_t* count,
                                        exception_handler_array_t old_handlers, exception_behavior_array_t old_behaviors,
                                        exception_flavor_array_t old_flavors);
kern_return_t task_get_exception_ports(task_t task, exception_mask_t mask, exception_mask_array_t masks,
                                       mach_msg_type_number_t* count, exception_handler_array_t handlers,
                                       exception_behavior_array_t behaviors, exception_flavor_array_t flavors);
kern_return_t thread_swap_exception_ports(thread_t thread, exception_mask_t mask, mach_port_t new_port,
                                          exception_behavior_t behavior, thread_state_flavor_t new_flavor,
                                          exception_mask_array_t masks, mach_msg_type_number_t* count,
                                          exception_handler_array_t old_handlers,
                                          exception_behavior_array_t old_behaviors, exception_flavor_array_t old_flavors);
kern_return_t thread_get_exception_ports(thread_t thread, exception_mask_t mask, exception_mask_array_t masks,
                                         mach_msg_type_number_t* count, exception_handler_array_t handlers,
                                         exception_behavior_array_t behaviors, exception_flavor_array_t flavors);

// Send an exception request with 32-bit codes to `port` and wait for the reply: its return code.
kern_return_t exception_raise(mach_port_t port, thread_t thread, task_t task, exception_type_t exception,
                              const exception_data_type_t* code, mach_msg_type_number_t code_count);
kern_return_t exception_raise_state(mach_port_t port, exception_type_t exception, const exception_data_type_t* code,
                                    mach_msg_type_number_t code_count, thread_state_flavor_t* flavor,
                                    const uint32_t* old_state, mach_msg_type_number_t old_state_count,
                                    uint32_t* new_state, mach_msg_type_number_t* new_state_count);
kern_return_t exception_raise_state_identity(mach_port_t port, thread_t thread, task_t task, exception_type_t exception,
                                             const exception_data_type_t* code, mach_msg_type_number_t code_count,
                                             thread_state_flavor_t* flavor, const uint32_t* old_state,
                                             mach_msg_type_number_t old_state_count, uint32_t* new_state,
                                             mach_msg_type_number_t* new_state_count);

// The kernel's side, for tests: delivers an exception of `thread` to its registered port (the
// thread's, then the task's), in the form its registration asks for, and waits for the handler's
// reply. A handler that answers other than KERN_SUCCESS passes it on to the next level. The
// result of the last handler, or KERN_FAILURE when none is registered.
kern_return_t vdsys_mach_raise_exception(thread_t thread, exception_type_t exception,
                                         const mach_exception_data_type_t* codes, mach_msg_type_number_t count);

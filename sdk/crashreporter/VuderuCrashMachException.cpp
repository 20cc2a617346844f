// Forwarding an exception to the handler registered before ours, and a Mach exception's signal.
// Both run inside the exception callback while the faulting thread is suspended: the fixed-size
// record and the stack only.
#include "sdk/crashreporter/VuderuCrashMachExceptionServer.h"

#include "platform/system/SignalTranslation.h"

namespace {

constexpr exception_behavior_t kBehaviorMask = ~MACH_EXCEPTION_CODES;
constexpr mach_msg_type_number_t kMaxForwardedCodes = 16;

} // namespace

kern_return_t VuderuCrashMachExceptionForward(task_t task, thread_t thread, exception_type_t exception,
                                              const mach_exception_data_type_t* code, mach_msg_type_number_t code_count,
                                              const vdcrash_mach_exception_port_set* port_state) {
    if (exception < 0 || exception >= 32) return KERN_FAILURE;
    const exception_mask_t bit = 1u << exception;
    uint32_t found = port_state->count;
    for (uint32_t i = 0; i < port_state->count && i < VDCRASH_EXC_TYPES_COUNT; ++i) {
        if (MACH_PORT_VALID(port_state->ports[i]) && (port_state->masks[i] & bit)) {
            found = i;
            break;
        }
    }
    if (found >= port_state->count || found >= VDCRASH_EXC_TYPES_COUNT) return KERN_FAILURE;

    exception_data_type_t codes32[kMaxForwardedCodes];
    mach_msg_type_number_t count = code_count < kMaxForwardedCodes ? code_count : kMaxForwardedCodes;
    for (mach_msg_type_number_t i = 0; i < count; ++i) codes32[i] = static_cast<exception_data_type_t>(code[i]);

    const mach_port_t port = port_state->ports[found];
    const exception_behavior_t behavior = port_state->behaviors[found];
    const bool wideCodes = (behavior & MACH_EXCEPTION_CODES) != 0;
    if ((behavior & kBehaviorMask) == EXCEPTION_DEFAULT) {
        if (wideCodes) return KERN_FAILURE;
        return exception_raise(port, thread, task, exception, codes32, count);
    }
    thread_state_flavor_t flavor = port_state->flavors[found];
    uint32_t state[VDSYS_THREAD_STATE_MAX];
    mach_msg_type_number_t stateCount = VDSYS_THREAD_STATE_MAX;
    kern_return_t kr = thread_get_state(thread, flavor, state, &stateCount);
    if (kr != KERN_SUCCESS) return kr;
    if (wideCodes) return KERN_FAILURE;
    // The handler's new state is not applied to the thread.
    mach_msg_type_number_t newCount = VDSYS_THREAD_STATE_MAX;
    switch (behavior & kBehaviorMask) {
    case EXCEPTION_STATE:
        return exception_raise_state(port, exception, codes32, count, &flavor, state, stateCount, state, &newCount);
    case EXCEPTION_STATE_IDENTITY:
        return exception_raise_state_identity(port, thread, task, exception, codes32, count, &flavor, state, stateCount,
                                              state, &newCount);
    default: return KERN_FAILURE;
    }
}

bool vdcrash_async_mach_exception_get_siginfo(exception_type_t exception, const mach_exception_data_type_t* code,
                                              mach_msg_type_number_t code_count, cpu_type_t, vdcrash_mach_siginfo* info) {
    if (code_count < 2 || exception < EXC_BAD_ACCESS || exception > EXC_BREAKPOINT) return false;
    constexpr mach_exception_data_type_t kSoftwareSigsys = 0x10000, kSoftwareSigpipe = 0x10001,
                                         kSoftwareSigkill = 0x10003;
    constexpr mach_exception_data_type_t kInvalidAddress = 1;
    info->address = static_cast<uint64_t>(code[1]);
    info->code = 0;
    switch (exception) {
    case EXC_BAD_ACCESS:
        info->signo = code[0] == kInvalidAddress ? VDDeviceSIGSEGV : VDDeviceSIGBUS;
        info->code = code[0] == kInvalidAddress ? 1 : 2;
        break;
    case EXC_BAD_INSTRUCTION: info->signo = VDDeviceSIGILL; break;
    case EXC_ARITHMETIC: info->signo = VDDeviceSIGFPE; break;
    case EXC_EMULATION: info->signo = VDDeviceSIGEMT; break;
    case EXC_SOFTWARE:
        info->signo = code[0] == kSoftwareSigsys    ? VDDeviceSIGSYS
                      : code[0] == kSoftwareSigpipe ? VDDeviceSIGPIPE
                      : code[0] == kSoftwareSigkill ? VDDeviceSIGKILL
                                                    : VDDeviceSIGABRT;
        break;
    case EXC_BREAKPOINT:
        info->signo = VDDeviceSIGTRAP;
        info->code = 1;
        break;
    }
    return true;
}

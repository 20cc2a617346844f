// The reporter's Mach mode: its exception server, the earlier registrations it forwards to, and
// the exception callback.
#include "sdk/crashreporter/VuderuCrashReporter.h"

#include "sdk/crashreporter/VuderuCrashHostInfo.h"
#include "sdk/crashreporter/VuderuCrashMachExceptionServer.h"
#include "sdk/crashreporter/VuderuCrashReporterContext.h"
#include "sdk/crashreporter/VuderuCrashReporterError.h"

#include <cstring>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr exception_mask_t kExceptionMask =
    EXC_MASK_BAD_ACCESS | EXC_MASK_BAD_INSTRUCTION | EXC_MASK_ARITHMETIC | EXC_MASK_SOFTWARE | EXC_MASK_BREAKPOINT;
constexpr uint64_t kGuardExceptionsDarwinMajor = 13;

// A reporter in Mach mode lives for the rest of the process, with its server.
std::vector<std::shared_ptr<NSObject>>& lastingObjects() {
    static auto* objects = new std::vector<std::shared_ptr<NSObject>>();
    return *objects;
}

struct MachWrite {
    thread_t thread;
    const vdcrash_log_writer_crash_info_t* info;
};

vdcrash_error_t writeFromServerThread(vdcrash_async_thread_state_t* state, void* context) {
    auto* write = static_cast<MachWrite*>(context);
    return vdcrash_reporter_write_report(&vdcrash_reporter_context(), write->thread, write->info, state);
}

} // namespace

std::shared_ptr<VuderuCrashMachExceptionServer> VuderuCrashReporter::enableMachExceptionServerWithPreviousPortSetCallbackContextError(
    std::shared_ptr<VuderuCrashMachExceptionPortSet>* previousPortSet, VuderuCrashMachExceptionServerCallback callback,
    void* context, NSErrorPtr* error) {
    exception_mask_t mask = kExceptionMask;
    if (auto host = VuderuCrashHostInfo::currentHostInfo(); host && host->darwinVersion().major >= kGuardExceptionsDarwinMajor)
        mask |= EXC_MASK_GUARD;
    NSErrorPtr underlying;
    auto server = VuderuCrashMachExceptionServer::initWithCallBackContextError(callback, context, &underlying);
    if (!server) {
        vdcrash_populate_error(error, VuderuCrashReporterErrorOperatingSystem, "Failed to instantiate the Mach exception server.",
                               underlying);
        return nullptr;
    }
    auto port = server->exceptionPortWithMaskError(mask, &underlying);
    if (!port) {
        vdcrash_populate_error(error, VuderuCrashReporterErrorOperatingSystem, "Failed to instantiate the Mach exception port.",
                               underlying);
        return nullptr;
    }
    if (!port->registerForTaskPreviousPortSetError(mach_task_self(), previousPortSet, &underlying)) {
        vdcrash_populate_error(error, VuderuCrashReporterErrorOperatingSystem,
                               "Failed to set the target task's mach exception ports.", underlying);
        return nullptr;
    }
    return server;
}

bool VuderuCrashReporter::enableMachModeAndReturnError(NSErrorPtr* error) {
    vdcrash_reporter_context_t& ctx = vdcrash_reporter_context();
    std::shared_ptr<VuderuCrashMachExceptionPortSet> previous;
    auto server = enableMachExceptionServerWithPreviousPortSetCallbackContextError(
        &previous, vdcrash_reporter_mach_exception_callback, &ctx, error);
    if (!server) return false;
    machServer_ = server;
    previousMachPorts_ = previous;
    lastingObjects().push_back(server);
    if (previous) lastingObjects().push_back(previous);
    lastingObjects().push_back(shared_from_this());
    if (previous)
        ctx.previous_ports = previous->asyncSafeRepresentation();
    else
        std::memset(&ctx.previous_ports, 0, sizeof ctx.previous_ports);
    return true;
}

kern_return_t vdcrash_reporter_mach_exception_callback(task_t task, thread_t thread, exception_type_t type,
                                                       const mach_exception_data_type_t* code,
                                                       mach_msg_type_number_t code_count, void* context) {
    auto* ctx = static_cast<vdcrash_reporter_context_t*>(context);
    if (VuderuCrashMachExceptionForward(task, thread, type, code, code_count, &ctx->previous_ports) == KERN_SUCCESS)
        return KERN_SUCCESS;
    vdcrash_mach_siginfo mapped;
    if (!vdcrash_async_mach_exception_get_siginfo(type, code, code_count, CPU_TYPE_ANY, &mapped)) return KERN_FAILURE;
    // One crash at a time, as for signals.
    int32_t expected = 0;
    if (!ctx->crashing_thread.compare_exchange_strong(expected, static_cast<int32_t>(syscall(SYS_gettid))))
        return KERN_FAILURE;

    vdcrash_log_signal_info_t signal = {mapped.signo, mapped.code, mapped.address};
    vdcrash_log_mach_info_t mach = {type, code, code_count};
    vdcrash_log_writer_crash_info_t info = {&signal, &mach};
    MachWrite write = {thread, &info};
    vdcrash_error_t result = vdcrash_async_thread_state_current(writeFromServerThread, &write);
    // A report that could not be written changes nothing for the exception: the kernel's next
    // handler still gets it.
    if (result != VDCRASH_ESUCCESS) return KERN_FAILURE;
    if (ctx->signal_callback) {
        siginfo_t siginfo{};
        siginfo.si_signo = mapped.signo;
        siginfo.si_code = mapped.code;
        siginfo.si_addr = reinterpret_cast<void*>(static_cast<uintptr_t>(mapped.address));
        // A zero-filled user context whose machine context has this host's own size.
        ucontext_t uap{};
        ctx->signal_callback(&siginfo, &uap, ctx->callback_context);
    }
    return KERN_FAILURE;
}

#pragma once
// The Mach exception server: a thread that receives exception requests on a port of its own, hands
// each to a callback and replies with the callback's result; forwarding an exception to the handler
// registered before; and the mapping from a Mach exception to a signal.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "sdk/crashreporter/VuderuCrashMachExceptionPortSet.h"

#include <atomic>
#include <memory>
#include <pthread.h>

// Called for each exception on the server thread; the result becomes the reply's return code.
typedef kern_return_t (*VuderuCrashMachExceptionServerCallback)(task_t task, thread_t thread, exception_type_t type,
                                                                 const mach_exception_data_type_t* code,
                                                                 mach_msg_type_number_t code_count, void* context);

// The stop message the teardown sends to the notify port.
constexpr mach_msg_id_t VDCRASH_EXCEPTION_SERVER_STOP_ID = static_cast<mach_msg_id_t>(0xDEADBEEF);
// The fixed part of an exception request with 64-bit codes: header, body, two port descriptors,
// NDR record, exception type and code count; the codes follow.
constexpr mach_msg_size_t VDCRASH_EXCEPTION_REQUEST_CODES_OFFSET = 68;
constexpr mach_msg_size_t VDCRASH_EXCEPTION_REQUEST_MINIMUM = 76;

struct vdcrash_exception_server_context {
    thread_t server_thread;
    mach_port_t server_port;
    mach_port_t notify_port;
    mach_port_t port_set;
    VuderuCrashMachExceptionServerCallback callback;
    void* callback_context;
    pthread_mutex_t lock;
    pthread_cond_t condition;
    std::atomic<uint32_t> stop_requested;
    bool stop_done;
    // The thread is gone (it could not get a buffer): the teardown has nobody to stop.
    bool thread_ended;
};

class VuderuCrashMachExceptionServer : public NSObject {
public:
    // initWithCallBack:context:error: — the running server, or null with the error.
    static std::shared_ptr<VuderuCrashMachExceptionServer> initWithCallBackContextError(
        VuderuCrashMachExceptionServerCallback callback, void* context, NSErrorPtr* error);
    // Stops the thread (unless it ended by itself) and releases the ports.
    ~VuderuCrashMachExceptionServer() override;

    thread_t serverThread();
    // A send right for the server port, owned by the caller; MACH_PORT_NULL on failure.
    mach_port_t copySendRightForServerAndReturningError(NSErrorPtr* error);
    // A registration of the server port for `mask`: 64-bit codes, default behavior.
    std::shared_ptr<VuderuCrashMachExceptionPort> exceptionPortWithMaskError(exception_mask_t mask, NSErrorPtr* error);

    explicit VuderuCrashMachExceptionServer(vdcrash_exception_server_context* context) : context_(context) {}

private:
    vdcrash_exception_server_context* context_;
};

// Hands an exception to the first earlier registration that covers it (crash time: no heap, no
// locks of the reporter). KERN_FAILURE when none does or it can't be served.
kern_return_t VuderuCrashMachExceptionForward(task_t task, thread_t thread, exception_type_t exception,
                                              const mach_exception_data_type_t* code, mach_msg_type_number_t code_count,
                                              const vdcrash_mach_exception_port_set* port_state);

// A Mach exception's signal number (device numbering), code and address; NO when it has none.
struct vdcrash_mach_siginfo {
    int signo;
    int code;
    uint64_t address;
};
bool vdcrash_async_mach_exception_get_siginfo(exception_type_t exception, const mach_exception_data_type_t* code,
                                              mach_msg_type_number_t code_count, cpu_type_t cpu_type,
                                              vdcrash_mach_siginfo* info);

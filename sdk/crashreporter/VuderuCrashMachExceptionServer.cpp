#include "sdk/crashreporter/VuderuCrashMachExceptionServer.h"

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSLog.h"
#include "sdk/crashreporter/VuderuCrashReporterError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr mach_msg_size_t kReplySize = 36;
constexpr exception_behavior_t kDefaultMachBehavior = EXCEPTION_DEFAULT | MACH_EXCEPTION_CODES;
constexpr thread_state_flavor_t kDefaultFlavor = 1;

vm_size_t roundPage(vm_size_t size) { return (size + vm_page_size - 1) & ~(vm_page_size - 1); }

uint32_t read32(const uint8_t* message, size_t offset) {
    uint32_t v;
    std::memcpy(&v, message + offset, 4);
    return v;
}

void reply(const mach_msg_header_t* request, kern_return_t code) {
    struct {
        mach_msg_header_t header;
        NDR_record_t ndr;
        kern_return_t result;
    } answer{};
    answer.header.msgh_bits = MACH_MSGH_BITS_REMOTE(request->msgh_bits);
    answer.header.msgh_size = kReplySize;
    answer.header.msgh_remote_port = request->msgh_remote_port;
    answer.header.msgh_local_port = MACH_PORT_NULL;
    answer.header.msgh_id = request->msgh_id + VDSYS_EXCEPTION_REPLY_ID_OFFSET;
    answer.ndr = NDR_record;
    answer.result = code;
    static_assert(sizeof answer == kReplySize, "the reply");
    mach_msg(&answer.header, MACH_SEND_MSG, kReplySize, 0, MACH_PORT_NULL, MACH_MSG_TIMEOUT_NONE, MACH_PORT_NULL);
}

void markEnded(vdcrash_exception_server_context* context, bool onRequest) {
    pthread_mutex_lock(&context->lock);
    if (onRequest) context->stop_done = true;
    context->thread_ended = true;
    pthread_cond_broadcast(&context->condition);
    pthread_mutex_unlock(&context->lock);
}

// One request: refused when it is too short or its codes do not fit what arrived, else handed to
// the callback. Every request is answered, so that its sender never waits for ever.
void serve(vdcrash_exception_server_context* context, uint8_t* buffer, vm_size_t bufferSize) {
    auto* request = reinterpret_cast<mach_msg_header_t*>(buffer);
    if (request->msgh_size < VDCRASH_EXCEPTION_REQUEST_MINIMUM || request->msgh_size > bufferSize) {
        reply(request, KERN_FAILURE);
        return;
    }
    const uint64_t count = read32(buffer, 64);
    if (VDCRASH_EXCEPTION_REQUEST_CODES_OFFSET + count * sizeof(mach_exception_data_type_t) > request->msgh_size) {
        reply(request, KERN_FAILURE);
        return;
    }
    // The codes start 4 bytes past an 8-byte boundary: moved up (into the trailer's room) so that
    // the callback reads aligned values.
    constexpr size_t kAligned = VDCRASH_EXCEPTION_REQUEST_CODES_OFFSET + 4;
    std::memmove(buffer + kAligned, buffer + VDCRASH_EXCEPTION_REQUEST_CODES_OFFSET,
                 static_cast<size_t>(count) * sizeof(mach_exception_data_type_t));
    kern_return_t result = context->callback(read32(buffer, 40), read32(buffer, 28),
                                             static_cast<exception_type_t>(read32(buffer, 60)),
                                             reinterpret_cast<const mach_exception_data_type_t*>(buffer + kAligned),
                                             static_cast<mach_msg_type_number_t>(count), context->callback_context);
    reply(request, result);
}

void* runServer(void* argument) {
    auto* context = static_cast<vdcrash_exception_server_context*>(argument);
    pthread_mutex_lock(&context->lock);
    context->server_thread = static_cast<thread_t>(syscall(SYS_gettid));
    pthread_cond_broadcast(&context->condition);
    pthread_mutex_unlock(&context->lock);

    vm_size_t size = roundPage(VDCRASH_EXCEPTION_REQUEST_MINIMUM);
    vm_address_t buffer = 0;
    kern_return_t kr = vm_allocate(mach_task_self(), &buffer, size, VM_FLAGS_ANYWHERE);
    if (kr != KERN_SUCCESS) {
        fprintf(stderr, "Unexpected error in vm_allocate(): %x\n", kr);
        markEnded(context, false);
        return nullptr;
    }
    for (;;) {
        auto* request = reinterpret_cast<mach_msg_header_t*>(buffer);
        request->msgh_local_port = context->port_set;
        request->msgh_size = static_cast<mach_msg_size_t>(size);
        kr = mach_msg(request, MACH_RCV_MSG | MACH_RCV_LARGE, 0, static_cast<mach_msg_size_t>(size), context->port_set,
                      MACH_MSG_TIMEOUT_NONE, MACH_PORT_NULL);
        if (kr == MACH_RCV_TOO_LARGE) {
            vm_size_t needed = roundPage(request->msgh_size);
            vm_deallocate(mach_task_self(), buffer, size);
            size = needed;
            kr = vm_allocate(mach_task_self(), &buffer, size, VM_FLAGS_ANYWHERE);
            if (kr != KERN_SUCCESS) {
                fprintf(stderr, "Unexpected error in vm_allocate(): 0x%x\n", kr);
                markEnded(context, false);
                return nullptr;
            }
            continue;
        }
        if (kr != MACH_MSG_SUCCESS) continue;
        if (request->msgh_local_port == context->notify_port) {
            if (request->msgh_id == MACH_NOTIFY_NO_SENDERS) continue;
            if (request->msgh_id == VDCRASH_EXCEPTION_SERVER_STOP_ID && context->stop_requested.load() != 0) {
                vm_deallocate(mach_task_self(), buffer, size);
                markEnded(context, true);
                return nullptr;
            }
        }
        serve(context, reinterpret_cast<uint8_t*>(buffer), size);
    }
}

// The receive rights go with their queues (a send right held elsewhere becomes a dead name).
void releasePorts(vdcrash_exception_server_context* context) {
    for (mach_port_t port : {context->server_port, context->notify_port})
        if (port != MACH_PORT_NULL) mach_port_mod_refs(mach_task_self(), port, MACH_PORT_RIGHT_RECEIVE, -1);
    if (context->port_set != MACH_PORT_NULL) mach_port_deallocate(mach_task_self(), context->port_set);
}

// Frees a context whose thread never ran or has ended.
void freeContext(vdcrash_exception_server_context* context) {
    releasePorts(context);
    pthread_cond_destroy(&context->condition);
    pthread_mutex_destroy(&context->lock);
    delete context;
}

} // namespace

std::shared_ptr<VuderuCrashMachExceptionServer> VuderuCrashMachExceptionServer::initWithCallBackContextError(
    VuderuCrashMachExceptionServerCallback callback, void* callbackContext, NSErrorPtr* error) {
    auto* context = new vdcrash_exception_server_context();
    context->callback = callback;
    context->callback_context = callbackContext;
    if (int err = pthread_mutex_init(&context->lock, nullptr)) {
        vdcrash_populate_posix_error(error, err, "Mutex initialization failed");
        delete context;
        return nullptr;
    }
    if (int err = pthread_cond_init(&context->condition, nullptr)) {
        vdcrash_populate_posix_error(error, err, "Condition initialization failed");
        pthread_mutex_destroy(&context->lock);
        delete context;
        return nullptr;
    }
    auto fail = [&](kern_return_t kr, const char* message) {
        vdcrash_populate_mach_error(error, kr, message);
        freeContext(context);
        return nullptr;
    };
    kern_return_t kr;
    if ((kr = mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &context->server_port)) != KERN_SUCCESS ||
        (kr = mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &context->notify_port)) != KERN_SUCCESS)
        return fail(kr, "Failed to allocate exception server's port");
    if ((kr = mach_port_insert_right(mach_task_self(), context->notify_port, context->notify_port,
                                     MACH_MSG_TYPE_MAKE_SEND)) != KERN_SUCCESS)
        return fail(kr, "Failed to add send right to exception server's port");
    mach_port_t previous = MACH_PORT_NULL;
    if ((kr = mach_port_request_notification(mach_task_self(), context->server_port, MACH_NOTIFY_NO_SENDERS, 1,
                                             context->notify_port, MACH_MSG_TYPE_MAKE_SEND_ONCE, &previous)) != KERN_SUCCESS)
        return fail(kr, "Failed to request MACH_NOTIFY_NO_SENDERS on the exception server's port");
    if ((kr = mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_PORT_SET, &context->port_set)) != KERN_SUCCESS)
        return fail(kr, "Failed to allocate exception server's port set");
    if ((kr = mach_port_move_member(mach_task_self(), context->server_port, context->port_set)) != KERN_SUCCESS)
        return fail(kr, "Failed to add exception server port to port set");
    if ((kr = mach_port_move_member(mach_task_self(), context->notify_port, context->port_set)) != KERN_SUCCESS)
        return fail(kr, "Failed to add exception server notify port to port set");

    pthread_attr_t attributes;
    if (int err = pthread_attr_init(&attributes)) {
        vdcrash_populate_posix_error(error, err, "Failed to initialize pthread_attr");
        freeContext(context);
        return nullptr;
    }
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    int err = pthread_create(&thread, &attributes, runServer, context);
    pthread_attr_destroy(&attributes);
    if (err) {
        vdcrash_populate_posix_error(error, err, "Failed to create exception server thread");
        freeContext(context);
        return nullptr;
    }
    pthread_mutex_lock(&context->lock);
    while (context->server_thread == MACH_PORT_NULL) pthread_cond_wait(&context->condition, &context->lock);
    pthread_mutex_unlock(&context->lock);
    return std::make_shared<VuderuCrashMachExceptionServer>(context);
}

VuderuCrashMachExceptionServer::~VuderuCrashMachExceptionServer() {
    if (!context_) return;
    uint32_t expected = 0;
    context_->stop_requested.compare_exchange_strong(expected, 1);
    pthread_mutex_lock(&context_->lock);
    bool running = !context_->thread_ended;
    pthread_mutex_unlock(&context_->lock);
    if (running) {
        mach_msg_header_t stop{};
        stop.msgh_bits = MACH_MSGH_BITS(MACH_MSG_TYPE_COPY_SEND, MACH_MSG_TYPE_MAKE_SEND_ONCE);
        stop.msgh_size = sizeof stop;
        stop.msgh_remote_port = context_->notify_port;
        stop.msgh_local_port = MACH_PORT_NULL;
        stop.msgh_id = VDCRASH_EXCEPTION_SERVER_STOP_ID;
        kern_return_t kr = mach_msg(&stop, MACH_SEND_MSG, sizeof stop, 0, MACH_PORT_NULL, MACH_MSG_TIMEOUT_NONE, MACH_PORT_NULL);
        if (kr != MACH_MSG_SUCCESS) {
            NSLog("Unexpected error sending termination message to background thread: %d", kr);
            return;
        }
        // The thread ends on the stop message, or has ended already for want of a buffer.
        pthread_mutex_lock(&context_->lock);
        while (!context_->stop_done && !context_->thread_ended) pthread_cond_wait(&context_->condition, &context_->lock);
        pthread_mutex_unlock(&context_->lock);
    }
    freeContext(context_);
}

thread_t VuderuCrashMachExceptionServer::serverThread() {
    if (!context_) NSException::raise(NSInternalInconsistencyException, "No handler registered!");
    pthread_mutex_lock(&context_->lock);
    thread_t thread = context_->server_thread;
    pthread_mutex_unlock(&context_->lock);
    return thread;
}

mach_port_t VuderuCrashMachExceptionServer::copySendRightForServerAndReturningError(NSErrorPtr* error) {
    pthread_mutex_lock(&context_->lock);
    kern_return_t kr = mach_port_insert_right(mach_task_self(), context_->server_port, context_->server_port,
                                              MACH_MSG_TYPE_MAKE_SEND);
    mach_port_t port = context_->server_port;
    pthread_mutex_unlock(&context_->lock);
    if (kr != KERN_SUCCESS) {
        vdcrash_populate_mach_error(error, kr, "Failed to insert Mach send right");
        return MACH_PORT_NULL;
    }
    return port;
}

std::shared_ptr<VuderuCrashMachExceptionPort> VuderuCrashMachExceptionServer::exceptionPortWithMaskError(exception_mask_t mask,
                                                                                                         NSErrorPtr* error) {
    mach_port_t port = copySendRightForServerAndReturningError(error);
    if (!MACH_PORT_VALID(port)) return nullptr;
    auto registration = std::make_shared<VuderuCrashMachExceptionPort>(port, mask, kDefaultMachBehavior, kDefaultFlavor);
    mach_port_deallocate(mach_task_self(), port);
    return registration;
}

#include "sdk/crashreporter/VuderuCrashMachExceptionPortSet.h"

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "sdk/crashreporter/VuderuCrashReporterError.h"

namespace {

void dropReference(mach_port_t port) {
    kern_return_t kr = mach_port_mod_refs(mach_task_self(), port, MACH_PORT_RIGHT_SEND, -1);
    if (kr != KERN_SUCCESS) NSLog("Unexpected error decrementing mach port reference: %d", kr);
}

typedef kern_return_t (*SwapCall)(mach_port_t target, exception_mask_t mask, mach_port_t new_port,
                                  exception_behavior_t behavior, thread_state_flavor_t new_flavor,
                                  exception_mask_array_t masks, mach_msg_type_number_t* count,
                                  exception_handler_array_t old_handlers, exception_behavior_array_t old_behaviors,
                                  exception_flavor_array_t old_flavors);
typedef kern_return_t (*GetCall)(mach_port_t target, exception_mask_t mask, exception_mask_array_t masks,
                                 mach_msg_type_number_t* count, exception_handler_array_t handlers,
                                 exception_behavior_array_t behaviors, exception_flavor_array_t flavors);

bool registerWith(SwapCall call, mach_port_t target, const VuderuCrashMachExceptionPort& port,
                  std::shared_ptr<VuderuCrashMachExceptionPortSet>* previous, NSErrorPtr* error) {
    vdcrash_mach_exception_port_set record{};
    record.count = VDCRASH_EXC_TYPES_COUNT;
    kern_return_t kr = call(target, port.mask(), port.server_port(), port.behavior(), port.flavor(), record.masks,
                            &record.count, record.ports, record.behaviors, record.flavors);
    if (kr != KERN_SUCCESS) {
        vdcrash_populate_mach_error(error, kr, "Failed to swap mach exception ports");
        return false;
    }
    auto set = VuderuCrashMachExceptionPortSet::initWithAsyncSafeRepresentation(record);
    if (previous) *previous = set;
    return true;
}

std::shared_ptr<VuderuCrashMachExceptionPortSet> portsWith(GetCall call, mach_port_t target, exception_mask_t mask,
                                                           NSErrorPtr* error) {
    vdcrash_mach_exception_port_set record{};
    record.count = VDCRASH_EXC_TYPES_COUNT;
    kern_return_t kr = call(target, mask, record.masks, &record.count, record.ports, record.behaviors, record.flavors);
    if (kr != KERN_SUCCESS) {
        vdcrash_populate_mach_error(error, kr, "Failed to fetch mach exception ports");
        return nullptr;
    }
    return VuderuCrashMachExceptionPortSet::initWithAsyncSafeRepresentation(record);
}

} // namespace

VuderuCrashMachExceptionPort::VuderuCrashMachExceptionPort(mach_port_t serverPort, exception_mask_t mask,
                                                           exception_behavior_t behavior, thread_state_flavor_t flavor)
    : serverPort_(serverPort), mask_(mask), behavior_(behavior), flavor_(flavor) {
    if (!MACH_PORT_VALID(serverPort_)) return;
    kern_return_t kr = mach_port_mod_refs(mach_task_self(), serverPort_, MACH_PORT_RIGHT_SEND, 1);
    if (kr != KERN_SUCCESS) NSLog("Unexpected error incrementing mach port reference: %d", kr);
}

VuderuCrashMachExceptionPort::~VuderuCrashMachExceptionPort() {
    if (MACH_PORT_VALID(serverPort_)) dropReference(serverPort_);
}

bool VuderuCrashMachExceptionPort::registerForTaskPreviousPortSetError(
    task_t task, std::shared_ptr<VuderuCrashMachExceptionPortSet>* previousPortSet, NSErrorPtr* error) const {
    return registerWith(task_swap_exception_ports, task, *this, previousPortSet, error);
}

bool VuderuCrashMachExceptionPort::registerForThreadPreviousPortSetError(
    thread_t thread, std::shared_ptr<VuderuCrashMachExceptionPortSet>* previousPortSet, NSErrorPtr* error) const {
    return registerWith(thread_swap_exception_ports, thread, *this, previousPortSet, error);
}

std::shared_ptr<VuderuCrashMachExceptionPortSet> VuderuCrashMachExceptionPort::exceptionPortsForTaskMaskError(
    task_t task, exception_mask_t mask, NSErrorPtr* error) {
    return portsWith(task_get_exception_ports, task, mask, error);
}

std::shared_ptr<VuderuCrashMachExceptionPortSet> VuderuCrashMachExceptionPort::exceptionPortsForThreadMaskError(
    thread_t thread, exception_mask_t mask, NSErrorPtr* error) {
    return portsWith(thread_get_exception_ports, thread, mask, error);
}

VuderuCrashMachExceptionPortSet::VuderuCrashMachExceptionPortSet(std::vector<std::shared_ptr<VuderuCrashMachExceptionPort>> set)
    : set_(std::move(set)) {
    if (set_.size() > VDCRASH_EXC_TYPES_COUNT)
        NSException::raise(NSInternalInconsistencyException,
                           NSString::stringWithFormat("Set size of %lu exceeds EXC_TYPES_COUNT (%lu)",
                                                      static_cast<unsigned long>(set_.size()),
                                                      static_cast<unsigned long>(VDCRASH_EXC_TYPES_COUNT)));
    for (const auto& port : set_) {
        uint32_t i = record_.count++;
        record_.ports[i] = port->server_port();
        record_.masks[i] = port->mask();
        record_.behaviors[i] = port->behavior();
        record_.flavors[i] = port->flavor();
    }
}

std::shared_ptr<VuderuCrashMachExceptionPortSet> VuderuCrashMachExceptionPortSet::initWithAsyncSafeRepresentation(
    const vdcrash_mach_exception_port_set& record) {
    if (record.count > VDCRASH_EXC_TYPES_COUNT)
        NSException::raise(NSInternalInconsistencyException,
                           NSString::stringWithFormat("Count of %lu exceeds EXC_TYPES_COUNT (%lu)",
                                                      static_cast<unsigned long>(record.count),
                                                      static_cast<unsigned long>(VDCRASH_EXC_TYPES_COUNT)));
    std::vector<std::shared_ptr<VuderuCrashMachExceptionPort>> ports;
    for (uint32_t i = 0; i < record.count; ++i) {
        ports.push_back(std::make_shared<VuderuCrashMachExceptionPort>(record.ports[i], record.masks[i],
                                                                       record.behaviors[i], record.flavors[i]));
        if (MACH_PORT_VALID(record.ports[i])) dropReference(record.ports[i]);
    }
    return std::make_shared<VuderuCrashMachExceptionPortSet>(std::move(ports));
}

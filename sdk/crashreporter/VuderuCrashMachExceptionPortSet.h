#pragma once
// Exception-port registrations: one registration (a port with its mask, behavior and flavor), a
// set of them, and the fixed-size copy of a set that crash-time code reads.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/system/mach_exc.h"

#include <cstdint>
#include <memory>
#include <vector>

// 13 registrations at most: EXC_TYPES_COUNT.
constexpr uint32_t VDCRASH_EXC_TYPES_COUNT = EXC_TYPES_COUNT;

// Laid out as the get/swap exception-port calls fill it.
struct vdcrash_mach_exception_port_set {
    uint32_t count;
    exception_mask_t masks[VDCRASH_EXC_TYPES_COUNT];
    mach_port_t ports[VDCRASH_EXC_TYPES_COUNT];
    exception_behavior_t behaviors[VDCRASH_EXC_TYPES_COUNT];
    thread_state_flavor_t flavors[VDCRASH_EXC_TYPES_COUNT];
};

class VuderuCrashMachExceptionPortSet;

// One registration. A valid port holds one send-right reference for the object's lifetime.
class VuderuCrashMachExceptionPort : public NSObject {
public:
    // initWithServerPort:mask:behavior:flavor:
    VuderuCrashMachExceptionPort(mach_port_t serverPort, exception_mask_t mask, exception_behavior_t behavior,
                                 thread_state_flavor_t flavor);
    ~VuderuCrashMachExceptionPort() override;

    mach_port_t server_port() const { return serverPort_; }
    exception_mask_t mask() const { return mask_; }
    exception_behavior_t behavior() const { return behavior_; }
    thread_state_flavor_t flavor() const { return flavor_; }

    // Installs this registration; the earlier ones go to *previousPortSet (when given).
    bool registerForTaskPreviousPortSetError(task_t task, std::shared_ptr<VuderuCrashMachExceptionPortSet>* previousPortSet,
                                             NSErrorPtr* error) const;
    bool registerForThreadPreviousPortSetError(thread_t thread,
                                               std::shared_ptr<VuderuCrashMachExceptionPortSet>* previousPortSet,
                                               NSErrorPtr* error) const;

    static std::shared_ptr<VuderuCrashMachExceptionPortSet> exceptionPortsForTaskMaskError(task_t task, exception_mask_t mask,
                                                                                           NSErrorPtr* error);
    static std::shared_ptr<VuderuCrashMachExceptionPortSet> exceptionPortsForThreadMaskError(thread_t thread,
                                                                                             exception_mask_t mask,
                                                                                             NSErrorPtr* error);

private:
    mach_port_t serverPort_;
    exception_mask_t mask_;
    exception_behavior_t behavior_;
    thread_state_flavor_t flavor_;
};

class VuderuCrashMachExceptionPortSet : public NSObject {
public:
    // initWithSet: — the record follows the members' order; more than 13 raises.
    explicit VuderuCrashMachExceptionPortSet(std::vector<std::shared_ptr<VuderuCrashMachExceptionPort>> set);
    // initWithAsyncSafeRepresentation: — takes over a record the system filled, with the send
    // rights it handed over (each port object takes its own; the handed-over ones are dropped).
    static std::shared_ptr<VuderuCrashMachExceptionPortSet> initWithAsyncSafeRepresentation(
        const vdcrash_mach_exception_port_set& record);

    const std::vector<std::shared_ptr<VuderuCrashMachExceptionPort>>& set() const { return set_; }
    vdcrash_mach_exception_port_set asyncSafeRepresentation() const { return record_; }

private:
    std::vector<std::shared_ptr<VuderuCrashMachExceptionPort>> set_;
    vdcrash_mach_exception_port_set record_{};
};

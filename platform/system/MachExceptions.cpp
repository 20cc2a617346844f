// Exception-port tables and exception messages for the in-process Mach stand-in.
#include "platform/system/mach_exc.h"

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

struct Registration {
    mach_port_t port = MACH_PORT_NULL;
    exception_behavior_t behavior = 0;
    thread_state_flavor_t flavor = 0;
};
struct Table {
    Registration entries[EXC_TYPES_COUNT];
};

std::mutex tablesLock;
Table taskTable;
std::map<thread_t, Table> threadTables;

constexpr exception_behavior_t kBehaviorMask = ~MACH_EXCEPTION_CODES;
constexpr mach_msg_size_t kReplyBuffer = 1024;

bool validBehavior(exception_behavior_t behavior) {
    exception_behavior_t base = behavior & kBehaviorMask;
    return base >= EXCEPTION_DEFAULT && base <= EXCEPTION_STATE_IDENTITY;
}

// The registrations of `mask`, one entry per distinct registration with its mask bits; each
// returned port gets one send right for the caller. Called under the tables' lock.
void collect(const Table& table, exception_mask_t mask, exception_mask_array_t masks, mach_msg_type_number_t* count,
             exception_handler_array_t ports, exception_behavior_array_t behaviors, exception_flavor_array_t flavors) {
    mach_msg_type_number_t capacity = *count, used = 0;
    for (unsigned type = 1; type < EXC_TYPES_COUNT; ++type) {
        if (!(mask & (1u << type))) continue;
        const Registration& r = table.entries[type];
        mach_msg_type_number_t i = 0;
        while (i < used && !(ports[i] == r.port && behaviors[i] == r.behavior && flavors[i] == r.flavor)) ++i;
        if (i == used) {
            if (used == capacity) continue;
            ports[i] = r.port;
            behaviors[i] = r.behavior;
            flavors[i] = r.flavor;
            masks[i] = 0;
            ++used;
            if (MACH_PORT_VALID(r.port)) mach_port_mod_refs(mach_task_self(), r.port, MACH_PORT_RIGHT_SEND, 1);
        }
        masks[i] |= 1u << type;
    }
    *count = used;
}

kern_return_t swap(Table& table, exception_mask_t mask, mach_port_t port, exception_behavior_t behavior,
                   thread_state_flavor_t flavor, exception_mask_array_t masks, mach_msg_type_number_t* count,
                   exception_handler_array_t ports, exception_behavior_array_t behaviors, exception_flavor_array_t flavors) {
    if (!validBehavior(behavior) || !count) return KERN_INVALID_ARGUMENT;
    collect(table, mask, masks, count, ports, behaviors, flavors);
    for (unsigned type = 1; type < EXC_TYPES_COUNT; ++type) {
        if (!(mask & (1u << type))) continue;
        Registration& r = table.entries[type];
        // The table's own right on each entry's port.
        if (MACH_PORT_VALID(r.port)) mach_port_deallocate(mach_task_self(), r.port);
        r = {port, behavior, flavor};
        if (MACH_PORT_VALID(port)) mach_port_mod_refs(mach_task_self(), port, MACH_PORT_RIGHT_SEND, 1);
    }
    return KERN_SUCCESS;
}

class MessageBytes {
public:
    void put32(uint32_t v) { append(&v, 4); }
    void put64(uint64_t v) { append(&v, 8); }
    void putPort(mach_port_t name) {
        mach_msg_port_descriptor_t d{};
        d.name = name;
        d.disposition = MACH_MSG_TYPE_COPY_SEND;
        d.type = MACH_MSG_PORT_DESCRIPTOR;
        append(&d, sizeof d);
    }
    void append(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
    std::vector<uint8_t> bytes = std::vector<uint8_t>(sizeof(mach_msg_header_t));
};

struct Request {
    exception_behavior_t behavior;  // with or without MACH_EXCEPTION_CODES
    thread_t thread;
    task_t task;
    exception_type_t exception;
    const mach_exception_data_type_t* codes64;  // one of the two
    const exception_data_type_t* codes32;
    mach_msg_type_number_t code_count;
    thread_state_flavor_t* flavor;
    const uint32_t* old_state;
    mach_msg_type_number_t old_state_count;
    uint32_t* new_state;
    mach_msg_type_number_t* new_state_count;
};

MessageBytes encode(const Request& r, mach_msg_id_t* id, bool* complex) {
    const exception_behavior_t base = r.behavior & kBehaviorMask;
    const bool wide = (r.behavior & MACH_EXCEPTION_CODES) != 0;
    MessageBytes m;
    *complex = base != EXCEPTION_STATE;
    if (*complex) {
        m.put32(2);
        m.putPort(r.thread);
        m.putPort(r.task);
    }
    m.append(&NDR_record, sizeof NDR_record);
    m.put32(static_cast<uint32_t>(r.exception));
    m.put32(r.code_count);
    for (mach_msg_type_number_t i = 0; i < r.code_count; ++i) {
        int64_t code = r.codes64 ? r.codes64[i] : r.codes32[i];
        if (wide)
            m.put64(static_cast<uint64_t>(code));
        else
            m.put32(static_cast<uint32_t>(code));
    }
    if (base != EXCEPTION_DEFAULT) {
        m.put32(static_cast<uint32_t>(r.flavor ? *r.flavor : 0));
        m.put32(r.old_state_count);
        m.append(r.old_state, r.old_state_count * sizeof(uint32_t));
    }
    *id = VDSYS_EXCEPTION_RAISE_ID + (base - EXCEPTION_DEFAULT) + (wide ? VDSYS_MACH_EXCEPTION_CODES_ID_OFFSET : 0);
    return m;
}

uint32_t read32(const uint8_t* buffer, size_t offset) {
    uint32_t v;
    std::memcpy(&v, buffer + offset, 4);
    return v;
}

// Sends the request to `port` with a reply port of its own and waits for the reply.
kern_return_t deliver(mach_port_t port, const Request& r) {
    mach_msg_id_t id;
    bool complex;
    MessageBytes m = encode(r, &id, &complex);
    mach_port_t reply = MACH_PORT_NULL;
    if (mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &reply) != KERN_SUCCESS) return KERN_RESOURCE_SHORTAGE;
    auto* header = reinterpret_cast<mach_msg_header_t*>(m.bytes.data());
    header->msgh_bits = MACH_MSGH_BITS(MACH_MSG_TYPE_COPY_SEND, MACH_MSG_TYPE_MAKE_SEND_ONCE) |
                        (complex ? MACH_MSGH_BITS_COMPLEX : 0);
    header->msgh_size = static_cast<mach_msg_size_t>(m.bytes.size());
    header->msgh_remote_port = port;
    header->msgh_local_port = reply;
    header->msgh_id = id;
    kern_return_t result = mach_msg(header, MACH_SEND_MSG, header->msgh_size, 0, MACH_PORT_NULL, 0, MACH_PORT_NULL);
    if (result == MACH_MSG_SUCCESS) {
        alignas(8) uint8_t buffer[kReplyBuffer];
        auto* answer = reinterpret_cast<mach_msg_header_t*>(buffer);
        result = mach_msg(answer, MACH_RCV_MSG, 0, sizeof buffer, reply, 0, MACH_PORT_NULL);
        if (result == MACH_MSG_SUCCESS) {
            constexpr size_t kRetCode = 32, kFlavor = 36, kStateCount = 40, kState = 44;
            result = answer->msgh_size >= kRetCode + 4 ? static_cast<kern_return_t>(read32(buffer, kRetCode)) : KERN_FAILURE;
            if ((r.behavior & kBehaviorMask) != EXCEPTION_DEFAULT && answer->msgh_size >= kState && r.new_state_count) {
                if (r.flavor) *r.flavor = static_cast<thread_state_flavor_t>(read32(buffer, kFlavor));
                mach_msg_type_number_t n = read32(buffer, kStateCount);
                if (n > *r.new_state_count || kState + n * 4 > answer->msgh_size) n = 0;
                std::memcpy(r.new_state, buffer + kState, n * 4);
                *r.new_state_count = n;
            }
        }
    }
    mach_port_mod_refs(mach_task_self(), reply, MACH_PORT_RIGHT_RECEIVE, -1);
    return result;
}

} // namespace

kern_return_t task_swap_exception_ports(task_t task, exception_mask_t mask, mach_port_t new_port,
                                        exception_behavior_t behavior, thread_state_flavor_t new_flavor,
                                        exception_mask_array_t masks, mach_msg_type_number_t* count,
                                        exception_handler_array_t old_handlers, exception_behavior_array_t old_behaviors,
                                        exception_flavor_array_t old_flavors) {
    if (task != mach_task_self()) return KERN_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> guard(tablesLock);
    return swap(taskTable, mask, new_port, behavior, new_flavor, masks, count, old_handlers, old_behaviors, old_flavors);
}

kern_return_t task_get_exception_ports(task_t task, exception_mask_t mask, exception_mask_array_t masks,
                                       mach_msg_type_number_t* count, exception_handler_array_t handlers,
                                       exception_behavior_array_t behaviors, exception_flavor_array_t flavors) {
    if (task != mach_task_self() || !count) return KERN_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> guard(tablesLock);
    collect(taskTable, mask, masks, count, handlers, behaviors, flavors);
    return KERN_SUCCESS;
}

kern_return_t thread_swap_exception_ports(thread_t thread, exception_mask_t mask, mach_port_t new_port,
                                          exception_behavior_t behavior, thread_state_flavor_t new_flavor,
                                          exception_mask_array_t masks, mach_msg_type_number_t* count,
                                          exception_handler_array_t old_handlers,
                                          exception_behavior_array_t old_behaviors, exception_flavor_array_t old_flavors) {
    if (thread == MACH_PORT_NULL) return KERN_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> guard(tablesLock);
    return swap(threadTables[thread], mask, new_port, behavior, new_flavor, masks, count, old_handlers, old_behaviors,
                old_flavors);
}

kern_return_t thread_get_exception_ports(thread_t thread, exception_mask_t mask, exception_mask_array_t masks,
                                         mach_msg_type_number_t* count, exception_handler_array_t handlers,
                                         exception_behavior_array_t behaviors, exception_flavor_array_t flavors) {
    if (thread == MACH_PORT_NULL || !count) return KERN_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> guard(tablesLock);
    collect(threadTables[thread], mask, masks, count, handlers, behaviors, flavors);
    return KERN_SUCCESS;
}

kern_return_t exception_raise(mach_port_t port, thread_t thread, task_t task, exception_type_t exception,
                              const exception_data_type_t* code, mach_msg_type_number_t code_count) {
    Request r{EXCEPTION_DEFAULT, thread, task, exception, nullptr, code, code_count, nullptr, nullptr, 0, nullptr, nullptr};
    return deliver(port, r);
}

kern_return_t exception_raise_state(mach_port_t port, exception_type_t exception, const exception_data_type_t* code,
                                    mach_msg_type_number_t code_count, thread_state_flavor_t* flavor,
                                    const uint32_t* old_state, mach_msg_type_number_t old_state_count,
                                    uint32_t* new_state, mach_msg_type_number_t* new_state_count) {
    Request r{EXCEPTION_STATE, MACH_PORT_NULL, MACH_PORT_NULL, exception, nullptr, code, code_count, flavor,
              old_state, old_state_count, new_state, new_state_count};
    return deliver(port, r);
}

kern_return_t exception_raise_state_identity(mach_port_t port, thread_t thread, task_t task, exception_type_t exception,
                                             const exception_data_type_t* code, mach_msg_type_number_t code_count,
                                             thread_state_flavor_t* flavor, const uint32_t* old_state,
                                             mach_msg_type_number_t old_state_count, uint32_t* new_state,
                                             mach_msg_type_number_t* new_state_count) {
    Request r{EXCEPTION_STATE_IDENTITY, thread, task, exception, nullptr, code, code_count, flavor,
              old_state, old_state_count, new_state, new_state_count};
    return deliver(port, r);
}

kern_return_t vdsys_mach_raise_exception(thread_t thread, exception_type_t exception,
                                         const mach_exception_data_type_t* codes, mach_msg_type_number_t count) {
    if (exception <= 0 || static_cast<unsigned>(exception) >= EXC_TYPES_COUNT) return KERN_INVALID_ARGUMENT;
    Registration levels[2];
    {
        std::lock_guard<std::mutex> guard(tablesLock);
        auto found = threadTables.find(thread);
        if (found != threadTables.end()) levels[0] = found->second.entries[exception];
        levels[1] = taskTable.entries[exception];
        // The delivery's own send rights, so that a swap meanwhile can't take the ports away.
        for (Registration& r : levels)
            if (MACH_PORT_VALID(r.port)) mach_port_mod_refs(mach_task_self(), r.port, MACH_PORT_RIGHT_SEND, 1);
    }
    kern_return_t result = KERN_FAILURE;
    bool handled = false;
    for (Registration& level : levels) {
        if (!MACH_PORT_VALID(level.port)) continue;
        if (!handled) {
            uint32_t state[VDSYS_THREAD_STATE_MAX] = {};
            uint32_t newState[VDSYS_THREAD_STATE_MAX];
            mach_msg_type_number_t stateCount = x86_THREAD_STATE64_COUNT;
            mach_msg_type_number_t newStateCount = VDSYS_THREAD_STATE_MAX;
            thread_state_flavor_t flavor = level.flavor;
            if ((level.behavior & kBehaviorMask) != EXCEPTION_DEFAULT) thread_get_state(thread, flavor, state, &stateCount);
            Request r{level.behavior, thread, mach_task_self(), exception, codes, nullptr, count, &flavor,
                      state, stateCount, newState, &newStateCount};
            result = deliver(level.port, r);
            handled = result == KERN_SUCCESS;
        }
        mach_port_deallocate(mach_task_self(), level.port);
    }
    return result;
}

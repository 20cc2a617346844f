// The in-process Mach port stand-in: one name table, message queues and port sets.
#include "platform/system/mach_port.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

const NDR_record_t NDR_record = {0, 0, 0, 0, 1, 0, 0, 0};

namespace {

// Above every thread id (the kernel's pid_max is at most 2^22) and the memory entries, so that a
// thread's name never reaches the table, and a crash-time deallocation of one takes no lock.
constexpr mach_port_name_t kFirstName = 0x10000003;
constexpr mach_port_name_t kNameStep = 4;
constexpr size_t kNames = 1024;

enum class Kind { Free, Port, Set, DeadName };

struct Entry {
    Kind kind = Kind::Free;
    bool receive = false;
    unsigned sendRefs = 0;
    unsigned sendOnceRefs = 0;
    unsigned deadRefs = 0;
    mach_port_name_t set = MACH_PORT_NULL;           // the port set holding this receive right
    mach_port_name_t noSendersNotify = MACH_PORT_NULL;
    std::deque<std::vector<uint8_t>> queue;
};

std::mutex tableLock;
std::condition_variable tableChanged;
Entry entries[kNames];

bool inTable(mach_port_name_t name) {
    return name >= kFirstName && (name - kFirstName) % kNameStep == 0 && (name - kFirstName) / kNameStep < kNames;
}

Entry* lookup(mach_port_name_t name) {
    if (!inTable(name)) return nullptr;
    Entry* e = &entries[(name - kFirstName) / kNameStep];
    return e->kind == Kind::Free ? nullptr : e;
}

mach_port_name_t nameOf(const Entry* entry) {
    return kFirstName + static_cast<mach_port_name_t>(entry - entries) * kNameStep;
}

bool isLivePort(const Entry* e) { return e && e->kind == Kind::Port; }

void enqueue(Entry* port, std::vector<uint8_t> bytes) {
    port->queue.push_back(std::move(bytes));
    tableChanged.notify_all();
}

// A port whose last send right went away tells the one who asked.
void checkNoSenders(Entry* port) {
    if (port->sendRefs != 0 || port->noSendersNotify == MACH_PORT_NULL) return;
    Entry* notify = lookup(port->noSendersNotify);
    port->noSendersNotify = MACH_PORT_NULL;
    if (!isLivePort(notify)) return;
    struct {
        mach_msg_header_t header;
        NDR_record_t ndr;
        mach_port_mscount_t count;
    } message{};
    message.header.msgh_bits = MACH_MSGH_BITS(MACH_MSG_TYPE_PORT_SEND_ONCE, 0);
    message.header.msgh_size = sizeof message;
    message.header.msgh_remote_port = MACH_PORT_NULL;
    message.header.msgh_local_port = nameOf(notify);
    message.header.msgh_id = MACH_NOTIFY_NO_SENDERS;
    message.ndr = NDR_record;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&message);
    if (notify->sendOnceRefs > 0) notify->sendOnceRefs--;
    enqueue(notify, std::vector<uint8_t>(bytes, bytes + sizeof message));
}

// The receive right goes: the queue with it; a name that still holds send rights becomes dead.
void destroyReceive(Entry* port) {
    port->receive = false;
    port->queue.clear();
    port->set = MACH_PORT_NULL;
    unsigned refs = port->sendRefs + port->sendOnceRefs;
    *port = Entry{};
    if (refs > 0) {
        port->kind = Kind::DeadName;
        port->deadRefs = refs;
    }
    tableChanged.notify_all();
}

void freeIfUnused(Entry* e) {
    if (e->kind == Kind::Port && !e->receive && e->sendRefs == 0 && e->sendOnceRefs == 0) *e = Entry{};
    if (e->kind == Kind::DeadName && e->deadRefs == 0) *e = Entry{};
}

// Takes what the sender's disposition says from the sender's rights; NO when it lacks them.
bool consumeForSend(Entry* e, mach_msg_type_name_t disposition) {
    switch (disposition) {
    case MACH_MSG_TYPE_COPY_SEND: return e->sendRefs > 0;
    case MACH_MSG_TYPE_MAKE_SEND:
    case MACH_MSG_TYPE_MAKE_SEND_ONCE: return e->receive;
    case MACH_MSG_TYPE_MOVE_SEND:
        if (e->sendRefs == 0) return false;
        e->sendRefs--;
        return true;
    case MACH_MSG_TYPE_MOVE_SEND_ONCE:
        if (e->sendOnceRefs == 0) return false;
        e->sendOnceRefs--;
        return true;
    default: return false;
    }
}

mach_msg_type_name_t receivedType(mach_msg_type_name_t disposition) {
    return disposition == MACH_MSG_TYPE_MAKE_SEND_ONCE || disposition == MACH_MSG_TYPE_MOVE_SEND_ONCE
               ? MACH_MSG_TYPE_PORT_SEND_ONCE
               : MACH_MSG_TYPE_PORT_SEND;
}

mach_msg_return_t send(mach_msg_header_t* msg, mach_msg_size_t size) {
    if (size < sizeof(mach_msg_header_t) || size % 4 != 0) return MACH_SEND_MSG_TOO_SMALL;
    std::lock_guard<std::mutex> guard(tableLock);
    Entry* dest = lookup(msg->msgh_remote_port);
    mach_msg_type_name_t remote = MACH_MSGH_BITS_REMOTE(msg->msgh_bits);
    mach_msg_type_name_t local = MACH_MSGH_BITS_LOCAL(msg->msgh_bits);
    if (!isLivePort(dest) || !dest->receive) return MACH_SEND_INVALID_DEST;
    Entry* reply = nullptr;
    if (local != 0 && msg->msgh_local_port != MACH_PORT_NULL) {
        reply = lookup(msg->msgh_local_port);
        if (!isLivePort(reply)) return MACH_SEND_INVALID_REPLY;
    }
    if (!consumeForSend(dest, remote)) return MACH_SEND_INVALID_DEST;
    if (reply && !consumeForSend(reply, local)) return MACH_SEND_INVALID_REPLY;
    // The receiver gets the reply right in its own (the same) name space.
    if (reply) {
        if (receivedType(local) == MACH_MSG_TYPE_PORT_SEND_ONCE)
            reply->sendOnceRefs++;
        else
            reply->sendRefs++;
    }
    std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(msg), reinterpret_cast<const uint8_t*>(msg) + size);
    auto* header = reinterpret_cast<mach_msg_header_t*>(bytes.data());
    header->msgh_size = size;
    header->msgh_bits = (msg->msgh_bits & MACH_MSGH_BITS_COMPLEX) |
                        MACH_MSGH_BITS(reply ? receivedType(local) : 0, receivedType(remote));
    header->msgh_remote_port = reply ? msg->msgh_local_port : MACH_PORT_NULL;
    header->msgh_local_port = msg->msgh_remote_port;
    if (remote == MACH_MSG_TYPE_MOVE_SEND) checkNoSenders(dest);
    enqueue(dest, std::move(bytes));
    freeIfUnused(dest);
    return MACH_MSG_SUCCESS;
}

// The port of `name` (or of the set `name`) that has a message waiting, if any.
Entry* ready(mach_port_name_t name, Entry* target) {
    if (target->kind == Kind::Port) return target->queue.empty() ? nullptr : target;
    for (Entry& e : entries)
        if (e.kind == Kind::Port && e.set == name && !e.queue.empty()) return &e;
    return nullptr;
}

mach_msg_return_t receive(mach_msg_header_t* msg, mach_msg_option_t option, mach_msg_size_t size, mach_port_name_t name,
                          mach_msg_timeout_t timeout) {
    std::unique_lock<std::mutex> guard(tableLock);
    Entry* target = lookup(name);
    if (!target || !((target->kind == Kind::Port && target->receive) || target->kind == Kind::Set))
        return MACH_RCV_INVALID_NAME;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    Entry* from = nullptr;
    for (;;) {
        target = lookup(name);
        if (!target || target->kind == Kind::DeadName) return MACH_RCV_PORT_DIED;
        if ((from = ready(name, target))) break;
        if (option & MACH_RCV_TIMEOUT) {
            if (tableChanged.wait_until(guard, deadline) == std::cv_status::timeout && !ready(name, target))
                return MACH_RCV_TIMED_OUT;
        } else {
            tableChanged.wait(guard);
        }
    }
    std::vector<uint8_t>& bytes = from->queue.front();
    const mach_msg_size_t needed = static_cast<mach_msg_size_t>(bytes.size() + sizeof(mach_msg_trailer_t));
    if (needed > size) {
        // With MACH_RCV_LARGE the message waits for a larger buffer, whose size the header tells.
        if (option & MACH_RCV_LARGE) {
            if (size >= sizeof(mach_msg_header_t)) msg->msgh_size = needed;
        } else {
            from->queue.pop_front();
        }
        return MACH_RCV_TOO_LARGE;
    }
    std::memcpy(msg, bytes.data(), bytes.size());
    mach_msg_trailer_t trailer = {0, sizeof(mach_msg_trailer_t)};
    std::memcpy(reinterpret_cast<uint8_t*>(msg) + bytes.size(), &trailer, sizeof trailer);
    from->queue.pop_front();
    return MACH_MSG_SUCCESS;
}

} // namespace

kern_return_t mach_port_allocate(task_t task, mach_port_right_t right, mach_port_name_t* name) {
    if (task != mach_task_self() || !name) return KERN_INVALID_ARGUMENT;
    if (right != MACH_PORT_RIGHT_RECEIVE && right != MACH_PORT_RIGHT_PORT_SET && right != MACH_PORT_RIGHT_DEAD_NAME)
        return KERN_INVALID_VALUE;
    std::lock_guard<std::mutex> guard(tableLock);
    for (Entry& e : entries) {
        if (e.kind != Kind::Free) continue;
        e = Entry{};
        if (right == MACH_PORT_RIGHT_RECEIVE) {
            e.kind = Kind::Port;
            e.receive = true;
        } else if (right == MACH_PORT_RIGHT_PORT_SET) {
            e.kind = Kind::Set;
        } else {
            e.kind = Kind::DeadName;
            e.deadRefs = 1;
        }
        *name = nameOf(&e);
        return KERN_SUCCESS;
    }
    return KERN_NO_SPACE;
}

kern_return_t mach_port_insert_right(task_t task, mach_port_name_t name, mach_port_t poly, mach_msg_type_name_t polyPoly) {
    if (task != mach_task_self()) return KERN_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> guard(tableLock);
    Entry* e = lookup(name);
    if (!isLivePort(e) || poly != name) return KERN_INVALID_NAME;
    switch (polyPoly) {
    case MACH_MSG_TYPE_MAKE_SEND:
        if (!e->receive) return KERN_INVALID_RIGHT;
        e->sendRefs++;
        return KERN_SUCCESS;
    case MACH_MSG_TYPE_COPY_SEND:
        if (e->sendRefs == 0) return KERN_INVALID_RIGHT;
        e->sendRefs++;
        return KERN_SUCCESS;
    case MACH_MSG_TYPE_MAKE_SEND_ONCE:
        if (!e->receive) return KERN_INVALID_RIGHT;
        e->sendOnceRefs++;
        return KERN_SUCCESS;
    default: return KERN_INVALID_VALUE;
    }
}

kern_return_t mach_port_move_member(task_t task, mach_port_name_t member, mach_port_name_t after) {
    if (task != mach_task_self()) return KERN_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> guard(tableLock);
    Entry* port = lookup(member);
    if (!isLivePort(port) || !port->receive) return KERN_INVALID_RIGHT;
    if (after != MACH_PORT_NULL) {
        Entry* set = lookup(after);
        if (!set || set->kind != Kind::Set) return KERN_INVALID_RIGHT;
    }
    port->set = after;
    tableChanged.notify_all();
    return KERN_SUCCESS;
}

kern_return_t mach_port_get_refs(task_t task, mach_port_name_t name, mach_port_right_t right, unsigned int* refs) {
    if (task != mach_task_self() || !refs) return KERN_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> guard(tableLock);
    Entry* e = lookup(name);
    if (!e) return KERN_INVALID_NAME;
    switch (right) {
    case MACH_PORT_RIGHT_SEND: *refs = e->kind == Kind::Port ? e->sendRefs : 0; break;
    case MACH_PORT_RIGHT_SEND_ONCE: *refs = e->kind == Kind::Port ? e->sendOnceRefs : 0; break;
    case MACH_PORT_RIGHT_RECEIVE: *refs = e->kind == Kind::Port && e->receive ? 1 : 0; break;
    case MACH_PORT_RIGHT_PORT_SET: *refs = e->kind == Kind::Set ? 1 : 0; break;
    case MACH_PORT_RIGHT_DEAD_NAME: *refs = e->kind == Kind::DeadName ? e->deadRefs : 0; break;
    default: return KERN_INVALID_VALUE;
    }
    return KERN_SUCCESS;
}

kern_return_t mach_port_request_notification(task_t task, mach_port_name_t name, mach_msg_id_t msgid,
                                             mach_port_mscount_t, mach_port_t notify, mach_msg_type_name_t notifyPoly,
                                             mach_port_t* previous) {
    if (task != mach_task_self() || msgid != MACH_NOTIFY_NO_SENDERS || notifyPoly != MACH_MSG_TYPE_MAKE_SEND_ONCE)
        return KERN_INVALID_VALUE;
    std::lock_guard<std::mutex> guard(tableLock);
    Entry* port = lookup(name);
    Entry* target = lookup(notify);
    if (!isLivePort(port) || !port->receive || !isLivePort(target) || !target->receive) return KERN_INVALID_RIGHT;
    if (previous) *previous = port->noSendersNotify;
    port->noSendersNotify = notify;
    target->sendOnceRefs++;
    return KERN_SUCCESS;
}

mach_msg_return_t mach_msg(mach_msg_header_t* msg, mach_msg_option_t option, mach_msg_size_t send_size,
                           mach_msg_size_t rcv_size, mach_port_name_t rcv_name, mach_msg_timeout_t timeout,
                           mach_port_name_t) {
    if (option & MACH_SEND_MSG) {
        mach_msg_return_t sent = send(msg, send_size);
        if (sent != MACH_MSG_SUCCESS) return sent;
    }
    if (option & MACH_RCV_MSG) return receive(msg, option, rcv_size, rcv_name, timeout);
    return MACH_MSG_SUCCESS;
}

bool vdsys_port_deallocate(mach_port_name_t name, kern_return_t* result) {
    if (!inTable(name)) return false;
    std::lock_guard<std::mutex> guard(tableLock);
    Entry* e = lookup(name);
    if (!e) return false;
    if (e->kind == Kind::Set) {
        for (Entry& member : entries)
            if (member.kind == Kind::Port && member.set == name) member.set = MACH_PORT_NULL;
        *e = Entry{};
    } else if (e->kind == Kind::DeadName) {
        e->deadRefs--;
        freeIfUnused(e);
    } else if (e->sendRefs > 0) {
        e->sendRefs--;
        checkNoSenders(e);
        freeIfUnused(e);
    } else if (e->sendOnceRefs > 0) {
        e->sendOnceRefs--;
        freeIfUnused(e);
    } else {
        destroyReceive(e);
    }
    tableChanged.notify_all();
    *result = KERN_SUCCESS;
    return true;
}

bool vdsys_port_mod_refs(mach_port_name_t name, mach_port_right_t right, int delta, kern_return_t* result) {
    if (!inTable(name)) return false;
    std::lock_guard<std::mutex> guard(tableLock);
    Entry* e = lookup(name);
    if (!e) return false;
    auto adjust = [&](unsigned& refs) -> kern_return_t {
        if (delta < 0 && refs < static_cast<unsigned>(-delta)) return KERN_INVALID_VALUE;
        refs = static_cast<unsigned>(static_cast<int>(refs) + delta);
        return KERN_SUCCESS;
    };
    *result = KERN_INVALID_RIGHT;
    if (right == MACH_PORT_RIGHT_SEND && e->kind == Kind::Port) {
        *result = adjust(e->sendRefs);
        if (*result == KERN_SUCCESS && delta < 0) checkNoSenders(e);
        freeIfUnused(e);
    } else if (right == MACH_PORT_RIGHT_SEND_ONCE && e->kind == Kind::Port) {
        *result = adjust(e->sendOnceRefs);
        freeIfUnused(e);
    } else if (right == MACH_PORT_RIGHT_DEAD_NAME && e->kind == Kind::DeadName) {
        *result = adjust(e->deadRefs);
        freeIfUnused(e);
    } else if (right == MACH_PORT_RIGHT_RECEIVE && e->kind == Kind::Port && e->receive && delta <= 0) {
        if (delta == -1) destroyReceive(e);
        *result = delta >= -1 ? kern_return_t(KERN_SUCCESS) : kern_return_t(KERN_INVALID_VALUE);
    } else if (right == MACH_PORT_RIGHT_PORT_SET && e->kind == Kind::Set && delta <= 0) {
        if (delta == -1) {
            for (Entry& member : entries)
                if (member.kind == Kind::Port && member.set == name) member.set = MACH_PORT_NULL;
            *e = Entry{};
        }
        *result = delta >= -1 ? kern_return_t(KERN_SUCCESS) : kern_return_t(KERN_INVALID_VALUE);
    }
    tableChanged.notify_all();
    return true;
}

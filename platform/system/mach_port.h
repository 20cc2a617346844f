#pragma once
// Mach ports and messages inside the own task: a port-name table whose receive rights are message
// queues, send and send-once rights with user references, port sets, the no-senders notification
// and mach_msg send and receive. One task only, so a port's rights of every kind share its name,
// and a message's rights stay in the same name space.
//
// Not async-signal-safe (a mutex guards the table): the crash reporter uses ports only on its
// exception server's thread, never inside a signal handler.

#include "platform/system/mach.h"

#include <cstdint>

typedef mach_port_t mach_port_name_t;
typedef unsigned int mach_port_right_t;
typedef unsigned int mach_msg_bits_t;
typedef unsigned int mach_msg_size_t;
typedef int mach_msg_id_t;
typedef int mach_msg_option_t;
typedef unsigned int mach_msg_timeout_t;
typedef unsigned int mach_msg_type_name_t;
typedef unsigned int mach_port_mscount_t;
typedef kern_return_t mach_msg_return_t;

constexpr mach_port_t MACH_PORT_DEAD = ~0u;
inline bool MACH_PORT_VALID(mach_port_t name) { return name != MACH_PORT_NULL && name != MACH_PORT_DEAD; }

enum : mach_port_right_t {
    MACH_PORT_RIGHT_SEND = 0,
    MACH_PORT_RIGHT_RECEIVE = 1,
    MACH_PORT_RIGHT_SEND_ONCE = 2,
    MACH_PORT_RIGHT_PORT_SET = 3,
    MACH_PORT_RIGHT_DEAD_NAME = 4,
};

enum : mach_msg_type_name_t {
    MACH_MSG_TYPE_MOVE_RECEIVE = 16,
    MACH_MSG_TYPE_MOVE_SEND = 17,
    MACH_MSG_TYPE_MOVE_SEND_ONCE = 18,
    MACH_MSG_TYPE_COPY_SEND = 19,
    MACH_MSG_TYPE_MAKE_SEND = 20,
    MACH_MSG_TYPE_MAKE_SEND_ONCE = 21,
    MACH_MSG_TYPE_PORT_SEND = MACH_MSG_TYPE_MOVE_SEND,
    MACH_MSG_TYPE_PORT_SEND_ONCE = MACH_MSG_TYPE_MOVE_SEND_ONCE,
};

constexpr mach_msg_bits_t MACH_MSGH_BITS_COMPLEX = 0x80000000u;
constexpr mach_msg_bits_t MACH_MSGH_BITS(mach_msg_type_name_t remote, mach_msg_type_name_t local) {
    return remote | (local << 8);
}
constexpr mach_msg_type_name_t MACH_MSGH_BITS_REMOTE(mach_msg_bits_t bits) { return bits & 0xff; }
constexpr mach_msg_type_name_t MACH_MSGH_BITS_LOCAL(mach_msg_bits_t bits) { return (bits >> 8) & 0xff; }

struct mach_msg_header_t {
    mach_msg_bits_t msgh_bits;
    mach_msg_size_t msgh_size;
    mach_port_t msgh_remote_port;
    mach_port_t msgh_local_port;
    mach_port_name_t msgh_voucher_port;
    mach_msg_id_t msgh_id;
};
static_assert(sizeof(mach_msg_header_t) == 24, "the message header");

struct mach_msg_body_t {
    mach_msg_size_t msgh_descriptor_count;
};

// A port right carried in a complex message. Rights in descriptors are passed by name.
struct mach_msg_port_descriptor_t {
    mach_port_t name;
    mach_msg_size_t pad1;
    uint16_t pad2;
    uint8_t disposition;
    uint8_t type;
};
static_assert(sizeof(mach_msg_port_descriptor_t) == 12, "a port descriptor");
constexpr uint8_t MACH_MSG_PORT_DESCRIPTOR = 0;

// The data representation record that generated messages carry after their descriptors.
struct NDR_record_t {
    uint8_t mig_vers, if_vers, reserved1, mig_encoding, int_rep, char_rep, float_rep, reserved2;
};
extern const NDR_record_t NDR_record;

// The trailer a receiver gets after every message.
struct mach_msg_trailer_t {
    unsigned int msgh_trailer_type;
    mach_msg_size_t msgh_trailer_size;
};

enum : mach_msg_option_t {
    MACH_MSG_OPTION_NONE = 0,
    MACH_SEND_MSG = 0x1,
    MACH_RCV_MSG = 0x2,
    MACH_RCV_LARGE = 0x4,
    MACH_SEND_TIMEOUT = 0x10,
    MACH_RCV_TIMEOUT = 0x100,
};
constexpr mach_msg_timeout_t MACH_MSG_TIMEOUT_NONE = 0;

enum : mach_msg_return_t {
    MACH_MSG_SUCCESS = 0,
    MACH_SEND_INVALID_DATA = 0x10000002,
    MACH_SEND_INVALID_DEST = 0x10000003,
    MACH_SEND_INVALID_REPLY = 0x10000009,
    MACH_SEND_INVALID_RIGHT = 0x1000000a,
    MACH_SEND_MSG_TOO_SMALL = 0x10000008,
    MACH_RCV_INVALID_NAME = 0x10004002,
    MACH_RCV_TIMED_OUT = 0x10004003,
    MACH_RCV_TOO_LARGE = 0x10004004,
    MACH_RCV_PORT_DIED = 0x10004009,
};

enum : kern_return_t {
    KERN_INVALID_RIGHT = 17,
    KERN_INVALID_VALUE = 18,
    KERN_UREFS_OVERFLOW = 19,
};

constexpr mach_msg_id_t MACH_NOTIFY_NO_SENDERS = 70;

kern_return_t mach_port_allocate(task_t task, mach_port_right_t right, mach_port_name_t* name);
kern_return_t mach_port_insert_right(task_t task, mach_port_name_t name, mach_port_t poly, mach_msg_type_name_t polyPoly);
// Moves a receive right into a port set (or out of any set with MACH_PORT_NULL).
kern_return_t mach_port_move_member(task_t task, mach_port_name_t member, mach_port_name_t after);
kern_return_t mach_port_get_refs(task_t task, mach_port_name_t name, mach_port_right_t right, unsigned int* refs);
// Asks for a MACH_NOTIFY_NO_SENDERS message on `notify` (a send-once right made with
// MACH_MSG_TYPE_MAKE_SEND_ONCE) once the port has no send rights left.
kern_return_t mach_port_request_notification(task_t task, mach_port_name_t name, mach_msg_id_t msgid,
                                             mach_port_mscount_t sync, mach_port_t notify,
                                             mach_msg_type_name_t notifyPoly, mach_port_t* previous);

mach_msg_return_t mach_msg(mach_msg_header_t* msg, mach_msg_option_t option, mach_msg_size_t send_size,
                           mach_msg_size_t rcv_size, mach_port_name_t rcv_name, mach_msg_timeout_t timeout,
                           mach_port_name_t notify);

// For mach.cpp: the port table's part of mach_port_deallocate and mach_port_mod_refs. NO when the
// name is not one of the table's.
bool vdsys_port_deallocate(mach_port_name_t name, kern_return_t* result);
bool vdsys_port_mod_refs(mach_port_name_t name, mach_port_right_t right, int delta, kern_return_t* result);

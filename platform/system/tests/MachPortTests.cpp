#include "platform/system/mach_port.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

mach_port_t newPort() {
    mach_port_t port = MACH_PORT_NULL;
    EXPECT_EQ(mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &port), KERN_SUCCESS);
    return port;
}

unsigned refs(mach_port_t port, mach_port_right_t right) {
    unsigned n = 0;
    EXPECT_EQ(mach_port_get_refs(mach_task_self(), port, right, &n), KERN_SUCCESS);
    return n;
}

// A message of `size` bytes (header included) to `to`, with an optional reply right.
std::vector<uint32_t> message(mach_port_t to, mach_msg_size_t size, mach_msg_id_t id, mach_port_t reply = MACH_PORT_NULL,
                              mach_msg_type_name_t replyDisposition = 0) {
    std::vector<uint32_t> words(size / 4);
    auto* header = reinterpret_cast<mach_msg_header_t*>(words.data());
    header->msgh_bits = MACH_MSGH_BITS(MACH_MSG_TYPE_MAKE_SEND, replyDisposition);
    header->msgh_size = size;
    header->msgh_remote_port = to;
    header->msgh_local_port = reply;
    header->msgh_id = id;
    for (size_t i = sizeof(mach_msg_header_t) / 4; i < words.size(); ++i) words[i] = static_cast<uint32_t>(i);
    return words;
}

mach_msg_return_t sendMessage(std::vector<uint32_t>& words) {
    auto* header = reinterpret_cast<mach_msg_header_t*>(words.data());
    return mach_msg(header, MACH_SEND_MSG, header->msgh_size, 0, MACH_PORT_NULL, 0, MACH_PORT_NULL);
}

} // namespace

TEST(MachPorts, AMessageCarriesItsReplyRightAndTheReplyConsumesIt) {
    mach_port_t service = newPort(), reply = newPort();
    auto request = message(service, 32, 7, reply, MACH_MSG_TYPE_MAKE_SEND_ONCE);
    ASSERT_EQ(sendMessage(request), MACH_MSG_SUCCESS);
    EXPECT_EQ(refs(reply, MACH_PORT_RIGHT_SEND_ONCE), 1u);

    alignas(8) uint8_t buffer[256];
    auto* received = reinterpret_cast<mach_msg_header_t*>(buffer);
    ASSERT_EQ(mach_msg(received, MACH_RCV_MSG, 0, sizeof buffer, service, 0, MACH_PORT_NULL), MACH_MSG_SUCCESS);
    EXPECT_EQ(received->msgh_id, 7);
    EXPECT_EQ(received->msgh_size, 32u);
    EXPECT_EQ(received->msgh_local_port, service);
    EXPECT_EQ(received->msgh_remote_port, reply);
    EXPECT_EQ(MACH_MSGH_BITS_REMOTE(received->msgh_bits), MACH_MSG_TYPE_PORT_SEND_ONCE);

    mach_msg_header_t answer{};
    answer.msgh_bits = MACH_MSGH_BITS_REMOTE(received->msgh_bits);
    answer.msgh_size = sizeof answer;
    answer.msgh_remote_port = received->msgh_remote_port;
    answer.msgh_id = 107;
    ASSERT_EQ(mach_msg(&answer, MACH_SEND_MSG, sizeof answer, 0, MACH_PORT_NULL, 0, MACH_PORT_NULL), MACH_MSG_SUCCESS);
    EXPECT_EQ(refs(reply, MACH_PORT_RIGHT_SEND_ONCE), 0u);
    // A send-once right is gone after its one use.
    EXPECT_EQ(mach_msg(&answer, MACH_SEND_MSG, sizeof answer, 0, MACH_PORT_NULL, 0, MACH_PORT_NULL), MACH_SEND_INVALID_DEST);
    ASSERT_EQ(mach_msg(received, MACH_RCV_MSG, 0, sizeof buffer, reply, 0, MACH_PORT_NULL), MACH_MSG_SUCCESS);
    EXPECT_EQ(received->msgh_id, 107);
}

TEST(MachPorts, ALargeMessageWaitsForALargerBufferOrIsDropped) {
    mach_port_t port = newPort();
    for (int i = 0; i < 2; ++i) {
        auto big = message(port, 200, 1);
        ASSERT_EQ(sendMessage(big), MACH_MSG_SUCCESS);
    }
    alignas(8) uint8_t small[64];
    auto* header = reinterpret_cast<mach_msg_header_t*>(small);
    EXPECT_EQ(mach_msg(header, MACH_RCV_MSG | MACH_RCV_LARGE, 0, sizeof small, port, 0, MACH_PORT_NULL), MACH_RCV_TOO_LARGE);
    EXPECT_EQ(header->msgh_size, 200u + sizeof(mach_msg_trailer_t));
    alignas(8) uint8_t large[512];
    auto* received = reinterpret_cast<mach_msg_header_t*>(large);
    ASSERT_EQ(mach_msg(received, MACH_RCV_MSG, 0, sizeof large, port, 0, MACH_PORT_NULL), MACH_MSG_SUCCESS);
    EXPECT_EQ(received->msgh_size, 200u);
    uint32_t last;
    std::memcpy(&last, large + 196, 4);
    EXPECT_EQ(last, 49u);
    // Without MACH_RCV_LARGE the message that does not fit is lost.
    EXPECT_EQ(mach_msg(header, MACH_RCV_MSG, 0, sizeof small, port, 0, MACH_PORT_NULL), MACH_RCV_TOO_LARGE);
    EXPECT_EQ(mach_msg(received, MACH_RCV_MSG | MACH_RCV_TIMEOUT, 0, sizeof large, port, 10, MACH_PORT_NULL),
              MACH_RCV_TIMED_OUT);
}

TEST(MachPorts, APortSetReceivesForItsMembersUntilItGoes) {
    mach_port_t a = newPort(), b = newPort(), set = MACH_PORT_NULL;
    ASSERT_EQ(mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_PORT_SET, &set), KERN_SUCCESS);
    ASSERT_EQ(mach_port_move_member(mach_task_self(), a, set), KERN_SUCCESS);
    ASSERT_EQ(mach_port_move_member(mach_task_self(), b, set), KERN_SUCCESS);
    EXPECT_EQ(refs(set, MACH_PORT_RIGHT_PORT_SET), 1u);
    auto toB = message(b, 24, 2);
    ASSERT_EQ(sendMessage(toB), MACH_MSG_SUCCESS);
    alignas(8) uint8_t buffer[64];
    auto* received = reinterpret_cast<mach_msg_header_t*>(buffer);
    ASSERT_EQ(mach_msg(received, MACH_RCV_MSG, 0, sizeof buffer, set, 0, MACH_PORT_NULL), MACH_MSG_SUCCESS);
    EXPECT_EQ(received->msgh_local_port, b);
    EXPECT_EQ(mach_port_move_member(mach_task_self(), a, 0x12345), KERN_INVALID_RIGHT);

    ASSERT_EQ(mach_port_deallocate(mach_task_self(), set), KERN_SUCCESS);
    unsigned n = 0;
    EXPECT_EQ(mach_port_get_refs(mach_task_self(), set, MACH_PORT_RIGHT_PORT_SET, &n), KERN_INVALID_NAME);
    EXPECT_EQ(mach_msg(received, MACH_RCV_MSG, 0, sizeof buffer, set, 0, MACH_PORT_NULL), MACH_RCV_INVALID_NAME);
    // Its members are ports of their own again.
    auto toA = message(a, 24, 3);
    ASSERT_EQ(sendMessage(toA), MACH_MSG_SUCCESS);
    ASSERT_EQ(mach_msg(received, MACH_RCV_MSG, 0, sizeof buffer, a, 0, MACH_PORT_NULL), MACH_MSG_SUCCESS);
    EXPECT_EQ(received->msgh_id, 3);
}

TEST(MachPorts, SendRightsCountUserReferencesAndTheLastOneTellsTheNoSendersPort) {
    mach_port_t port = newPort(), notify = newPort();
    mach_port_t previous = 1;
    ASSERT_EQ(mach_port_request_notification(mach_task_self(), port, MACH_NOTIFY_NO_SENDERS, 1, notify,
                                             MACH_MSG_TYPE_MAKE_SEND_ONCE, &previous),
              KERN_SUCCESS);
    EXPECT_EQ(previous, MACH_PORT_NULL);
    ASSERT_EQ(mach_port_insert_right(mach_task_self(), port, port, MACH_MSG_TYPE_MAKE_SEND), KERN_SUCCESS);
    ASSERT_EQ(mach_port_mod_refs(mach_task_self(), port, MACH_PORT_RIGHT_SEND, 2), KERN_SUCCESS);
    EXPECT_EQ(refs(port, MACH_PORT_RIGHT_SEND), 3u);
    EXPECT_EQ(mach_port_mod_refs(mach_task_self(), port, MACH_PORT_RIGHT_SEND, -4), KERN_INVALID_VALUE);
    ASSERT_EQ(mach_port_mod_refs(mach_task_self(), port, MACH_PORT_RIGHT_SEND, -2), KERN_SUCCESS);
    alignas(8) uint8_t buffer[128];
    auto* received = reinterpret_cast<mach_msg_header_t*>(buffer);
    EXPECT_EQ(mach_msg(received, MACH_RCV_MSG | MACH_RCV_TIMEOUT, 0, sizeof buffer, notify, 0, MACH_PORT_NULL),
              MACH_RCV_TIMED_OUT);
    ASSERT_EQ(mach_port_deallocate(mach_task_self(), port), KERN_SUCCESS);
    ASSERT_EQ(mach_msg(received, MACH_RCV_MSG | MACH_RCV_TIMEOUT, 0, sizeof buffer, notify, 0, MACH_PORT_NULL),
              MACH_MSG_SUCCESS);
    EXPECT_EQ(received->msgh_id, MACH_NOTIFY_NO_SENDERS);
    // The receive right is still there until it is given up.
    EXPECT_EQ(refs(port, MACH_PORT_RIGHT_RECEIVE), 1u);
    ASSERT_EQ(mach_port_mod_refs(mach_task_self(), port, MACH_PORT_RIGHT_RECEIVE, -1), KERN_SUCCESS);
    unsigned n = 0;
    EXPECT_EQ(mach_port_get_refs(mach_task_self(), port, MACH_PORT_RIGHT_RECEIVE, &n), KERN_INVALID_NAME);
}

TEST(MachPorts, SendingNeedsARightToALivePort) {
    mach_port_t port = newPort();
    std::vector<uint32_t> words = message(port, 24, 1);
    auto* header = reinterpret_cast<mach_msg_header_t*>(words.data());
    header->msgh_bits = MACH_MSGH_BITS(MACH_MSG_TYPE_COPY_SEND, 0);
    EXPECT_EQ(sendMessage(words), MACH_SEND_INVALID_DEST) << "no send right to copy";
    header->msgh_size = 20;
    EXPECT_EQ(mach_msg(header, MACH_SEND_MSG, 20, 0, MACH_PORT_NULL, 0, MACH_PORT_NULL), MACH_SEND_MSG_TOO_SMALL);
    ASSERT_EQ(mach_port_insert_right(mach_task_self(), port, port, MACH_MSG_TYPE_MAKE_SEND), KERN_SUCCESS);
    ASSERT_EQ(mach_port_mod_refs(mach_task_self(), port, MACH_PORT_RIGHT_RECEIVE, -1), KERN_SUCCESS);
    // The name still holds a right, now to a dead port.
    EXPECT_EQ(refs(port, MACH_PORT_RIGHT_DEAD_NAME), 1u);
    header->msgh_size = 24;
    EXPECT_EQ(sendMessage(words), MACH_SEND_INVALID_DEST);
    // Thread and task names are not ports of the table.
    EXPECT_EQ(mach_port_deallocate(mach_task_self(), mach_thread_self()), KERN_SUCCESS);
}

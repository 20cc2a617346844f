// The exception server, forwarding and the exception-to-signal mapping, over the in-process ports.
#include "platform/foundation/NSException.h"
#include "platform/system/thread_act.h"
#include "sdk/crashreporter/VuderuCrashAsync.h"
#include "sdk/crashreporter/VuderuCrashMachExceptionServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A handler of exception requests on a port of its own: answers each with `answer` and records
// the request ids and their first code.
class TestHandler {
public:
    explicit TestHandler(kern_return_t answer) : answer_(answer) {
        mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &port_);
        mach_port_insert_right(mach_task_self(), port_, port_, MACH_MSG_TYPE_MAKE_SEND);
        thread_ = std::thread([this] { serve(); });
    }
    ~TestHandler() {
        mach_msg_header_t stop{};
        stop.msgh_bits = MACH_MSGH_BITS(MACH_MSG_TYPE_MAKE_SEND, 0);
        stop.msgh_size = sizeof stop;
        stop.msgh_remote_port = port_;
        stop.msgh_id = kStop;
        mach_msg(&stop, MACH_SEND_MSG, sizeof stop, 0, MACH_PORT_NULL, 0, MACH_PORT_NULL);
        thread_.join();
        mach_port_mod_refs(mach_task_self(), port_, MACH_PORT_RIGHT_RECEIVE, -1);
    }
    mach_port_t port() const { return port_; }
    std::vector<mach_msg_id_t> ids() {
        std::lock_guard<std::mutex> guard(lock_);
        return ids_;
    }
    std::vector<uint32_t> firstWords() {
        std::lock_guard<std::mutex> guard(lock_);
        return firstCodes_;
    }

private:
    static constexpr mach_msg_id_t kStop = 1;
    void serve() {
        for (;;) {
            alignas(8) uint8_t buffer[2048];
            auto* request = reinterpret_cast<mach_msg_header_t*>(buffer);
            if (mach_msg(request, MACH_RCV_MSG, 0, sizeof buffer, port_, 0, MACH_PORT_NULL) != MACH_MSG_SUCCESS) return;
            if (request->msgh_id == kStop) return;
            // The first code: after the descriptors for the identity forms, right after the count
            // for the state form.
            size_t codeAt = request->msgh_id == VDSYS_EXCEPTION_RAISE_STATE_ID ? 40 : 68;
            uint32_t code = 0;
            std::memcpy(&code, buffer + codeAt, 4);
            {
                std::lock_guard<std::mutex> guard(lock_);
                ids_.push_back(request->msgh_id);
                firstCodes_.push_back(code);
            }
            struct {
                mach_msg_header_t header;
                NDR_record_t ndr;
                kern_return_t result;
                uint32_t flavor, count;
            } reply{};
            reply.header.msgh_bits = MACH_MSGH_BITS_REMOTE(request->msgh_bits);
            reply.header.msgh_size = sizeof reply;
            reply.header.msgh_remote_port = request->msgh_remote_port;
            reply.header.msgh_id = request->msgh_id + 100;
            reply.result = answer_;
            mach_msg(&reply.header, MACH_SEND_MSG, sizeof reply, 0, MACH_PORT_NULL, 0, MACH_PORT_NULL);
        }
    }
    kern_return_t answer_;
    mach_port_t port_ = MACH_PORT_NULL;
    std::mutex lock_;
    std::vector<mach_msg_id_t> ids_;
    std::vector<uint32_t> firstCodes_;
    std::thread thread_;
};

// What the server's callback saw.
struct Seen {
    std::atomic<int> calls{0};
    thread_t thread = 0;
    exception_type_t type = 0;
    std::vector<mach_exception_data_type_t> codes;
};

kern_return_t recordingCallback(task_t, thread_t thread, exception_type_t type, const mach_exception_data_type_t* code,
                                mach_msg_type_number_t count, void* context) {
    auto* seen = static_cast<Seen*>(context);
    seen->thread = thread;
    seen->type = type;
    seen->codes.assign(code, code + count);
    seen->calls++;
    return KERN_RESOURCE_SHORTAGE;  // a distinct answer, to see it come back
}

// A request to the server port with a reply port of its own; the reply's return code.
kern_return_t sendRaw(mach_port_t to, std::vector<uint8_t> bytes, mach_msg_id_t id) {
    mach_port_t reply = MACH_PORT_NULL;
    mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &reply);
    auto* header = reinterpret_cast<mach_msg_header_t*>(bytes.data());
    header->msgh_bits = MACH_MSGH_BITS(MACH_MSG_TYPE_COPY_SEND, MACH_MSG_TYPE_MAKE_SEND_ONCE);
    header->msgh_size = static_cast<mach_msg_size_t>(bytes.size());
    header->msgh_remote_port = to;
    header->msgh_local_port = reply;
    header->msgh_id = id;
    kern_return_t kr = mach_msg(header, MACH_SEND_MSG, header->msgh_size, 0, MACH_PORT_NULL, 0, MACH_PORT_NULL);
    if (kr == KERN_SUCCESS) {
        alignas(8) uint8_t buffer[256];
        auto* answer = reinterpret_cast<mach_msg_header_t*>(buffer);
        kr = mach_msg(answer, MACH_RCV_MSG, 0, sizeof buffer, reply, 0, MACH_PORT_NULL);
        if (kr == KERN_SUCCESS) {
            EXPECT_EQ(answer->msgh_id, id + 100);
            std::memcpy(&kr, buffer + 32, 4);
        }
    }
    mach_port_mod_refs(mach_task_self(), reply, MACH_PORT_RIGHT_RECEIVE, -1);
    return kr;
}

struct ServerFixture {
    Seen seen;
    std::shared_ptr<VuderuCrashMachExceptionServer> server;
    mach_port_t port = MACH_PORT_NULL;
    ServerFixture() {
        NSErrorPtr error;
        server = VuderuCrashMachExceptionServer::initWithCallBackContextError(recordingCallback, &seen, &error);
        EXPECT_TRUE(server);
        if (server) port = server->copySendRightForServerAndReturningError(&error);
    }
    ~ServerFixture() {
        if (MACH_PORT_VALID(port)) mach_port_deallocate(mach_task_self(), port);
    }
};

} // namespace

TEST(VuderuCrashMachException, ExceptionsMapToSignals) {
    struct Case {
        exception_type_t type;
        mach_exception_data_type_t code0;
        int signo, code;
    };
    const Case cases[] = {
        {EXC_BAD_ACCESS, 1, 11, 1},   {EXC_BAD_ACCESS, 2, 10, 2},      {EXC_BAD_INSTRUCTION, 0, 4, 0},
        {EXC_ARITHMETIC, 0, 8, 0},    {EXC_EMULATION, 0, 7, 0},        {EXC_SOFTWARE, 0x10000, 12, 0},
        {EXC_SOFTWARE, 0x10001, 13, 0}, {EXC_SOFTWARE, 0x10003, 9, 0}, {EXC_SOFTWARE, 0x10002, 6, 0},
        {EXC_SOFTWARE, 0x10005, 6, 0}, {EXC_BREAKPOINT, 0, 5, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << "/" << c.code0);
        mach_exception_data_type_t codes[2] = {c.code0, 0x7777};
        vdcrash_mach_siginfo info{};
        ASSERT_TRUE(vdcrash_async_mach_exception_get_siginfo(c.type, codes, 2, CPU_TYPE_ANY, &info));
        EXPECT_EQ(info.signo, c.signo);
        EXPECT_EQ(info.code, c.code);
        EXPECT_EQ(info.address, 0x7777u);
    }
    mach_exception_data_type_t one[1] = {1};
    vdcrash_mach_siginfo info{};
    EXPECT_FALSE(vdcrash_async_mach_exception_get_siginfo(EXC_BAD_ACCESS, one, 1, CPU_TYPE_ANY, &info));
    EXPECT_FALSE(vdcrash_async_mach_exception_get_siginfo(EXC_SYSCALL, one, 2, CPU_TYPE_ANY, &info));
}

TEST(VuderuCrashMachException, ForwardingServesTheFirstRegistrationThatCovers) {
    TestHandler first(KERN_SUCCESS), second(KERN_SUCCESS);
    // A thread whose registers the state forms can read.
    std::atomic<bool> stop{false};
    std::atomic<thread_t> worker{0};
    std::thread spinner([&] {
        worker = vd_mach_thread_self();
        while (!stop.load()) {
        }
    });
    while (worker.load() == 0) std::this_thread::yield();
    ASSERT_EQ(thread_suspend(worker.load()), KERN_SUCCESS);

    struct Case {
        const char* name;
        exception_behavior_t behavior;
        exception_mask_t mask;
        uint32_t count;
        kern_return_t expected;
        mach_msg_id_t id;  // 0: nothing reaches the first handler
    };
    const Case cases[] = {
        {"no registration", EXCEPTION_DEFAULT, EXC_MASK_BAD_ACCESS, 0, KERN_FAILURE, 0},
        {"no mask covers it", EXCEPTION_DEFAULT, EXC_MASK_BREAKPOINT, 1, KERN_FAILURE, 0},
        {"64-bit codes are not served", EXCEPTION_DEFAULT | MACH_EXCEPTION_CODES, EXC_MASK_BAD_ACCESS, 2, KERN_FAILURE, 0},
        {"default", EXCEPTION_DEFAULT, EXC_MASK_BAD_ACCESS, 1, KERN_SUCCESS, 2401},
        {"state", EXCEPTION_STATE, EXC_MASK_BAD_ACCESS, 1, KERN_SUCCESS, 2402},
        {"state and identity", EXCEPTION_STATE_IDENTITY, EXC_MASK_BAD_ACCESS, 1, KERN_SUCCESS, 2403},
    };
    const mach_exception_data_type_t codes[2] = {0x100000001, 0x20};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vdcrash_mach_exception_port_set set{};
        set.count = c.count;
        set.ports[0] = first.port();
        set.masks[0] = c.mask;
        set.behaviors[0] = c.behavior;
        set.flavors[0] = x86_THREAD_STATE64;
        // A later entry that would serve it: never tried once an earlier one is picked.
        set.ports[1] = second.port();
        set.masks[1] = EXC_MASK_BAD_ACCESS;
        set.behaviors[1] = EXCEPTION_DEFAULT;
        size_t before = first.ids().size();
        EXPECT_EQ(VuderuCrashMachExceptionForward(mach_task_self(), worker.load(), EXC_BAD_ACCESS, codes, 2, &set),
                  c.expected);
        auto ids = first.ids();
        if (c.id) {
            ASSERT_EQ(ids.size(), before + 1);
            EXPECT_EQ(ids.back(), c.id);
            EXPECT_EQ(first.firstWords().back(), 1u) << "codes go as 32-bit values";
        } else {
            EXPECT_EQ(ids.size(), before);
        }
    }
    EXPECT_TRUE(second.ids().empty());
    thread_resume(worker.load());
    // The state forms need the thread's registers: a running thread gives the read's error.
    vdcrash_mach_exception_port_set set{};
    set.count = 1;
    set.ports[0] = first.port();
    set.masks[0] = EXC_MASK_BAD_ACCESS;
    set.behaviors[0] = EXCEPTION_STATE;
    set.flavors[0] = x86_THREAD_STATE64;
    EXPECT_EQ(VuderuCrashMachExceptionForward(mach_task_self(), worker.load(), EXC_BAD_ACCESS, codes, 2, &set), KERN_FAILURE);
    stop = true;
    spinner.join();
}

TEST(VuderuCrashMachExceptionServer, TheCallbackGetsTheExceptionAndItsAnswerIsTheReply) {
    ServerFixture f;
    ASSERT_TRUE(f.server);
    EXPECT_NE(f.server->serverThread(), MACH_PORT_NULL);
    NSErrorPtr error;
    auto registration = f.server->exceptionPortWithMaskError(EXC_MASK_BAD_ACCESS, &error);
    ASSERT_TRUE(registration);
    EXPECT_EQ(registration->behavior(), EXCEPTION_DEFAULT | MACH_EXCEPTION_CODES);
    const thread_t thread = vd_mach_thread_self();
    std::shared_ptr<VuderuCrashMachExceptionPortSet> previous;
    ASSERT_TRUE(registration->registerForThreadPreviousPortSetError(thread, &previous, &error));
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous->asyncSafeRepresentation().count, 1u);
    EXPECT_FALSE(MACH_PORT_VALID(previous->asyncSafeRepresentation().ports[0]));

    // Small and large requests: the server grows its buffer to whole pages for the large one.
    for (mach_msg_type_number_t count : {2u, 1000u}) {
        SCOPED_TRACE(count);
        std::vector<mach_exception_data_type_t> codes(count);
        for (mach_msg_type_number_t i = 0; i < count; ++i) codes[i] = static_cast<mach_exception_data_type_t>(i) * 3 + 1;
        EXPECT_EQ(vdsys_mach_raise_exception(thread, EXC_BAD_ACCESS, codes.data(), count), KERN_RESOURCE_SHORTAGE);
        EXPECT_EQ(f.seen.thread, thread);
        EXPECT_EQ(f.seen.type, EXC_BAD_ACCESS);
        EXPECT_EQ(f.seen.codes, codes);
    }
    auto current = VuderuCrashMachExceptionPort::exceptionPortsForThreadMaskError(thread, EXC_MASK_BAD_ACCESS, &error);
    ASSERT_TRUE(current);
    ASSERT_EQ(current->set().size(), 1u);
    EXPECT_EQ(current->set()[0]->mask(), EXC_MASK_BAD_ACCESS);
}

TEST(VuderuCrashMachExceptionServer, MalformedRequestsAreAnsweredWithFailure) {
    ServerFixture f;
    ASSERT_TRUE(f.server);
    struct Case {
        const char* name;
        size_t size;
        uint32_t count;
        mach_msg_id_t id;
    };
    const Case cases[] = {
        {"header only", 24, 0, 2405},
        {"shorter than a request", 72, 0, 2405},
        {"the stop id without a stop", 24, 0, VDCRASH_EXCEPTION_SERVER_STOP_ID},
        {"more codes than arrived", 84, 3, 2405},
        // 0x20000001 codes of 8 bytes wrap to 8 in 32 bits.
        {"a count that wraps", 84, 0x20000001, 2405},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes(c.size);
        if (c.size >= 68) std::memcpy(bytes.data() + 64, &c.count, 4);
        EXPECT_EQ(sendRaw(f.port, bytes, c.id), KERN_FAILURE);
    }
    EXPECT_EQ(f.seen.calls.load(), 0);
    // The server still serves.
    std::vector<uint8_t> good(84);
    uint32_t two = 2;
    std::memcpy(good.data() + 64, &two, 4);
    EXPECT_EQ(sendRaw(f.port, good, 2405), KERN_RESOURCE_SHORTAGE);
}

TEST(VuderuCrashMachExceptionServer, TeardownStopsTheThreadOrFindsItGone) {
    {
        ServerFixture f;
        ASSERT_TRUE(f.server);
    }  // the stop handshake
    // The thread can't get its buffer and ends by itself; the teardown must not wait for it.
    vdsys_test_fail_vm_allocate(1);
    Seen seen;
    NSErrorPtr error;
    auto server = VuderuCrashMachExceptionServer::initWithCallBackContextError(recordingCallback, &seen, &error);
    ASSERT_TRUE(server);
    server.reset();
    vdsys_test_fail_vm_allocate(0);
}

TEST(VuderuCrashMachExceptionPortSet, TheRecordFollowsTheSetAndReferencesAreKept) {
    mach_port_t port = MACH_PORT_NULL;
    ASSERT_EQ(mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &port), KERN_SUCCESS);
    ASSERT_EQ(mach_port_insert_right(mach_task_self(), port, port, MACH_MSG_TYPE_MAKE_SEND), KERN_SUCCESS);
    auto refs = [&] {
        unsigned n = 0;
        mach_port_get_refs(mach_task_self(), port, MACH_PORT_RIGHT_SEND, &n);
        return n;
    };
    {
        // The right the system handed over is replaced by the object's own.
        vdcrash_mach_exception_port_set record{};
        record.count = 2;
        record.ports[0] = port;
        record.masks[0] = EXC_MASK_SOFTWARE;
        record.behaviors[0] = EXCEPTION_STATE;
        record.flavors[0] = 4;
        record.ports[1] = MACH_PORT_NULL;
        record.masks[1] = EXC_MASK_BREAKPOINT;
        auto set = VuderuCrashMachExceptionPortSet::initWithAsyncSafeRepresentation(record);
        EXPECT_EQ(refs(), 1u);
        ASSERT_EQ(set->set().size(), 2u);
        vdcrash_mach_exception_port_set copy = set->asyncSafeRepresentation();
        EXPECT_EQ(copy.count, 2u);
        EXPECT_EQ(copy.ports[0], port);
        EXPECT_EQ(copy.behaviors[0], EXCEPTION_STATE);
        EXPECT_EQ(copy.flavors[0], 4);
        EXPECT_EQ(copy.masks[1], EXC_MASK_BREAKPOINT);
        mach_port_mod_refs(mach_task_self(), port, MACH_PORT_RIGHT_SEND, 1);  // for the next record's hand-over
    }
    EXPECT_EQ(refs(), 1u) << "the objects gave theirs back";
    std::vector<std::shared_ptr<VuderuCrashMachExceptionPort>> many;
    for (int i = 0; i < 14; ++i) many.push_back(std::make_shared<VuderuCrashMachExceptionPort>(MACH_PORT_NULL, 0, 1, 1));
    EXPECT_THROW(VuderuCrashMachExceptionPortSet{many}, NSException);
}

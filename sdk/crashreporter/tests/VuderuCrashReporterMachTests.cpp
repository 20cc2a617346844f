// The reporter in Mach mode (signal handler type 1), driven through the kernel's test hook: an
// exception another handler registered for is forwarded to it; one it does not cover is written
// as a report with the exception's thread crashed.
#include "CrashReporterFixture.h"

#include "platform/system/mach_exc.h"
#include "sdk/crashreporter/VuderuCrashAsync.h"
#include "sdk/crashreporter/VuderuCrashSignalHandler.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <thread>

namespace {

// Answers one exception request on `port` with KERN_SUCCESS; its id.
mach_msg_id_t answerOne(mach_port_t port) {
    alignas(8) uint8_t buffer[1024];
    auto* request = reinterpret_cast<mach_msg_header_t*>(buffer);
    if (mach_msg(request, MACH_RCV_MSG, 0, sizeof buffer, port, 0, MACH_PORT_NULL) != MACH_MSG_SUCCESS) return 0;
    struct {
        mach_msg_header_t header;
        NDR_record_t ndr;
        kern_return_t result;
    } reply{};
    reply.header.msgh_bits = MACH_MSGH_BITS_REMOTE(request->msgh_bits);
    reply.header.msgh_size = sizeof reply;
    reply.header.msgh_remote_port = request->msgh_remote_port;
    reply.header.msgh_id = request->msgh_id + 100;
    reply.result = KERN_SUCCESS;
    mach_msg(&reply.header, MACH_SEND_MSG, sizeof reply, 0, MACH_PORT_NULL, 0, MACH_PORT_NULL);
    return request->msgh_id;
}

bool handlesSignal(int signo) {
    struct sigaction now {};
    sigaction(signo, nullptr, &now);
    return (now.sa_flags & SA_SIGINFO) && now.sa_sigaction == vuderu_crash_signal_handler;
}

} // namespace

using VuderuCrashReporterMachTest = CrashReporterTest;

TEST_F(VuderuCrashReporterMachTest, ExceptionsAreForwardedOrWrittenWithTheirMachCodes) {
    auto reporter = makeReporter(VuderuCrashReporterSignalHandlerTypeMach);
    int result = runInChildProcess([&] {
        // A handler that was there first, for breakpoints only.
        mach_port_t earlier = MACH_PORT_NULL;
        mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &earlier);
        mach_port_insert_right(mach_task_self(), earlier, earlier, MACH_MSG_TYPE_MAKE_SEND);
        vdcrash_mach_exception_port_set old{};
        old.count = VDCRASH_EXC_TYPES_COUNT;
        if (task_swap_exception_ports(mach_task_self(), EXC_MASK_BREAKPOINT, earlier, EXCEPTION_DEFAULT, 1, old.masks,
                                      &old.count, old.ports, old.behaviors, old.flavors) != KERN_SUCCESS)
            return 1;
        static int callbackSignal = 0;
        static bool contextZero = false;
        VuderuCrashReporterCallbacks callbacks = {0, nullptr, [](siginfo_t* info, ucontext_t* uap, void*) {
                                                      callbackSignal = info->si_signo;
                                                      // The whole native machine context is there, zero-filled.
                                                      const auto* bytes = reinterpret_cast<const unsigned char*>(&uap->uc_mcontext);
                                                      contextZero = true;
                                                      for (size_t i = 0; i < sizeof uap->uc_mcontext; ++i)
                                                          contextZero = contextZero && bytes[i] == 0;
                                                  }};
        reporter->setCrashCallbacks(&callbacks);
        if (!reporter->enableCrashReporter()) return 2;
        if (!handlesSignal(SIGABRT) || !handlesSignal(SIGSEGV)) return 3;

        mach_msg_id_t forwarded = 0;
        std::thread handler([&] { forwarded = answerOne(earlier); });
        const mach_exception_data_type_t breakpoint[2] = {1, 0x4444};
        kern_return_t kr = vdsys_mach_raise_exception(vd_mach_thread_self(), EXC_BREAKPOINT, breakpoint, 2);
        handler.join();
        if (kr != KERN_SUCCESS || forwarded != VDSYS_EXCEPTION_RAISE_ID) return 4;
        if (reporter->hasPendingCrashReport()) return 5;

        const mach_exception_data_type_t badAccess[2] = {1, 0x10};
        if (vdsys_mach_raise_exception(vd_mach_thread_self(), EXC_BAD_ACCESS, badAccess, 2) != KERN_FAILURE) return 6;
        if (callbackSignal != 11 || !contextZero) return 8;
        return reporter->hasPendingCrashReport() ? 0 : 7;
    });
    ASSERT_EQ(result, 0);
    auto report = pendingReport();
    ASSERT_TRUE(report);
    EXPECT_EQ(report->signalInfo()->name(), "SIGSEGV");
    EXPECT_EQ(report->signalInfo()->code(), "SEGV_MAPERR");
    EXPECT_EQ(report->signalInfo()->address(), 0x10u);
    ASSERT_TRUE(report->machExceptionInfo());
    EXPECT_EQ(report->machExceptionInfo()->type(), static_cast<uint64_t>(EXC_BAD_ACCESS));
    EXPECT_EQ(report->machExceptionInfo()->codes(), (std::vector<uint64_t>{1, 0x10}));
    int crashed = 0;
    for (const auto& thread : report->threads())
        if (thread->crashed()) {
            ++crashed;
            EXPECT_FALSE(thread->registers().empty()) << "the exception's thread, suspended";
            EXPECT_FALSE(thread->stackFrames().empty());
        }
    EXPECT_EQ(crashed, 1);
}

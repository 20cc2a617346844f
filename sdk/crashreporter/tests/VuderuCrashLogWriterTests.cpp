// The writer on its own: reports written to a memory file from a prepared writer, decoded back.
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSException.h"
#include "platform/system/DeviceProfile.h"
#include "platform/system/dyld.h"
#include "sdk/crashreporter/VuderuCrashLogWriter.h"
#include "sdk/crashreporter/VuderuCrashReport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

class VuderuCrashLogWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        vdcrash_nasync_image_list_init(&images_, mach_task_self());
        vdcrash_nasync_image_list_append(&images_, reinterpret_cast<vm_address_t>(_dyld_get_image_header(0)),
                                         _dyld_get_image_name(0));
        ASSERT_EQ(vdcrash_log_writer_init(&writer_, "com.example.writer", "7", 3, false), VDCRASH_ESUCCESS);
        fd_ = memfd_create("vdcrash-writer-test", 0);
    }
    void TearDown() override {
        vdcrash_log_writer_free(&writer_);
        vdcrash_nasync_image_list_free(&images_);
        close(fd_);
        DeviceProfile::reset();
    }

    struct Write {
        VuderuCrashLogWriterTest* test;
        vdcrash_log_writer_crash_info_t info;
    };
    static vdcrash_error_t writeCurrent(vdcrash_async_thread_state_t* state, void* context) {
        auto* w = static_cast<Write*>(context);
        return vdcrash_log_writer_write_to_fd(&w->test->writer_, vd_mach_thread_self(), &w->test->images_, w->test->fd_,
                                              &w->info, state);
    }

    // Writes a report of the calling thread with this signal; the result code.
    vdcrash_error_t write(int32_t signo, int32_t code) {
        signal_ = {signo, code, 0x1234};
        Write w = {this, {&signal_, nullptr}};
        return vdcrash_async_thread_state_current(writeCurrent, &w);
    }

    std::string fileBytes() const {
        std::string out(static_cast<size_t>(lseek(fd_, 0, SEEK_END)), '\0');
        EXPECT_EQ(pread(fd_, out.data(), out.size(), 0), static_cast<ssize_t>(out.size()));
        return out;
    }

    std::shared_ptr<VuderuCrashReport> decoded() const {
        std::string bytes = fileBytes();
        NSData data(bytes.data(), bytes.size());
        NSErrorPtr error;
        auto report = VuderuCrashReport::initWithData(data, &error);
        EXPECT_TRUE(report) << (error ? error->localizedDescription() : "");
        return report;
    }

    vdcrash_log_writer_t writer_{};
    vdcrash_async_image_list_t images_{};
    vdcrash_log_signal_info_t signal_{};
    int fd_ = -1;
};

} // namespace

TEST_F(VuderuCrashLogWriterTest, SignalsAndCodesAreNamedOrNumbered) {
    struct Case {
        int32_t signo, code;
        const char* name;
        const char* codeName;
    };
    const Case cases[] = {{11, 1, "SIGSEGV", "SEGV_MAPERR"}, {31, 9, "SIGUSR2", "#9"}, {77, -3, "#77", "#-3"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(write(c.signo, c.code), VDCRASH_ESUCCESS);
        auto report = decoded();
        ASSERT_TRUE(report);
        EXPECT_EQ(report->signalInfo()->name(), c.name);
        EXPECT_EQ(report->signalInfo()->code(), c.codeName);
        EXPECT_EQ(report->signalInfo()->address(), 0x1234u);
    }
}

TEST_F(VuderuCrashLogWriterTest, AnExceptionWithoutCallStackOrNamesAndAMissingVersionAreWrittenEmpty) {
    vdcrash_log_writer_free(&writer_);
    DeviceProfile::update([](DeviceProfile& p) { p.systemVersion = ""; });
    ASSERT_EQ(vdcrash_log_writer_init(&writer_, "com.example.writer", "7", 3, false), VDCRASH_ESUCCESS);
    // An exception as the recording leaves it, but with an empty call stack and no name.
    writer_.uncaught_exception.name = strdup("");
    writer_.uncaught_exception.reason = strdup("why");
    writer_.uncaught_exception.has_exception = true;
    ASSERT_EQ(write(6, 0), VDCRASH_ESUCCESS);
    auto report = decoded();
    ASSERT_TRUE(report);
    EXPECT_EQ(report->systemInfo()->operatingSystemVersion(), "");
    ASSERT_TRUE(report->exceptionInfo());
    EXPECT_EQ(report->exceptionInfo()->exceptionName(), "");
    EXPECT_EQ(report->exceptionInfo()->exceptionReason(), "why");
    EXPECT_FALSE(report->exceptionInfo()->stackFrames().has_value());
}

TEST_F(VuderuCrashLogWriterTest, AReportThatCanNotFitLeavesNoBytesAndAnError) {
    // A reason larger than the whole limit: no smaller report can hold it.
    std::string reason(VDCRASH_REPORT_SIZE_LIMIT + 10, 'r');
    vdcrash_log_writer_set_exception(&writer_, NSException("Big", reason));
    EXPECT_NE(write(11, 1), VDCRASH_ESUCCESS);
    EXPECT_EQ(fileBytes().size(), 0u);
}

TEST_F(VuderuCrashLogWriterTest, AnExceptionsStackIsCutAt512Frames) {
    NSException exception("Deep", "many frames");
    const uintptr_t pc = reinterpret_cast<uintptr_t>(_dyld_get_image_header(0)) + 0x10;
    auto& stack = const_cast<std::vector<uintptr_t>&>(exception.callStackReturnAddresses());
    stack.assign(600, pc);
    vdcrash_log_writer_set_exception(&writer_, exception);
    writer_.symbol_strategy = 0;
    ASSERT_EQ(write(6, 0), VDCRASH_ESUCCESS);
    auto report = decoded();
    ASSERT_TRUE(report && report->exceptionInfo() && report->exceptionInfo()->stackFrames());
    EXPECT_EQ(report->exceptionInfo()->stackFrames()->size(), 512u);
    EXPECT_EQ((*report->exceptionInfo()->stackFrames())[0]->instructionPointer(), pc);
    EXPECT_FALSE((*report->exceptionInfo()->stackFrames())[0]->symbolInfo()) << "strategy 0 names nothing";
}

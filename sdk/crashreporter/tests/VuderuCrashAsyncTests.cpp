#include "sdk/crashreporter/VuderuCrashAsync.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

TEST(VuderuCrashAsync, ErrorTexts) {
    EXPECT_STREQ(vdcrash_async_strerror(VDCRASH_ESUCCESS), "No error");
    EXPECT_STREQ(vdcrash_async_strerror(VDCRASH_OUTPUT_ERR), "Output file can not be opened (or written to)");
    EXPECT_STREQ(vdcrash_async_strerror(VDCRASH_EINVALID_DATA), "The input data is in an unknown or invalid format.");
    EXPECT_STREQ(vdcrash_async_strerror(static_cast<vdcrash_error_t>(10)), "Unhandled error code");
}

TEST(VuderuCrashAsync, ByteOrders) {
    const vdcrash_async_byteorder_t* big = vdcrash_async_byteorder_big_endian();
    const vdcrash_async_byteorder_t* little = vdcrash_async_byteorder_little_endian();
    EXPECT_EQ(big->swap16(0x1234), 0x3412);
    EXPECT_EQ(big->swap32(0x12345678u), 0x78563412u);
    EXPECT_EQ(big->swap64(0x0102030405060708ULL), 0x0807060504030201ULL);
    EXPECT_EQ(little->swap32(0x12345678u), 0x12345678u);
}

TEST(VuderuCrashAsync, AddressOffsetsThatWouldWrapAreRefused) {
    vm_address_t out = 0;
    EXPECT_FALSE(vdcrash_async_address_apply_offset(UINTPTR_MAX, 1, &out));
    EXPECT_FALSE(vdcrash_async_address_apply_offset(4, -5, &out));
    EXPECT_FALSE(vdcrash_async_address_apply_offset(0, INT64_MIN, &out));
    EXPECT_TRUE(vdcrash_async_address_apply_offset(4, -4, &out));
    EXPECT_EQ(out, 0u);
    EXPECT_TRUE(vdcrash_async_address_apply_offset(UINTPTR_MAX - 1, 1, nullptr));
}

// Reads tell unmapped memory from protected memory and never fault.
TEST(VuderuCrashAsync, TaskReadsFailInsteadOfFaulting) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    auto* region = static_cast<uint8_t*>(mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(region, MAP_FAILED);
    region[0] = 0x11;
    region[1] = 0x22;
    uint16_t value = 0;
    EXPECT_EQ(vdcrash_async_task_read_uint16(mach_task_self(), vdcrash_async_byteorder_big_endian(),
                                             reinterpret_cast<vm_address_t>(region), 0, &value), VDCRASH_ESUCCESS);
    EXPECT_EQ(value, 0x1122);
    ASSERT_EQ(mprotect(region + page, page, PROT_NONE), 0);
    ASSERT_EQ(munmap(region + 2 * page, page), 0);

    uint8_t buffer[16];
    EXPECT_EQ(vdcrash_async_task_memcpy(mach_task_self(), reinterpret_cast<vm_address_t>(region), page, buffer, 4),
              VDCRASH_EACCESS);
    EXPECT_EQ(vdcrash_async_task_memcpy(mach_task_self(), reinterpret_cast<vm_address_t>(region), 2 * page, buffer, 4),
              VDCRASH_ENOTFOUND);
    // A read that starts readable and runs into the protected page fails as a whole.
    EXPECT_EQ(vdcrash_async_task_memcpy(mach_task_self(), reinterpret_cast<vm_address_t>(region), page - 4, buffer, 8),
              VDCRASH_EACCESS);
    EXPECT_EQ(vdcrash_async_task_memcpy(mach_task_self(), UINTPTR_MAX - 2, 8, buffer, 4), VDCRASH_ENOMEM);
    munmap(region, 2 * page);
}

TEST(VuderuCrashAsync, StringAndMemoryRoutines) {
    EXPECT_EQ(vdcrash_async_strcmp("abc", "abc"), 0);
    EXPECT_LT(vdcrash_async_strcmp("abc", "abd"), 0);
    EXPECT_GT(vdcrash_async_strcmp("\xff", "a"), 0);  // bytes compare unsigned
    EXPECT_EQ(vdcrash_async_strncmp("abcX", "abcY", 3), 0);
    EXPECT_NE(vdcrash_async_strncmp("abcX", "abcY", 4), 0);
    EXPECT_EQ(vdcrash_async_strncmp("ab", "ab", 10), 0);
    char buffer[8] = "xxxxxxx";
    vdcrash_async_memset(buffer, 'a', 0);
    EXPECT_STREQ(buffer, "xxxxxxx");
    vdcrash_async_memcpy(buffer, "hello", 5);
    EXPECT_STREQ(buffer, "helloxx");
}

namespace {
struct Pipe {
    int fds[2];
    Pipe() { EXPECT_EQ(pipe(fds), 0); }
    ~Pipe() {
        close(fds[0]);
        if (fds[1] >= 0) close(fds[1]);
    }
    std::string drain() {
        if (fds[1] >= 0) close(fds[1]);
        fds[1] = -1;
        std::string out;
        char chunk[512];
        ssize_t n;
        while ((n = read(fds[0], chunk, sizeof chunk)) > 0) out.append(chunk, static_cast<size_t>(n));
        return out;
    }
};
} // namespace

TEST(VuderuCrashAsyncFile, LimitRefusesWholeWritesAndIsRemembered) {
    char path[] = "/tmp/vdcrash_file_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    vdcrash_async_file_t file;
    vdcrash_async_file_init(&file, fd, 10);
    EXPECT_TRUE(vdcrash_async_file_write(&file, "1234567", 7));
    EXPECT_TRUE(vdcrash_async_file_write(&file, "890", 3));
    EXPECT_FALSE(vdcrash_async_file_has_failed(&file));
    EXPECT_FALSE(vdcrash_async_file_write(&file, "X", 1));
    EXPECT_TRUE(vdcrash_async_file_has_failed(&file));
    // The refused write is not written, and the file as a whole reports the loss.
    EXPECT_FALSE(vdcrash_async_file_close(&file));
    FILE* in = fopen(path, "rb");
    ASSERT_NE(in, nullptr);
    char contents[32] = {};
    size_t n = fread(contents, 1, sizeof contents, in);
    fclose(in);
    unlink(path);
    EXPECT_EQ(std::string(contents, n), "1234567890");
}

TEST(VuderuCrashAsyncFile, SmallWritesAreGatheredAndLargeOnesGoStraightThrough) {
    Pipe p;
    vdcrash_async_file_t file;
    vdcrash_async_file_init(&file, p.fds[1], 0);
    std::string large(300, 'L');
    EXPECT_TRUE(vdcrash_async_file_write(&file, "ab", 2));
    EXPECT_TRUE(vdcrash_async_file_write(&file, large.data(), large.size()));
    EXPECT_EQ(file.buflen, 0u);  // the buffer went out before the large write
    EXPECT_TRUE(vdcrash_async_file_write(&file, "cd", 2));
    EXPECT_EQ(file.buflen, 2u);
    EXPECT_TRUE(vdcrash_async_file_flush(&file));
    EXPECT_EQ(p.drain(), "ab" + large + "cd");
}

TEST(VuderuCrashAsyncFile, AFailedWriteIsReportedByFlush) {
    int readOnly = open("/dev/null", O_RDONLY);
    vdcrash_async_file_t file;
    vdcrash_async_file_init(&file, readOnly, 0);
    EXPECT_TRUE(vdcrash_async_file_write(&file, "buffered", 8));
    EXPECT_FALSE(vdcrash_async_file_flush(&file));
    EXPECT_FALSE(vdcrash_async_file_close(&file));
}

TEST(VuderuCrashAsync, SignalAndCodeNames) {
    struct Case { int signo; const char* name; } names[] = {
        {6, "SIGABRT"}, {10, "SIGBUS"}, {11, "SIGSEGV"}, {29, "SIGINFO"}, {31, "SIGUSR2"}, {32, nullptr}, {0, nullptr},
    };
    for (const Case& c : names) {
        const char* got = vdcrash_async_signal_signame(c.signo);
        if (c.name) EXPECT_STREQ(got, c.name) << c.signo;
        else EXPECT_EQ(got, nullptr) << c.signo;
    }
    EXPECT_STREQ(vdcrash_async_signal_sigcode(11, 1), "SEGV_MAPERR");
    EXPECT_STREQ(vdcrash_async_signal_sigcode(8, 7), "FPE_INTDIV");
    EXPECT_STREQ(vdcrash_async_signal_sigcode(5, 2), "TRAP_TRACE");
    EXPECT_STREQ(vdcrash_async_signal_sigcode(6, 0), "#0");
    EXPECT_EQ(vdcrash_async_signal_sigcode(5, 0), nullptr);
    EXPECT_EQ(vdcrash_async_signal_sigcode(31, 9), nullptr);
}

TEST(VuderuCrashAsyncAllocator, HandsOutAlignedMemoryUntilFullBetweenGuards) {
    vdcrash_async_allocator_t* allocator = nullptr;
    ASSERT_EQ(vdcrash_async_allocator_new(&allocator, 4000,
                                          VDCRASH_ASYNC_ALLOCATOR_OPTION_GUARD_LOW | VDCRASH_ASYNC_ALLOCATOR_OPTION_GUARD_HIGH),
              VDCRASH_ESUCCESS);
    std::vector<uintptr_t> blocks;
    while (void* p = vdcrash_async_allocator_alloc(allocator, 100, VDCRASH_ASYNC_ALLOCATOR_OPTION_MAYFAIL)) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
        std::memset(p, 0xAB, 100);
        blocks.push_back(reinterpret_cast<uintptr_t>(p));
    }
    // 4000 bytes + the record round up to one page of 4096: 4048 usable bytes hold 36 blocks of 112.
    EXPECT_EQ(blocks.size(), 36u);
    uint8_t byte;
    EXPECT_EQ(vdcrash_async_task_memcpy(mach_task_self(), blocks.front(), -48 - 16384 + 1, &byte, 1), VDCRASH_EACCESS);
    EXPECT_EQ(vdcrash_async_task_memcpy(mach_task_self(), blocks.front(), -48 + 4096, &byte, 1), VDCRASH_EACCESS);
    vdcrash_async_allocator_free(allocator);
}

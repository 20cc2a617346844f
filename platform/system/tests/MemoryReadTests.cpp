// Fault-free reads of the own memory, with process_vm_readv allowed and with it denied by a
// sandbox, where the reads go through a pipe instead.
#include "platform/system/MemoryRead.h"
#include "platform/system/mach.h"

#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/SeccompFilter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace {

// Three pages: readable, inaccessible, unmapped.
struct Pages {
    char* base = nullptr;
    Pages() {
        base = static_cast<char*>(mmap(nullptr, 3 * 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        for (int i = 0; i < 4096; ++i) base[i] = static_cast<char>(i * 7);
        mprotect(base + 4096, 4096, PROT_NONE);
        munmap(base + 2 * 4096, 4096);
    }
    ~Pages() { munmap(base, 2 * 4096); }
};

// The failures as the checks found them, one bit each; 0 when every read behaved.
int checkReads() {
    Pages pages;
    int failures = 0;
    std::vector<char> out(5000, 0);
    vm_size_t got = 0;
    // A whole page and a range that ends at its last byte.
    if (vm_read_overwrite(mach_task_self(), reinterpret_cast<vm_address_t>(pages.base), 4096,
                          reinterpret_cast<vm_address_t>(out.data()), &got) != KERN_SUCCESS ||
        got != 4096 || std::memcmp(out.data(), pages.base, 4096) != 0)
        failures |= 1;
    struct Case {
        size_t offset, length;
        kern_return_t expected;
    } cases[] = {
        {4000, 96, KERN_SUCCESS},
        {4096, 8, KERN_PROTECTION_FAILURE},
        {2 * 4096, 8, KERN_INVALID_ADDRESS},
        {4000, 200, KERN_PROTECTION_FAILURE},  // runs from readable into inaccessible memory
    };
    int bit = 2;
    for (const Case& c : cases) {
        kern_return_t kr = vm_read_overwrite(mach_task_self(), reinterpret_cast<vm_address_t>(pages.base + c.offset),
                                             c.length, reinterpret_cast<vm_address_t>(out.data()), &got);
        if (kr != c.expected || (kr == KERN_SUCCESS && std::memcmp(out.data(), pages.base + c.offset, c.length) != 0))
            failures |= bit;
        bit <<= 1;
    }
    // The reader reports how far it got before the unreadable page.
    if (vdsys_read_own_memory(reinterpret_cast<uintptr_t>(pages.base + 4000), out.data(), 200) != 96) failures |= bit;
    return failures;
}

} // namespace

TEST(MemoryRead, ReadsTellUnmappedFromProtectedMemory) { EXPECT_EQ(checkReads(), 0); }

TEST(MemoryRead, ReadsStillWorkWhereProcessVmReadvIsDenied) {
    int result = runInChildProcess([] {
        if (!denyProcessVmReadv()) return 100;
        char probe = 0;
        struct iovec local = {&probe, 1}, remote = {&probe, 1};
        if (process_vm_readv(getpid(), &local, 1, &remote, 1, 0) != -1 || errno != EPERM) return 101;
        return checkReads();
    });
    EXPECT_EQ(result, 0);
}

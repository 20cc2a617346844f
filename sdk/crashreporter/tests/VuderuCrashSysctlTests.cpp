#include "sdk/crashreporter/VuderuCrashSysctl.h"

#include "platform/system/mach.h"
#include "sdk/crashreporter/VuderuCrashReporterError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/utsname.h>

TEST(VuderuCrashSysctl, StringsAndIntegersOfTheMachine) {
    struct utsname host {};
    uname(&host);
    char* release = vdcrash_sysctl_string("kern.osrelease");
    ASSERT_NE(release, nullptr);
    EXPECT_EQ(std::string(release), host.release);
    free(release);

    int32_t type = 0, count = 0;
    EXPECT_TRUE(vdcrash_sysctl_int("hw.cputype", &type));
    EXPECT_EQ(type, CPU_TYPE_X86_64);
    EXPECT_TRUE(vdcrash_sysctl_int("hw.logicalcpu_max", &count));
    EXPECT_GE(count, 1);

    errno = 0;
    EXPECT_EQ(vdcrash_sysctl_string("no.such.string"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(vdcrash_sysctl_int("no.such.name", &count));
}

TEST(VuderuCrashReporterError, ErrorsCarryTheDomainDescriptionAndUnderlyingError) {
    NSErrorPtr error;
    vdcrash_populate_error(&error, VuderuCrashReporterErrorResourceBusy, "A VuderuCrashReporter instance has already been enabled");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "VuderuCrashReporterErrorDomain");
    EXPECT_EQ(error->code(), 3);
    EXPECT_EQ(error->localizedDescription(), "A VuderuCrashReporter instance has already been enabled");
    EXPECT_FALSE(error->underlyingError());

    vdcrash_populate_posix_error(&error, ENOENT, "Failed to create temporary path");
    EXPECT_EQ(error->code(), VuderuCrashReporterErrorOperatingSystem);
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->domain(), NSPOSIXErrorDomain);
    EXPECT_EQ(error->underlyingError()->code(), ENOENT);

    vdcrash_populate_mach_error(&error, KERN_INVALID_ADDRESS, "Failed to set the target task's mach exception ports.");
    EXPECT_EQ(error->underlyingError()->domain(), NSMachErrorDomain);
    EXPECT_EQ(error->underlyingError()->code(), KERN_INVALID_ADDRESS);

    vdcrash_populate_error(nullptr, VuderuCrashReporterErrorUnknown, "nothing happens");
}

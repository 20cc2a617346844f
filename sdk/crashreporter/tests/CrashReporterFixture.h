#pragma once
// Tests of the crash reporter that enable it or crash do so in forked children (the enable flag
// and the installed handlers are per process); the parent reads what the child left behind.

#include "platform/foundation/NSData.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/crashreporter/VuderuCrashReport.h"
#include "sdk/crashreporter/VuderuCrashReporter.h"

#include <functional>
#include <memory>
#include <string>
#include <sys/wait.h>

class CrashReporterTest : public DeviceTest {
protected:
    static constexpr const char* kIdentifier = "com.example.crasher";
    static constexpr const char* kVersion = "1.2";

    std::shared_ptr<VuderuCrashReporter> makeReporter(uint64_t handlerType = 0, uint64_t strategy = 3) const {
        return std::make_shared<VuderuCrashReporter>(kIdentifier, kVersion,
                                                     std::make_shared<VuderuCrashReporterConfig>(handlerType, strategy));
    }

    // Enables a reporter in a child, then runs `crash` there; the child's wait status. A child
    // that could not enable exits with 90, one that survives `crash` with 91.
    int crashInChild(const std::function<void()>& crash, uint64_t handlerType = 0) const {
        return runInChildProcessForWaitStatus([&] {
            auto reporter = makeReporter(handlerType);
            if (!reporter->enableCrashReporter()) return 90;
            crash();
            return 91;
        });
    }

    static int killedBy(int status) { return status >= 0 && WIFSIGNALED(status) ? WTERMSIG(status) : 0; }

    // The pending report a child left, decoded; null (with a failure) when there is none.
    std::shared_ptr<VuderuCrashReport> pendingReport() const {
        auto reporter = makeReporter();
        NSErrorPtr error;
        NSDataPtr data = reporter->loadPendingCrashReportDataAndReturnError(&error);
        EXPECT_TRUE(data) << "no pending report";
        if (!data) return nullptr;
        auto report = VuderuCrashReport::initWithData(*data, &error);
        EXPECT_TRUE(report) << (error ? error->localizedDescription() : std::string());
        return report;
    }

    // The thread a report names as the one that crashed; null when it names none.
    static std::shared_ptr<VuderuCrashReportThreadInfo> crashedThreadOf(const VuderuCrashReport& report) {
        for (const auto& thread : report.threads())
            if (thread->crashed()) return thread;
        return nullptr;
    }
};

#pragma once
// A decoded crash report: the "vdcrash" header checked and the report message read into
// immutable model objects. The first problem found is reported as an error of
// VuderuCrashReporterErrorDomain, code 2 (invalid report).

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "sdk/crashreporter/VuderuCrashReportApplicationInfo.h"
#include "sdk/crashreporter/VuderuCrashReportBinaryImageInfo.h"
#include "sdk/crashreporter/VuderuCrashReportExceptionInfo.h"
#include "sdk/crashreporter/VuderuCrashReportMachExceptionInfo.h"
#include "sdk/crashreporter/VuderuCrashReportMachineInfo.h"
#include "sdk/crashreporter/VuderuCrashReportProcessInfo.h"
#include "sdk/crashreporter/VuderuCrashReportSignalInfo.h"
#include "sdk/crashreporter/VuderuCrashReportSystemInfo.h"
#include "sdk/crashreporter/VuderuCrashReportThreadInfo.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct Vdcrash__CrashReport;

// The values the writer puts into the report's host fields.
constexpr int VuderuCrashReportHostOperatingSystem = 1;  // IPHONE_OS
constexpr int VuderuCrashReportHostArchitecture = 6;     // ARCHITECTURE_UNKNOWN

class VuderuCrashReport : public NSObject {
public:
    // initWithData:error: — the report, or null with the error set.
    static std::shared_ptr<VuderuCrashReport> initWithData(const NSData& data, NSErrorPtr* error);

    VuderuCrashReport();
    ~VuderuCrashReport() override;

    const std::shared_ptr<VuderuCrashReportSystemInfo>& systemInfo() const { return systemInfo_; }
    const std::shared_ptr<VuderuCrashReportMachineInfo>& machineInfo() const { return machineInfo_; }
    const std::shared_ptr<VuderuCrashReportApplicationInfo>& applicationInfo() const { return applicationInfo_; }
    const std::shared_ptr<VuderuCrashReportProcessInfo>& processInfo() const { return processInfo_; }
    const std::shared_ptr<VuderuCrashReportSignalInfo>& signalInfo() const { return signalInfo_; }
    const std::shared_ptr<VuderuCrashReportMachExceptionInfo>& machExceptionInfo() const { return machExceptionInfo_; }
    const std::vector<std::shared_ptr<VuderuCrashReportThreadInfo>>& threads() const { return threads_; }
    const std::vector<std::shared_ptr<VuderuCrashReportBinaryImageInfo>>& images() const { return images_; }
    const std::shared_ptr<VuderuCrashReportExceptionInfo>& exceptionInfo() const { return exceptionInfo_; }
    // The report's own UUID; absent when the report has none.
    const std::optional<std::array<uint8_t, 16>>& uuidRef() const { return uuid_; }
    bool hasMachineInfo() const { return machineInfo_ != nullptr; }
    bool hasProcessInfo() const { return processInfo_ != nullptr; }
    bool hasExceptionInfo() const { return exceptionInfo_ != nullptr; }

    // The first image (in file order) whose range [base, base + size) holds the address.
    std::shared_ptr<VuderuCrashReportBinaryImageInfo> imageForAddress(uint64_t address) const;

private:
    bool decode(const NSData& data, NSErrorPtr* error);

    std::shared_ptr<VuderuCrashReportSystemInfo> systemInfo_;
    std::shared_ptr<VuderuCrashReportMachineInfo> machineInfo_;
    std::shared_ptr<VuderuCrashReportApplicationInfo> applicationInfo_;
    std::shared_ptr<VuderuCrashReportProcessInfo> processInfo_;
    std::shared_ptr<VuderuCrashReportSignalInfo> signalInfo_;
    std::shared_ptr<VuderuCrashReportMachExceptionInfo> machExceptionInfo_;
    std::vector<std::shared_ptr<VuderuCrashReportThreadInfo>> threads_;
    std::vector<std::shared_ptr<VuderuCrashReportBinaryImageInfo>> images_;
    std::shared_ptr<VuderuCrashReportExceptionInfo> exceptionInfo_;
    std::optional<std::array<uint8_t, 16>> uuid_;
    // The decoded message as protobuf-c returned it; freed with the report.
    Vdcrash__CrashReport* decoded_ = nullptr;
};

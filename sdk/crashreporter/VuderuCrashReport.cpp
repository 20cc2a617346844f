#include "sdk/crashreporter/VuderuCrashReport.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSString.h"
#include "sdk/crashreporter/VuderuCrashReporterError.h"

#include "crash_report.pb-c.h"

#include <cstring>

namespace {

constexpr char kFileMagic[] = "vdcrash";
constexpr size_t kFileMagicLength = 7;
constexpr size_t kFileHeaderLength = 8;
constexpr uint8_t kFileVersion = 1;
constexpr size_t kMaxMachExceptionCodes = 255;
constexpr size_t kReportUUIDLength = 16;

using CrashReportReport = Vdcrash__CrashReport;

// The English messages are their own keys in the main bundle's default string table.
std::string localized(const char* text) { return NSBundle::mainBundle()->localizedStringForKey(text, "", ""); }

bool fail(NSErrorPtr* error, const std::string& message) {
    vdcrash_populate_error(error, VuderuCrashReporterErrorCrashReportInvalid, message);
    return false;
}

std::optional<std::string> optionalString(const char* s) {
    if (!s) return std::nullopt;
    return std::string(s);
}

std::shared_ptr<VuderuCrashReportProcessorInfo> extractProcessorInfo(const Vdcrash__CrashReport__Processor* processor,
                                                                     NSErrorPtr* error) {
    if (!processor) {
        fail(error, localized("Crash report is missing processor info section"));
        return nullptr;
    }
    return std::make_shared<VuderuCrashReportProcessorInfo>(static_cast<int>(processor->encoding), processor->type,
                                                             processor->subtype);
}

std::shared_ptr<VuderuCrashReportSymbolInfo> extractSymbolInfo(const Vdcrash__CrashReport__Symbol* symbol,
                                                               NSErrorPtr* error) {
    if (!symbol) {
        fail(error, localized("Crash report is missing symbol information"));
        return nullptr;
    }
    // A symbol without a name is a damaged record, not a crash of the reader.
    if (!symbol->name) {
        fail(error, "Missing symbol name in symbol record");
        return nullptr;
    }
    return std::make_shared<VuderuCrashReportSymbolInfo>(symbol->name, symbol->start_address,
                                                         symbol->has_end_address ? symbol->end_address : 0);
}

std::shared_ptr<VuderuCrashReportStackFrameInfo> extractStackFrameInfo(
    const Vdcrash__CrashReport__Thread__StackFrame* frame, NSErrorPtr* error) {
    if (!frame) {
        fail(error, localized("Crash report is missing stack frame information"));
        return nullptr;
    }
    std::shared_ptr<VuderuCrashReportSymbolInfo> symbol;
    if (frame->symbol) {
        symbol = extractSymbolInfo(frame->symbol, error);
        if (!symbol) return nullptr;
    }
    return std::make_shared<VuderuCrashReportStackFrameInfo>(frame->pc, std::move(symbol));
}

bool extractFrames(Vdcrash__CrashReport__Thread__StackFrame** frames, size_t count,
                   std::vector<std::shared_ptr<VuderuCrashReportStackFrameInfo>>* out, NSErrorPtr* error) {
    for (size_t i = 0; i < count; ++i) {
        auto frame = extractStackFrameInfo(frames[i], error);
        if (!frame) return false;
        out->push_back(std::move(frame));
    }
    return true;
}

std::shared_ptr<VuderuCrashReportSystemInfo> extractSystemInfo(const Vdcrash__CrashReport__SystemInfo* info,
                                                               NSErrorPtr* error) {
    if (!info) {
        fail(error, localized("Crash report is missing System Information section"));
        return nullptr;
    }
    if (!info->os_version) {
        fail(error, localized("Crash report is missing System Information OS version field"));
        return nullptr;
    }
    std::shared_ptr<NSDate> timestamp;
    if (info->timestamp != 0) timestamp = NSDate::dateWithTimeIntervalSince1970(static_cast<double>(info->timestamp));
    return std::make_shared<VuderuCrashReportSystemInfo>(static_cast<int>(info->operating_system), info->os_version,
                                                         optionalString(info->os_build),
                                                         static_cast<int>(info->architecture), std::move(timestamp));
}

std::shared_ptr<VuderuCrashReportMachineInfo> extractMachineInfo(const Vdcrash__CrashReport__MachineInfo* info,
                                                                 NSErrorPtr* error) {
    if (!info) {
        fail(error, localized("Crash report is missing Machine Information section"));
        return nullptr;
    }
    std::shared_ptr<VuderuCrashReportProcessorInfo> processor;
    if (info->processor) {
        processor = extractProcessorInfo(info->processor, error);
        if (!processor) return nullptr;
    }
    return std::make_shared<VuderuCrashReportMachineInfo>(optionalString(info->model), std::move(processor),
                                                          info->processor_count, info->logical_processor_count);
}

std::shared_ptr<VuderuCrashReportApplicationInfo> extractApplicationInfo(
    const Vdcrash__CrashReport__ApplicationInfo* info, NSErrorPtr* error) {
    if (!info) {
        fail(error, localized("Crash report is missing Application Information section"));
        return nullptr;
    }
    if (!info->identifier) {
        fail(error, localized("Crash report is missing Application Information app identifier field"));
        return nullptr;
    }
    if (!info->version) {
        fail(error, localized("Crash report is missing Application Information app version field"));
        return nullptr;
    }
    return std::make_shared<VuderuCrashReportApplicationInfo>(info->identifier, info->version);
}

std::shared_ptr<VuderuCrashReportProcessInfo> extractProcessInfo(const Vdcrash__CrashReport__ProcessInfo* info,
                                                                 NSErrorPtr* error) {
    if (!info) {
        fail(error, localized("Crash report is missing Process Information section"));
        return nullptr;
    }
    std::shared_ptr<NSDate> start;
    if (info->has_start_time) start = NSDate::dateWithTimeIntervalSince1970(static_cast<double>(info->start_time));
    return std::make_shared<VuderuCrashReportProcessInfo>(optionalString(info->process_name), info->process_id,
                                                          optionalString(info->process_path), std::move(start),
                                                          optionalString(info->parent_process_name),
                                                          info->parent_process_id, info->native != 0);
}

std::shared_ptr<VuderuCrashReportSignalInfo> extractSignalInfo(const Vdcrash__CrashReport__Signal* signal,
                                                               NSErrorPtr* error) {
    if (!signal) {
        fail(error, localized("Crash report is missing Signal Information section"));
        return nullptr;
    }
    if (!signal->name) {
        fail(error, localized("Crash report is missing signal name field"));
        return nullptr;
    }
    if (!signal->code) {
        fail(error, localized("Crash report is missing signal code field"));
        return nullptr;
    }
    return std::make_shared<VuderuCrashReportSignalInfo>(signal->name, signal->code, signal->address);
}

std::shared_ptr<VuderuCrashReportMachExceptionInfo> extractMachExceptionInfo(
    const Vdcrash__CrashReport__Signal__MachException* exception, NSErrorPtr* error) {
    if (!exception) {
        fail(error, localized("Crash report is missing Mach Exception Information section"));
        return nullptr;
    }
    if (exception->n_codes > kMaxMachExceptionCodes) {
        fail(error, localized("Crash report includes too many Mach Exception codes"));
        return nullptr;
    }
    std::vector<uint64_t> codes(exception->codes, exception->codes + exception->n_codes);
    return std::make_shared<VuderuCrashReportMachExceptionInfo>(exception->type, std::move(codes));
}

bool extractThreadInfo(const CrashReportReport* report, std::vector<std::shared_ptr<VuderuCrashReportThreadInfo>>* out,
                       NSErrorPtr* error) {
    if (report->n_threads == 0) return fail(error, localized("Crash report is missing thread state information"));
    for (size_t i = 0; i < report->n_threads; ++i) {
        const Vdcrash__CrashReport__Thread* thread = report->threads[i];
        std::vector<std::shared_ptr<VuderuCrashReportStackFrameInfo>> frames;
        if (!extractFrames(thread->frames, thread->n_frames, &frames, error)) return false;
        std::vector<std::shared_ptr<VuderuCrashReportRegisterInfo>> registers;
        for (size_t r = 0; r < thread->n_registers; ++r) {
            const Vdcrash__CrashReport__Thread__RegisterValue* value = thread->registers[r];
            if (!value->name) return fail(error, "Missing register name in register value");
            registers.push_back(std::make_shared<VuderuCrashReportRegisterInfo>(value->name, value->value));
        }
        out->push_back(std::make_shared<VuderuCrashReportThreadInfo>(thread->thread_number, std::move(frames),
                                                                     thread->crashed != 0, std::move(registers)));
    }
    return true;
}

bool extractImageInfo(const CrashReportReport* report, std::vector<std::shared_ptr<VuderuCrashReportBinaryImageInfo>>* out,
                      NSErrorPtr* error) {
    if (report->n_binary_images == 0) return fail(error, localized("Crash report is missing binary image information"));
    for (size_t i = 0; i < report->n_binary_images; ++i) {
        const Vdcrash__CrashReport__BinaryImage* image = report->binary_images[i];
        if (!image->name) return fail(error, "Missing image name in image record");
        NSDataPtr uuid;
        if (image->has_uuid && image->uuid.len > 0) uuid = NSData::dataWithBytes(image->uuid.data, image->uuid.len);
        std::shared_ptr<VuderuCrashReportProcessorInfo> codeType;
        if (image->code_type) {
            codeType = extractProcessorInfo(image->code_type, error);
            if (!codeType) return false;
        }
        out->push_back(std::make_shared<VuderuCrashReportBinaryImageInfo>(std::move(codeType), image->base_address,
                                                                          image->size, image->name, uuid));
    }
    return true;
}

std::shared_ptr<VuderuCrashReportExceptionInfo> extractExceptionInfo(const Vdcrash__CrashReport__Exception* exception,
                                                                     NSErrorPtr* error) {
    if (!exception) {
        fail(error, localized("Crash report is missing Exception Information section"));
        return nullptr;
    }
    if (!exception->name) {
        fail(error, localized("Crash report is missing exception name field"));
        return nullptr;
    }
    if (!exception->reason) {
        fail(error, localized("Crash report is missing exception reason field"));
        return nullptr;
    }
    if (exception->n_frames == 0)
        return std::make_shared<VuderuCrashReportExceptionInfo>(exception->name, exception->reason);
    std::vector<std::shared_ptr<VuderuCrashReportStackFrameInfo>> frames;
    if (!extractFrames(exception->frames, exception->n_frames, &frames, error)) return nullptr;
    return std::make_shared<VuderuCrashReportExceptionInfo>(exception->name, exception->reason, std::move(frames));
}

} // namespace

VuderuCrashReport::VuderuCrashReport() = default;

VuderuCrashReport::~VuderuCrashReport() {
    if (decoded_) vdcrash__crash_report__free_unpacked(decoded_, nullptr);
}

std::shared_ptr<VuderuCrashReport> VuderuCrashReport::initWithData(const NSData& data, NSErrorPtr* error) {
    auto report = std::make_shared<VuderuCrashReport>();
    if (!report->decode(data, error)) return nullptr;
    return report;
}

bool VuderuCrashReport::decode(const NSData& data, NSErrorPtr* error) {
    // A file holding only the header is truncated too.
    if (data.length() <= kFileHeaderLength) return fail(error, localized("Could not decode truncated crash log"));
    if (std::memcmp(data.bytes(), kFileMagic, kFileMagicLength) != 0)
        return fail(error, localized("Could not decode invalid crash log header"));
    uint8_t version = data.bytes()[kFileMagicLength];
    if (version != kFileVersion)
        return fail(error, NSString::stringWithFormat(localized("Could not decode unsupported crash report version: %d"),
                                                      static_cast<int>(version)));
    decoded_ = vdcrash__crash_report__unpack(nullptr, data.length() - kFileHeaderLength,
                                             data.bytes() + kFileHeaderLength);
    if (!decoded_) return fail(error, localized("An unknown error occured decoding the crash report"));
    const CrashReportReport* report = decoded_;

    if (report->report_info && report->report_info->has_uuid) {
        if (report->report_info->uuid.len != kReportUUIDLength)
            return fail(error, "Report UUID value is not a standard 16 bytes");
        std::array<uint8_t, 16> uuid{};
        std::memcpy(uuid.data(), report->report_info->uuid.data, kReportUUIDLength);
        uuid_ = uuid;
    }

    if (!(systemInfo_ = extractSystemInfo(report->system_info, error))) return false;
    if (report->machine_info && !(machineInfo_ = extractMachineInfo(report->machine_info, error))) return false;
    if (!(applicationInfo_ = extractApplicationInfo(report->application_info, error))) return false;
    if (report->process_info && !(processInfo_ = extractProcessInfo(report->process_info, error))) return false;
    if (!(signalInfo_ = extractSignalInfo(report->signal, error))) return false;
    if (report->signal->mach_exception &&
        !(machExceptionInfo_ = extractMachExceptionInfo(report->signal->mach_exception, error)))
        return false;
    if (!extractThreadInfo(report, &threads_, error)) return false;
    if (!extractImageInfo(report, &images_, error)) return false;
    if (report->exception && !(exceptionInfo_ = extractExceptionInfo(report->exception, error))) return false;
    return true;
}

std::shared_ptr<VuderuCrashReportBinaryImageInfo> VuderuCrashReport::imageForAddress(uint64_t address) const {
    for (const auto& image : images_) {
        if (address >= image->imageBaseAddress() && address - image->imageBaseAddress() < image->imageSize())
            return image;
    }
    return nullptr;
}

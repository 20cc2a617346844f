#include "sdk/crashreporter/VuderuCrashReportTextFormatter.h"

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string_view>

namespace {

const char* const kUnknown = "???";
constexpr size_t kImageColumnWidth = 35;

// The characters of UTF-8 text (code points; a byte that is not UTF-8 counts as one).
size_t characterCount(std::string_view text) {
    size_t count = 0;
    for (char16_t unit : NSString::utf16(text)) count += (unit >= 0xDC00 && unit <= 0xDFFF) ? 0 : 1;
    return count;
}

constexpr uint64_t kCPUTypeX86 = 7, kCPUTypeARM = 12, kCPUTypePowerPC = 18;
constexpr uint64_t kCPUTypeX86_64 = 0x1000007, kCPUTypeARM64 = 0x100000C;
constexpr int kCrashReportTextFormatterTypeEncodingMach = 1;

struct CodeType {
    std::string name;
    bool lp64;
};

struct KnownCodeType {
    uint64_t type;
    const char* name;
    bool lp64;
};
const KnownCodeType kCodeTypes[] = {
    {kCPUTypeX86, "X86", false},         {kCPUTypeARM, "ARM", false},       {kCPUTypePowerPC, "PPC", false},
    {kCPUTypeX86_64, "X86-64", true},    {kCPUTypeARM64, "ARM-64", true},
};

// A vdcrash.Architecture value that names a code type.
struct KnownArchitecture {
    int architecture;
    const char* name;
    bool lp64;
};
const KnownArchitecture kArchitectures[] = {
    {0, "X86", false}, {1, "X86-64", true}, {2, "ARM", false}, {3, "PPC", false}, {5, "ARM", false},
};

struct ImageArchitecture {
    uint64_t type;
    int64_t subtype;  // -1: any
    const char* name;
};
const ImageArchitecture kImageArchitectures[] = {
    {kCPUTypeX86, -1, "i386"},      {kCPUTypeARM, 6, "armv6"},      {kCPUTypeARM, 9, "armv7"},
    {kCPUTypeARM, 11, "armv7s"},    {kCPUTypeARM, -1, "arm-unknown"}, {kCPUTypePowerPC, -1, "powerpc"},
    {kCPUTypeX86_64, -1, "x86_64"}, {kCPUTypeARM64, 0, "arm64"},    {kCPUTypeARM64, 13, "armv8"},
    {kCPUTypeARM64, -1, "arm64-unknown"},
};

// The writer of this host's build says iPhone OS, but its images are x86 ELF, whose symbol names
// carry no added underscore ("_ZN..." is a whole mangled name); iPhone OS itself never ran on x86.
bool isHostELFImage(const VuderuCrashReport& report, const VuderuCrashReportBinaryImageInfo* image) {
    if (!image || report.systemInfo()->operatingSystem() != 1) return false;
    const auto& code = image->codeType();
    return code && code->typeEncoding() == kCrashReportTextFormatterTypeEncodingMach && (code->type() == kCPUTypeX86 || code->type() == kCPUTypeX86_64);
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, fmt);
    int n = vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
    std::string big(static_cast<size_t>(n) + 1, '\0');
    va_start(args, fmt);
    vsnprintf(big.data(), big.size(), fmt, args);
    va_end(args);
    big.pop_back();
    return big;
}

CodeType codeTypeOf(const VuderuCrashReport& report) {
    for (const auto& image : report.images()) {
        const auto& code = image->codeType();
        if (!code || code->typeEncoding() != kCrashReportTextFormatterTypeEncodingMach) continue;
        for (const KnownCodeType& known : kCodeTypes)
            if (known.type == code->type()) return {known.name, known.lp64};
    }
    int architecture = report.systemInfo()->architecture();
    for (const KnownArchitecture& known : kArchitectures)
        if (known.architecture == architecture) return {known.name, known.lp64};
    return {format("Unknown (%d)", architecture), true};
}

std::string operatingSystemName(int os) {
    switch (os) {
    case 0:
    case 2: return "Mac OS X";
    case 1: return "iPhone OS";
    default: return format("Unknown (%d)", os);
    }
}

std::string imageArchitecture(const VuderuCrashReportBinaryImageInfo& image) {
    const auto& code = image.codeType();
    if (!code || code->typeEncoding() != kCrashReportTextFormatterTypeEncodingMach) return kUnknown;
    for (const ImageArchitecture& known : kImageArchitectures)
        if (known.type == code->type() && (known.subtype < 0 || static_cast<uint64_t>(known.subtype) == code->subtype()))
            return known.name;
    return kUnknown;
}

std::string uuidText(const std::array<uint8_t, 16>& uuid) {
    std::string text;
    for (size_t i = 0; i < uuid.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += format("%02X", uuid[i]);
    }
    return text;
}

const std::string& orUnknown(const std::optional<std::string>& value) {
    static const std::string unknown = kUnknown;
    return value ? *value : unknown;
}

std::string header(const VuderuCrashReport& report, const CodeType& codeType) {
    std::string text;
    text += format("Incident Identifier: %s\n", report.uuidRef() ? uuidText(*report.uuidRef()).c_str() : kUnknown);
    text += "CrashReporter Key:   TODO\n";
    const auto& machine = report.machineInfo();
    text += format("Hardware Model:      %s\n", machine ? orUnknown(machine->modelName()).c_str() : kUnknown);
    const auto& process = report.processInfo();
    std::string processID = process ? std::to_string(process->processID()) : kUnknown;
    std::string parentID = process ? std::to_string(process->parentProcessID()) : kUnknown;
    text += format("Process:         %s [%s]\n", process ? orUnknown(process->processName()).c_str() : kUnknown,
                   processID.c_str());
    text += format("Path:            %s\n", process ? orUnknown(process->processPath()).c_str() : kUnknown);
    text += format("Identifier:      %s\n", report.applicationInfo()->applicationIdentifier().c_str());
    text += format("Version:         %s\n", report.applicationInfo()->applicationVersion().c_str());
    text += format("Code Type:       %s\n", codeType.name.c_str());
    text += format("Parent Process:  %s [%s]\n", process ? orUnknown(process->parentProcessName()).c_str() : kUnknown,
                   parentID.c_str());
    text += "\n";
    const auto& system = report.systemInfo();
    text += format("Date/Time:       %s\n", system->timestamp() ? system->timestamp()->description().c_str() : "(null)");
    text += format("OS Version:      %s %s (%s)\n", operatingSystemName(system->operatingSystem()).c_str(),
                   system->operatingSystemVersion().c_str(), orUnknown(system->operatingSystemBuild()).c_str());
    text += "Report Version:  104\n\n";
    text += format("Exception Type:  %s\n", report.signalInfo()->name().c_str());
    text += format("Exception Codes: %s at 0x%" PRIx64 "\n", report.signalInfo()->code().c_str(),
                   report.signalInfo()->address());
    for (const auto& thread : report.threads())
        if (thread->crashed()) {
            text += format("Crashed Thread:  %ld\n", static_cast<long>(thread->threadNumber()));
            break;
        }
    return text + "\n";
}

bool isARM(const VuderuCrashReport& report) {
    const auto& machine = report.machineInfo();
    const auto& processor = machine ? machine->processorInfo() : nullptr;
    return processor && processor->typeEncoding() == kCrashReportTextFormatterTypeEncodingMach && (processor->type() & 0xFFFFFF) == kCPUTypeARM;
}

std::string registers(const VuderuCrashReport& report, const VuderuCrashReportThreadInfo& thread, const CodeType& codeType) {
    std::string text = format("Thread %ld crashed with %s Thread State:\n", static_cast<long>(thread.threadNumber()),
                              codeType.name.c_str());
    const bool arm = isARM(report);
    size_t onLine = 0;
    for (const auto& reg : thread.registers()) {
        std::string name = arm && reg->registerName() == "r12" ? "ip" : reg->registerName();
        text += codeType.lp64 ? format("%6s: 0x%016" PRIx64 " ", name.c_str(), reg->registerValue())
                              : format("%6s: 0x%08" PRIx64 " ", name.c_str(), reg->registerValue());
        if (++onLine == 4) {
            text += "\n";
            onLine = 0;
        }
    }
    if (onLine != 0) text += "\n";
    return text + "\n";
}

std::string binaryImages(const VuderuCrashReport& report, const CodeType& codeType) {
    std::string text = "Binary Images:\n";
    auto images = report.images();
    std::stable_sort(images.begin(), images.end(), VuderuCrashReportTextFormatter::binaryImageSort);
    const auto& process = report.processInfo();
    for (const auto& image : images) {
        uint64_t base = image->imageBaseAddress();
        uint64_t last = image->imageSize() == 0 ? base : base + image->imageSize() - 1;
        bool main = process && process->processPath() && *process->processPath() == image->imageName();
        std::string file = NSString::lastPathComponent(image->imageName());
        std::string uuid = image->hasImageUUID() ? orUnknown(image->imageUUID()) : kUnknown;
        std::string arch = imageArchitecture(*image);
        const char* fmt = codeType.lp64 ? "%#18" PRIx64 " - %#18" PRIx64 " %s%s %s  <%s> %s\n"
                                        : "%#10" PRIx64 " - %#10" PRIx64 " %s%s %s  <%s> %s\n";
        text += format(fmt, base, last, main ? "+" : " ", file.c_str(), arch.c_str(), uuid.c_str(), image->imageName().c_str());
    }
    return text;
}

} // namespace

std::string VuderuCrashReportTextFormatter::formatStackFrameFrameIndexReportLp64(const VuderuCrashReportStackFrameInfo& frame,
                                                                                 long frameIndex,
                                                                                 const VuderuCrashReport& report, bool lp64) {
    uint64_t pc = frame.instructionPointer();
    auto image = report.imageForAddress(pc);
    std::string file = image ? NSString::lastPathComponent(image->imageName()) : kUnknown;
    std::string place;
    if (const auto& symbol = frame.symbolInfo()) {
        std::string name = symbol->symbolName();
        if (name.size() >= 2 && name[0] == '_' && !isHostELFImage(report, image.get())) {
            int os = report.systemInfo()->operatingSystem();
            if (os == 0 || os == 1 || os == 2)
                name.erase(0, 1);
            else
                NSLog("Symbol prefix rules are unknown for this OS!");
        }
        place = format("%s + %" PRId64, name.c_str(), static_cast<int64_t>(pc - symbol->startAddress()));
    } else {
        uint64_t base = image ? image->imageBaseAddress() : 0;
        place = format("0x%" PRIx64 " + %" PRId64, base, image ? static_cast<int64_t>(pc - base) : int64_t(0));
    }
    // The image column is 35 characters wide, counted as characters, not bytes: a name outside
    // ASCII takes more bytes than columns.
    const size_t characters = characterCount(file);
    if (characters < kImageColumnWidth) file.append(kImageColumnWidth - characters, ' ');
    return format("%-4ld%s 0x%0*" PRIx64 " %s\n", frameIndex, file.c_str(), lp64 ? 16 : 8, pc, place.c_str());
}

std::string VuderuCrashReportTextFormatter::stringValueForCrashReportWithTextFormat(const VuderuCrashReport& report, int) {
    const CodeType codeType = codeTypeOf(report);
    std::string text = header(report, codeType);
    if (const auto& exception = report.exceptionInfo()) {
        text += "Application Specific Information:\n";
        text += format("*** Terminating app due to uncaught exception '%s', reason: '%s'\n",
                       exception->exceptionName().c_str(), exception->exceptionReason().c_str());
        text += "\n";
        if (exception->stackFrames() && !exception->stackFrames()->empty()) {
            text += "Last Exception Backtrace:\n";
            long index = 0;
            for (const auto& frame : *exception->stackFrames())
                text += formatStackFrameFrameIndexReportLp64(*frame, index++, report, codeType.lp64);
            text += "\n";
        }
    }
    std::shared_ptr<VuderuCrashReportThreadInfo> lastCrashed;
    for (const auto& thread : report.threads()) {
        long number = static_cast<long>(thread->threadNumber());
        text += thread->crashed() ? format("Thread %ld Crashed:\n", number) : format("Thread %ld:\n", number);
        long index = 0;
        for (const auto& frame : thread->stackFrames())
            text += formatStackFrameFrameIndexReportLp64(*frame, index++, report, codeType.lp64);
        text += "\n";
        if (thread->crashed()) lastCrashed = thread;
    }
    if (lastCrashed) text += registers(report, *lastCrashed, codeType);
    return text + binaryImages(report, codeType);
}

NSDataPtr VuderuCrashReportTextFormatter::formatReportError(const VuderuCrashReport& report, NSErrorPtr*) {
    std::string text = stringValueForCrashReportWithTextFormat(report, textFormat_);
    auto bytes = NSString::dataUsingEncoding(text, stringEncoding_);
    if (!bytes) {
        // Lossy: what the encoding can't hold becomes "?".
        for (char& c : text)
            if (static_cast<unsigned char>(c) >= 0x80) c = '?';
        bytes = NSString::dataUsingEncoding(text, stringEncoding_);
    }
    if (!bytes) return NSData::data();
    return NSData::dataWithBytes(bytes->data(), bytes->size());
}

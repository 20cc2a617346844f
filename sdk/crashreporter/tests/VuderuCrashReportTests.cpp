#include "sdk/crashreporter/VuderuCrashReport.h"

#include "sdk/crashreporter/VuderuCrashReporterError.h"

#include "CrashReportBuilder.h"

#include <gtest/gtest.h>

#include <functional>

using crashreport::Message;

namespace {

std::shared_ptr<VuderuCrashReport> decode(const std::string& file, NSErrorPtr* error = nullptr) {
    NSData data(file.data(), file.size());
    return VuderuCrashReport::initWithData(data, error);
}

std::shared_ptr<VuderuCrashReport> decode(const Message& m, NSErrorPtr* error = nullptr) {
    return decode(crashreport::encode(m), error);
}

} // namespace

TEST(VuderuCrashReport, AReportAssembledWithTheEncoderDecodesIntoTheModel) {
    NSErrorPtr error;
    auto report = decode(crashreport::sampleReport(), &error);
    ASSERT_TRUE(report) << (error ? error->description() : "");

    ASSERT_TRUE(report->uuidRef().has_value());
    EXPECT_EQ((*report->uuidRef())[0], 1);
    EXPECT_EQ((*report->uuidRef())[15], 16);

    const auto& system = report->systemInfo();
    EXPECT_EQ(system->operatingSystem(), VuderuCrashReportHostOperatingSystem);
    EXPECT_EQ(system->operatingSystemVersion(), "8.0");
    EXPECT_EQ(system->operatingSystemBuild(), "12A365");
    EXPECT_EQ(system->architecture(), VuderuCrashReportHostArchitecture);
    ASSERT_TRUE(system->timestamp());
    EXPECT_EQ(system->timestamp()->timeIntervalSince1970(), 1700000000.0);

    ASSERT_TRUE(report->hasMachineInfo());
    EXPECT_EQ(report->machineInfo()->modelName(), "iPhone7,2");
    EXPECT_EQ(report->machineInfo()->processorInfo()->typeEncoding(), 1);
    EXPECT_EQ(report->machineInfo()->processorInfo()->type(), 0x100000Cu);
    EXPECT_EQ(report->machineInfo()->processorCount(), 2u);

    EXPECT_EQ(report->applicationInfo()->applicationIdentifier(), "com.example.tandrel");
    EXPECT_EQ(report->applicationInfo()->applicationVersion(), "1.2");

    ASSERT_TRUE(report->hasProcessInfo());
    const auto& process = report->processInfo();
    EXPECT_EQ(process->processName(), "Tandrel");
    EXPECT_EQ(process->processID(), 4242u);
    EXPECT_EQ(process->processPath(), "/Applications/Tandrel.app/Tandrel");
    EXPECT_EQ(process->parentProcessName(), "launchd");
    EXPECT_EQ(process->parentProcessID(), 1u);
    EXPECT_TRUE(process->native());
    EXPECT_EQ(process->processStartTime()->timeIntervalSince1970(), 1699999000.0);

    EXPECT_EQ(report->signalInfo()->name(), "SIGSEGV");
    EXPECT_EQ(report->signalInfo()->code(), "SEGV_MAPERR");
    EXPECT_EQ(report->signalInfo()->address(), 0x10u);
    EXPECT_FALSE(report->machExceptionInfo());

    ASSERT_EQ(report->threads().size(), 2u);
    const auto& crashed = report->threads()[0];
    EXPECT_TRUE(crashed->crashed());
    EXPECT_EQ(crashed->threadNumber(), 0);
    ASSERT_EQ(crashed->registers().size(), 2u);
    EXPECT_EQ(crashed->registers()[1]->registerName(), "fp");
    EXPECT_EQ(crashed->registers()[1]->registerValue(), 0x16fdff000u);
    ASSERT_EQ(crashed->stackFrames().size(), 2u);
    EXPECT_EQ(crashed->stackFrames()[0]->instructionPointer(), 0x100001234u);
    EXPECT_EQ(crashed->stackFrames()[0]->symbolInfo()->symbolName(), "-[Widget spin]");
    EXPECT_EQ(crashed->stackFrames()[0]->symbolInfo()->startAddress(), 0x100001200u);
    EXPECT_EQ(crashed->stackFrames()[0]->symbolInfo()->endAddress(), 0u);
    EXPECT_FALSE(crashed->stackFrames()[1]->symbolInfo());
    EXPECT_FALSE(report->threads()[1]->crashed());
    EXPECT_TRUE(report->threads()[1]->registers().empty());

    ASSERT_EQ(report->images().size(), 2u);
    const auto& app = report->images()[0];
    EXPECT_EQ(app->imageBaseAddress(), 0x100000000u);
    EXPECT_EQ(app->imageSize(), 0x4000u);
    EXPECT_EQ(app->imageName(), "/Applications/Tandrel.app/Tandrel");
    EXPECT_TRUE(app->hasImageUUID());
    EXPECT_EQ(app->imageUUID(), "0aff");
    EXPECT_EQ(app->codeType()->type(), 0x100000Cu);
    EXPECT_FALSE(report->images()[1]->hasImageUUID());
    EXPECT_FALSE(report->images()[1]->imageUUID().has_value());
    EXPECT_FALSE(report->images()[1]->codeType());

    ASSERT_TRUE(report->hasExceptionInfo());
    EXPECT_EQ(report->exceptionInfo()->exceptionName(), "NSRangeException");
    EXPECT_EQ(report->exceptionInfo()->exceptionReason(), "index 3 beyond bounds");
    ASSERT_TRUE(report->exceptionInfo()->stackFrames().has_value());
    EXPECT_EQ(report->exceptionInfo()->stackFrames()->size(), 1u);
}

TEST(VuderuCrashReport, OptionalSectionsMayBeAbsent) {
    Message m = crashreport::sampleReport();
    m.remove(9).remove(8).remove(7);
    m.at(5).remove(3);                         // an exception without frames
    m.at(1).remove(5).remove(4).i64(4, 0);     // no build, timestamp 0
    m.at(3, 1).remove(2);                      // a thread without frames or registers
    auto report = decode(m);
    ASSERT_TRUE(report);
    EXPECT_FALSE(report->uuidRef().has_value());
    EXPECT_FALSE(report->hasMachineInfo());
    EXPECT_FALSE(report->hasProcessInfo());
    EXPECT_FALSE(report->systemInfo()->operatingSystemBuild().has_value());
    EXPECT_FALSE(report->systemInfo()->timestamp());
    EXPECT_FALSE(report->exceptionInfo()->stackFrames().has_value());  // absent, not empty
    EXPECT_TRUE(report->threads()[1]->stackFrames().empty());
    EXPECT_TRUE(report->threads()[1]->registers().empty());
}

TEST(VuderuCrashReport, MachExceptionCodesUpTo255) {
    for (size_t count : {size_t(0), size_t(3), size_t(255), size_t(256)}) {
        Message m = crashreport::sampleReport();
        Message mach;
        mach.u64(1, static_cast<uint64_t>(int64_t(-1)));  // a negative type widened with its sign
        for (size_t i = 0; i < count; ++i) mach.u64(2, 0x100 + i);
        m.at(6).message(4, mach);
        NSErrorPtr error;
        auto report = decode(m, &error);
        if (count <= 255) {
            ASSERT_TRUE(report) << count;
            ASSERT_TRUE(report->machExceptionInfo());
            EXPECT_EQ(report->machExceptionInfo()->type(), UINT64_MAX);
            ASSERT_EQ(report->machExceptionInfo()->codes().size(), count);
            if (count) {
                EXPECT_EQ(report->machExceptionInfo()->codes().back(), 0x100 + count - 1);
            }
        } else {
            EXPECT_FALSE(report);
            ASSERT_TRUE(error);
            EXPECT_EQ(error->localizedDescription(), "Crash report includes too many Mach Exception codes");
        }
    }
}

TEST(VuderuCrashReport, EveryReachableDecodingErrorHasItsText) {
    auto edit = [](std::function<void(Message&)> change) {
        Message m = crashreport::sampleReport();
        change(m);
        return crashreport::encode(m);
    };
    std::string whole = crashreport::encode(crashreport::sampleReport());
    struct Case {
        const char* text;
        std::string file;
    } cases[] = {
        {"Could not decode truncated crash log", ""},
        {"Could not decode truncated crash log", std::string("vdcrash\x01", 8)},
        {"Could not decode invalid crash log header", "vdcrasx" + whole.substr(7)},
        {"Could not decode unsupported crash report version: 2", "vdcrash\x02" + whole.substr(8)},
        {"An unknown error occured decoding the crash report", whole.substr(0, whole.size() - 3)},
        {"An unknown error occured decoding the crash report", std::string("vdcrash\x01\xff", 9)},
        {"Report UUID value is not a standard 16 bytes",
         edit([](Message& m) { m.at(9).remove(2).bytes(2, std::string(15, 'u')); })},
        {"Report UUID value is not a standard 16 bytes",
         edit([](Message& m) { m.at(9).remove(2).bytes(2, std::string(17, 'u')); })},
        {"Crash report is missing thread state information", edit([](Message& m) { m.remove(3); })},
        {"Crash report is missing binary image information", edit([](Message& m) { m.remove(4); })},
    };
    for (const Case& c : cases) {
        NSErrorPtr error;
        EXPECT_FALSE(decode(c.file, &error)) << c.text;
        ASSERT_TRUE(error) << c.text;
        EXPECT_EQ(error->domain(), VuderuCrashReporterErrorDomain);
        EXPECT_EQ(error->code(), VuderuCrashReporterErrorCrashReportInvalid);
        EXPECT_EQ(error->localizedDescription(), c.text);
        EXPECT_EQ(error->userInfo().size(), 1u);  // the description alone
    }
    // No error object is made when none is asked for.
    EXPECT_FALSE(decode(std::string()));
}

// Required fields are checked by protobuf-c before the sections are: a missing required field
// fails as an undecodable message.
TEST(VuderuCrashReport, MissingRequiredFieldsFailTheMessage) {
    std::function<void(Message&)> changes[] = {
        [](Message& m) { m.remove(1); },
        [](Message& m) { m.at(1).remove(2); },
        [](Message& m) { m.remove(2); },
        [](Message& m) { m.at(2).remove(2); },
        [](Message& m) { m.remove(6); },
        [](Message& m) { m.at(6).remove(2); },
        [](Message& m) { m.at(3).at(4).remove(1); },
        [](Message& m) { m.at(4).remove(3); },
        [](Message& m) { m.at(5).remove(2); },
        [](Message& m) { m.at(3).at(2).at(6).remove(1); },
    };
    for (auto& change : changes) {
        Message m = crashreport::sampleReport();
        change(m);
        NSErrorPtr error;
        EXPECT_FALSE(decode(m, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), VuderuCrashReporterErrorCrashReportInvalid);
    }
}

TEST(VuderuCrashReport, ImageForAddressTakesTheFirstImageWhoseRangeHoldsIt) {
    Message m = crashreport::sampleReport();
    // A third image overlapping the first.
    m.message(4, Message().u64(2, 0x10000).u64(1, 0x100000000).str(3, "/overlap"));
    auto report = decode(m);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->imageForAddress(0x100000000)->imageName(), "/Applications/Tandrel.app/Tandrel");
    EXPECT_EQ(report->imageForAddress(0x100003FFF)->imageName(), "/Applications/Tandrel.app/Tandrel");
    EXPECT_EQ(report->imageForAddress(0x100004000)->imageName(), "/overlap");  // base + size is outside
    EXPECT_EQ(report->imageForAddress(0x200000FFF)->imageName(), "/usr/lib/libobjc.A.dylib");
    EXPECT_FALSE(report->imageForAddress(0x200001000));
    EXPECT_FALSE(report->imageForAddress(0));
}

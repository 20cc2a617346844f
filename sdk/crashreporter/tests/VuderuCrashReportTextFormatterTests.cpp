// Crash logs rendered from reports built with the crash-time encoder and decoded.
#include "CrashReportBuilder.h"

#include "platform/foundation/NSLog.h"
#include "sdk/crashreporter/VuderuCrashReportTextFormatter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using crashreport::frame;
using crashreport::Message;
using crashreport::sampleReport;

namespace {

std::string render(const Message& message) {
    std::string bytes = crashreport::encode(message);
    NSData data(bytes.data(), bytes.size());
    NSErrorPtr error;
    auto report = VuderuCrashReport::initWithData(data, &error);
    EXPECT_TRUE(report) << (error ? error->localizedDescription() : "");
    return report ? VuderuCrashReportTextFormatter::stringValueForCrashReportWithTextFormat(*report, VuderuCrashReportTextFormatiOS)
                  : std::string();
}

const char* const kSampleText =
    "Incident Identifier: 01020304-0506-0708-090A-0B0C0D0E0F10\n"
    "CrashReporter Key:   TODO\n"
    "Hardware Model:      iPhone7,2\n"
    "Process:         Tandrel [4242]\n"
    "Path:            /Applications/Tandrel.app/Tandrel\n"
    "Identifier:      com.example.tandrel\n"
    "Version:         1.2\n"
    "Code Type:       ARM-64\n"
    "Parent Process:  launchd [1]\n"
    "\n"
    "Date/Time:       2023-11-14 22:13:20 +0000\n"
    "OS Version:      iPhone OS 8.0 (12A365)\n"
    "Report Version:  104\n"
    "\n"
    "Exception Type:  SIGSEGV\n"
    "Exception Codes: SEGV_MAPERR at 0x10\n"
    "Crashed Thread:  0\n"
    "\n"
    "Application Specific Information:\n"
    "*** Terminating app due to uncaught exception 'NSRangeException', reason: 'index 3 beyond bounds'\n"
    "\n"
    "Last Exception Backtrace:\n"
    "0   Tandrel                             0x0000000100001240 0x100000000 + 4672\n"
    "\n"
    "Thread 0 Crashed:\n"
    "0   Tandrel                             0x0000000100001234 -[Widget spin] + 52\n"
    "1   Tandrel                             0x0000000100002000 0x100000000 + 8192\n"
    "\n"
    "Thread 1:\n"
    "0   Tandrel                             0x0000000100003000 0x100000000 + 12288\n"
    "\n"
    "Thread 0 crashed with ARM-64 Thread State:\n"
    "    pc: 0x0000000100001234     fp: 0x000000016fdff000 \n"
    "\n"
    "Binary Images:\n"
    "       0x100000000 -        0x100003fff +Tandrel arm64  <0aff> /Applications/Tandrel.app/Tandrel\n"
    "       0x200000000 -        0x200000fff  libobjc.A.dylib \?\?\?  <\?\?\?> /usr/lib/libobjc.A.dylib\n";

// The text from the first `from` through the next empty line (or to the end).
std::string sectionOf(const std::string& text, const std::string& from) {
    size_t start = text.find(from);
    if (start == std::string::npos) return "<missing>";
    size_t end = text.find("\n\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end + 2 - start);
}

struct EdgeCase {
    const char* name;
    std::function<void(Message&)> change;
    const char* from;      // the part of the text checked
    const char* expected;  // exactly, or "<missing>" when it must not appear
};

Message registersMessage(int count) {
    Message thread;
    thread.u32(1, 0).boolean(3, true);
    const char* names[] = {"x0", "x1", "x2", "x3", "x4"};
    for (int i = 0; i < count; ++i) thread.message(4, Message().str(1, names[i]).u64(2, static_cast<uint64_t>(i)));
    return thread;
}

const EdgeCase kEdgeCases[] = {
    {"no crashed thread",
     [](Message& r) {
         r.remove(3);
         r.message(3, Message().u32(1, 0).boolean(3, false));
     },
     "Crashed Thread:", "<missing>"},
    {"no crashed thread has no register block",
     [](Message& r) {
         r.remove(3);
         r.message(3, Message().u32(1, 0).boolean(3, false).message(4, Message().str(1, "pc").u64(2, 1)));
     },
     "Thread State:", "<missing>"},
    {"two crashed threads: the header names the first",
     [](Message& r) {
         r.remove(3);
         r.message(3, Message().u32(1, 4).boolean(3, true).message(4, Message().str(1, "pc").u64(2, 1)));
         r.message(3, Message().u32(1, 7).boolean(3, true).message(4, Message().str(1, "pc").u64(2, 2)));
     },
     "Crashed Thread:", "Crashed Thread:  4\n\n"},
    {"two crashed threads: the registers are the last one's",
     [](Message& r) {
         r.remove(3);
         r.message(3, Message().u32(1, 4).boolean(3, true).message(4, Message().str(1, "pc").u64(2, 1)));
         r.message(3, Message().u32(1, 7).boolean(3, true).message(4, Message().str(1, "pc").u64(2, 2)));
     },
     "Thread 7 crashed", "Thread 7 crashed with ARM-64 Thread State:\n    pc: 0x0000000000000002 \n\n"},
    {"five registers: a line of four and a line of one",
     [](Message& r) {
         r.remove(3);
         r.message(3, registersMessage(5));
     },
     "Thread 0 crashed",
     "Thread 0 crashed with ARM-64 Thread State:\n"
     "    x0: 0x0000000000000000     x1: 0x0000000000000001     x2: 0x0000000000000002     x3: 0x0000000000000003 \n"
     "    x4: 0x0000000000000004 \n\n"},
    {"four registers: one line",
     [](Message& r) {
         r.remove(3);
         r.message(3, registersMessage(4));
     },
     "Thread 0 crashed",
     "Thread 0 crashed with ARM-64 Thread State:\n"
     "    x0: 0x0000000000000000     x1: 0x0000000000000001     x2: 0x0000000000000002     x3: 0x0000000000000003 \n\n"},
    {"r12 is ip on ARM",
     [](Message& r) {
         r.remove(3);
         r.message(3, Message().u32(1, 0).boolean(3, true).message(4, Message().str(1, "r12").u64(2, 3)));
     },
     "Thread 0 crashed", "Thread 0 crashed with ARM-64 Thread State:\n    ip: 0x0000000000000003 \n\n"},
    {"image sizes 0 and 0x1000",
     [](Message& r) {
         r.remove(4);
         r.message(4, Message().u64(2, 0).u64(1, 0x5000).str(3, "/a/Zero").message(5, crashreport::processor(0x100000C, 0)));
         r.message(4, Message().u64(2, 0x1000).u64(1, 0x1000).str(3, "/a/Page").message(5, crashreport::processor(0x100000C, 13)));
     },
     "Binary Images:",
     "Binary Images:\n"
     "            0x1000 -             0x1fff  Page armv8  <\?\?\?> /a/Page\n"
     "            0x5000 -             0x5000  Zero arm64  <\?\?\?> /a/Zero\n"},
    {"a frame in no image",
     [](Message& r) {
         r.remove(3);
         r.message(3, Message().u32(1, 0).boolean(3, false).message(2, frame(0x42)));
     },
     "Thread 0:", "Thread 0:\n0   \?\?\?                                 0x0000000000000042 0x0 + 0\n\n"},
    {"underscores of symbols on iPhone OS",
     [](Message& r) {
         r.remove(3);
         r.message(3, Message().u32(1, 0).boolean(3, false).message(2, frame(0x100000010, "_main", 0x100000000)).message(
                          2, frame(0x100000020, "_", 0x100000000)));
     },
     "Thread 0:",
     "Thread 0:\n"
     "0   Tandrel                             0x0000000100000010 main + 16\n"
     "1   Tandrel                             0x0000000100000020 _ + 32\n\n"},
    // This host's reports say iPhone OS over x86-64 ELF images, whose names are whole.
    {"underscores of symbols in x86-64 images on iPhone OS",
     [](Message& r) {
         r.remove(4);
         r.message(4, Message().u64(2, 0x1000).u64(1, 0x400000).str(3, "/usr/bin/tandrel").message(5, crashreport::processor(0x1000007, 3)));
         r.remove(3);
         r.message(3, Message().u32(1, 0).boolean(3, false).message(2, frame(0x400010, "_ZN6Widget4spinEv", 0x400000)).message(
                          2, frame(0x400020, "main", 0x400000)));
     },
     "Thread 0:",
     "Thread 0:\n"
     "0   tandrel                             0x0000000000400010 _ZN6Widget4spinEv + 16\n"
     "1   tandrel                             0x0000000000400020 main + 32\n\n"},
    // The image column is 35 characters wide whatever the bytes of the name: the addresses line up.
    {"image names outside ASCII",
     [](Message& r) {
         r.remove(4);
         r.message(4, Message().u64(2, 0x1000).u64(1, 0x400000).str(3, "/usr/lib/libgr\xC3\xBC\xC3\x9F.so").message(
                          5, crashreport::processor(0x1000007, 3)));
         r.message(4, Message().u64(2, 0x1000).u64(1, 0x500000).str(3, "/usr/lib/\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80").message(
                          5, crashreport::processor(0x1000007, 3)));
         r.message(4, Message().u64(2, 0x1000).u64(1, 0x600000).str(3, "/usr/lib/\xFF\xFE" "bad").message(
                          5, crashreport::processor(0x1000007, 3)));
         r.remove(3);
         r.message(3, Message().u32(1, 0).boolean(3, false).message(2, frame(0x400010)).message(2, frame(0x500020)).message(
                          2, frame(0x600030)));
     },
     "Thread 0:",
     "Thread 0:\n"
     "0   libgr\xC3\xBC\xC3\x9F.so" "                          0x0000000000400010 0x400000 + 16\n"
     "1   \xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80" "                                 0x0000000000500020 0x500000 + 32\n"
     "2   \xFF\xFE" "bad" "                               0x0000000000600030 0x600000 + 48\n"
     "\n"},
    {"no Mach code type and the unknown architecture",
     [](Message& r) {
         r.remove(4);
         r.message(4, Message().u64(2, 0x10).u64(1, 0x7000).str(3, "/b/Plain"));
     },
     "Code Type:", "Code Type:       Unknown (6)\nParent Process:  launchd [1]\n\n"},
    {"the unknown architecture keeps the 64-bit layout",
     [](Message& r) {
         r.remove(4);
         r.message(4, Message().u64(2, 0x10).u64(1, 0x7000).str(3, "/b/Plain"));
     },
     "Binary Images:", "Binary Images:\n            0x7000 -             0x700f  Plain \?\?\?  <\?\?\?> /b/Plain\n"},
    {"architecture 4 is not named",
     [](Message& r) {
         r.remove(4);
         r.message(4, Message().u64(2, 0x10).u64(1, 0x7000).str(3, "/b/Plain"));
         r.remove(1);
         r.message(1, Message().enumeration(1, 1).str(2, "8.0").enumeration(3, 4).i64(4, 0));
     },
     "Code Type:", "Code Type:       Unknown (4)\nParent Process:  launchd [1]\n\n"},
    {"a 32-bit code type",
     [](Message& r) {
         r.remove(4);
         r.message(4, Message().u64(2, 0x100).u64(1, 0x4000).str(3, "/Applications/Tandrel.app/Tandrel").message(
                          5, crashreport::processor(12, 9)));
         r.remove(3);
         r.message(3, Message().u32(1, 0).boolean(3, false).message(2, frame(0x4010)));
     },
     "Thread 0:", "Thread 0:\n0   Tandrel                             0x00004010 0x4000 + 16\n\n"},
    {"missing machine and process sections",
     [](Message& r) {
         r.remove(8);
         r.remove(7);
     },
     "Hardware Model:",
     "Hardware Model:      \?\?\?\n"
     "Process:         \?\?\? [\?\?\?]\n"
     "Path:            \?\?\?\n"
     "Identifier:      com.example.tandrel\n"
     "Version:         1.2\n"
     "Code Type:       ARM-64\n"
     "Parent Process:  \?\?\? [\?\?\?]\n\n"},
};

void PrintTo(const EdgeCase& c, std::ostream* os) { *os << c.name; }

} // namespace

TEST(VuderuCrashReportTextFormatter, TheSampleReportRendersAsTheGoldenText) {
    EXPECT_EQ(render(sampleReport()), kSampleText);
}

TEST(VuderuCrashReportTextFormatter, FormatReportGivesTheTextInItsEncoding) {
    std::string bytes = crashreport::encode(sampleReport());
    NSData data(bytes.data(), bytes.size());
    auto report = VuderuCrashReport::initWithData(data, nullptr);
    ASSERT_TRUE(report);
    VuderuCrashReportTextFormatter formatter(VuderuCrashReportTextFormatiOS, NSUTF8StringEncoding);
    NSErrorPtr error;
    NSDataPtr text = formatter.formatReportError(*report, &error);
    ASSERT_TRUE(text);
    EXPECT_FALSE(error);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(text->bytes()), text->length()), kSampleText);
}

TEST(VuderuCrashReportTextFormatter, UnknownOperatingSystemsKeepTheSymbolAndSaySo) {
    Message r = sampleReport();
    r.remove(1);
    r.message(1, Message().enumeration(1, 3).str(2, "1.0").enumeration(3, 6).i64(4, 0));
    NSLogCapture log;
    std::string text = render(r);
    EXPECT_NE(text.find("OS Version:      Unknown (3) 1.0 (\?\?\?)\n"), std::string::npos);
    EXPECT_NE(text.find("Date/Time:       (null)\n"), std::string::npos);
    EXPECT_NE(text.find("-[Widget spin] + 52"), std::string::npos);
}

class VuderuCrashReportTextFormatterEdgeTest : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(VuderuCrashReportTextFormatterEdgeTest, RendersThePartAsDesigned) {
    const EdgeCase& c = GetParam();
    Message report = sampleReport();
    c.change(report);
    EXPECT_EQ(sectionOf(render(report), c.from), c.expected);
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, VuderuCrashReportTextFormatterEdgeTest, ::testing::ValuesIn(kEdgeCases),
                         [](const ::testing::TestParamInfo<EdgeCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

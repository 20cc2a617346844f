#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/foundation/NSStream.h"
#include "platform/foundation/NSStringEncoding.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class NSStreamTest : public DeviceTest {};

long writeText(NSOutputStream& stream, const std::string& text) {
    return stream.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST_F(NSStreamTest, MemoryStreamKeepsWhatIsWritten) {
    auto stream = NSOutputStream::outputStreamToMemory();
    EXPECT_FALSE(stream->hasSpaceAvailable());
    EXPECT_EQ(writeText(*stream, "x"), -1) << "not open";
    stream->open();
    EXPECT_TRUE(stream->hasSpaceAvailable());
    EXPECT_EQ(writeText(*stream, "hello "), 6);
    EXPECT_EQ(writeText(*stream, "world"), 5);
    EXPECT_EQ(stream->propertyForKey(NSStreamDataWrittenToMemoryStreamKey).objectAs<NSData>()->stringView(), "hello world");
    EXPECT_TRUE(stream->propertyForKey(NSStreamFileCurrentOffsetKey).isNull());
    stream->close();
    EXPECT_EQ(stream->streamStatus(), NSStreamStatusClosed);
    EXPECT_EQ(stream->dataWrittenToMemory()->stringView(), "hello world");
}

TEST_F(NSStreamTest, FileStreamTruncatesOrAppends) {
    writeFile("/tmp/f.txt", "old contents");
    for (bool append : {true, false}) {
        auto stream = NSOutputStream::outputStreamToFileAtPath("/tmp/f.txt", append);
        stream->open();
        EXPECT_EQ(writeText(*stream, "+new"), 4);
        EXPECT_EQ(stream->fileCurrentOffset(), append ? 16 : 4);
        EXPECT_FALSE(stream->dataWrittenToMemory());
        stream->close();
        EXPECT_EQ(readFile("/tmp/f.txt"), append ? "old contents+new" : "+new");
    }
}

// A write of several of the page cache's pieces (see FileWrites.h) is written whole and counted whole.
TEST_F(NSStreamTest, AWriteOfManyPiecesIsWrittenWhole) {
    std::string body;
    for (int i = 0; body.size() < 300 * 1024 + 7; ++i) body += std::to_string(i) + ",";
    auto stream = NSOutputStream::outputStreamToFileAtPath("/tmp/large.txt", false);
    stream->open();
    EXPECT_EQ(writeText(*stream, body), static_cast<long>(body.size()));
    EXPECT_EQ(stream->fileCurrentOffset(), static_cast<long long>(body.size()));
    stream->close();
    EXPECT_EQ(readFile("/tmp/large.txt"), body);
}

TEST_F(NSStreamTest, MovingTheOffsetBackCutsTheFile) {
    auto stream = NSOutputStream::outputStreamToFileAtPath("/tmp/g.txt", true);
    stream->open();
    writeText(*stream, "partial");
    EXPECT_TRUE(stream->setPropertyForKey(Value(0), NSStreamFileCurrentOffsetKey));
    writeText(*stream, "whole");
    stream->close();
    EXPECT_EQ(readFile("/tmp/g.txt"), "whole");
}

TEST_F(NSStreamTest, AFailedOpenSetsTheStreamError) {
    auto stream = NSOutputStream::outputStreamToFileAtPath("/missing/folder/f.txt", false);
    stream->open();
    EXPECT_EQ(stream->streamStatus(), NSStreamStatusError);
    ASSERT_TRUE(stream->streamError());
    EXPECT_EQ(stream->streamError()->domain(), NSPOSIXErrorDomain);
    EXPECT_EQ(stream->streamError()->code(), ENOENT);
    EXPECT_FALSE(stream->hasSpaceAvailable());
}

TEST_F(NSStreamTest, AFullDiskFailsTheWrite) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    // The host's devices are not reached from the device, except by showing them there.
    DeviceRoot::mount("/dev", "/dev");
    auto stream = NSOutputStream::outputStreamToFileAtPath("/dev/full", false);
    stream->open();
    DeviceRoot::mount("/dev", "");
    EXPECT_EQ(writeText(*stream, "x"), -1);
    ASSERT_TRUE(stream->streamError());
    EXPECT_EQ(stream->streamError()->code(), ENOSPC);
    EXPECT_FALSE(stream->hasSpaceAvailable());
}

TEST_F(NSStreamTest, InputStreamsReadDataAndFiles) {
    writeFile("/tmp/in.txt", "file bytes");
    for (auto stream : {NSInputStream::inputStreamWithData(NSData::dataWithString("file bytes")),
                        NSInputStream::inputStreamWithFileAtPath("/tmp/in.txt")}) {
        stream->open();
        std::string text;
        std::uint8_t buffer[4];
        long n;
        while ((n = stream->read(buffer, sizeof buffer)) > 0) text.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
        EXPECT_EQ(n, 0);
        EXPECT_EQ(text, "file bytes");
        EXPECT_EQ(stream->streamStatus(), NSStreamStatusAtEnd);
    }
    auto missing = NSInputStream::inputStreamWithFileAtPath("/tmp/none");
    missing->open();
    EXPECT_TRUE(missing->streamError());
}

TEST(NSStringEncodingTest, NamesAndConversions) {
    struct Case {
        const char* name;
        NSStringEncoding encoding;
    };
    const Case cases[] = {{"utf-8", NSUTF8StringEncoding},          {"UTF-8", NSUTF8StringEncoding},
                          {"iso-8859-1", NSISOLatin1StringEncoding}, {"windows-1252", NSWindowsCP1252StringEncoding},
                          {"us-ascii", NSASCIIStringEncoding},       {"utf-16be", NSUTF16BigEndianStringEncoding},
                          {"shift_jis", NSShiftJISStringEncoding}};
    for (const Case& c : cases) {
        CFStringEncoding cf = CFStringConvertIANACharSetNameToEncoding(c.name);
        ASSERT_NE(cf, kCFStringEncodingInvalidId) << c.name;
        EXPECT_EQ(CFStringConvertEncodingToNSStringEncoding(cf), c.encoding) << c.name;
    }
    EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding("x-unknown"), kCFStringEncodingInvalidId);

    const std::string text = "caf\xc3\xa9 \xe2\x82\xac";  // "café €"
    for (NSStringEncoding encoding : {NSUTF8StringEncoding, NSWindowsCP1252StringEncoding, NSUTF16StringEncoding,
                                      NSUTF16LittleEndianStringEncoding, NSUTF32StringEncoding}) {
        auto bytes = NSString::dataUsingEncoding(text, encoding);
        ASSERT_TRUE(bytes) << encoding;
        EXPECT_EQ(NSString::initWithBytes(bytes->data(), bytes->size(), encoding), text) << encoding;
    }
    EXPECT_FALSE(NSString::dataUsingEncoding(text, NSASCIIStringEncoding));
    EXPECT_FALSE(NSString::dataUsingEncoding(text, NSISOLatin1StringEncoding)) << "no euro sign in Latin-1";
    EXPECT_EQ(NSString::initWithBytes("caf\xe9", 4, NSISOLatin1StringEncoding), "caf\xc3\xa9");
    EXPECT_FALSE(NSString::initWithBytes("caf\xe9", 4, NSUTF8StringEncoding));
}

class Observed : public NSKeyValueObserving {
public:
    std::set<std::string> keyPathsForValuesAffectingValueForKey(const std::string& key) const override {
        if (key == "fullName") return {"firstName", "lastName"};
        return {};
    }
};

TEST(NSKeyValueObservingTest, DependentKeysAndPriorNotices) {
    Observed object;
    std::vector<std::string> notices;
    auto token = object.addObserverForKeyPath(
        "fullName", [&](const std::string& key, bool prior) { notices.push_back((prior ? "will " : "did ") + key); }, true);
    object.addObserverForKeyPath("firstName", [&](const std::string& key, bool) { notices.push_back("plain " + key); });
    object.willChangeValueForKey("firstName");
    object.didChangeValueForKey("firstName");
    object.willChangeValueForKey("age");
    object.didChangeValueForKey("age");
    EXPECT_EQ(notices, (std::vector<std::string>{"will fullName", "did fullName", "plain firstName"}));
    object.removeObserver(token);
    notices.clear();
    object.didChangeValueForKey("lastName");
    EXPECT_TRUE(notices.empty());
}

} // namespace

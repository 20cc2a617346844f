#include "netkit/NKStreamingMultipartFormData.h"
#include "netkit/NKURLResponseSerialization.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

class NKMultipartFormDataTest : public DeviceTest {
protected:
    std::shared_ptr<NKStreamingMultipartFormData> builder() {
        auto request = NSURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1/upload"));
        request->setHTTPMethod("POST");
        return std::make_shared<NKStreamingMultipartFormData>(request, NSUTF8StringEncoding);
    }
};

// Reads a stream to its end in pieces of the given size.
std::string readAll(NSInputStream& stream, std::size_t pieceSize) {
    stream.open();
    std::string bytes;
    std::vector<std::uint8_t> buffer(pieceSize);
    long n;
    while ((n = stream.read(buffer.data(), buffer.size())) > 0) bytes.append(reinterpret_cast<char*>(buffer.data()), static_cast<std::size_t>(n));
    EXPECT_EQ(n, 0);
    return bytes;
}

// A stream that hands out its text and then fails.
class FailingStream : public NSInputStream {
public:
    explicit FailingStream(std::string text) : text_(std::move(text)) {}
    void open() override {
        std::lock_guard guard(mutex_);
        setStatus(NSStreamStatusOpen);
    }
    void close() override {}
    bool hasBytesAvailable() const override { return true; }
    long read(std::uint8_t* buffer, std::size_t length) override {
        std::lock_guard guard(mutex_);
        if (!text_.empty()) {
            std::size_t n = std::min(length, text_.size());
            std::memcpy(buffer, text_.data(), n);
            text_.erase(0, n);
            return static_cast<long>(n);
        }
        fail(NSError::errorWithDomain(NSPOSIXErrorDomain, EIO));
        return -1;
    }

private:
    std::string text_;
};

TEST_F(NKMultipartFormDataTest, BodyIsLaidOutPartByPartAndCountedExactly) {
    writeFile("/tmp/photo.png", "PNGBYTES");
    auto form = builder();
    form->appendPartWithFormData(NSData::dataWithString("1"), "a");
    NSErrorPtr error;
    ASSERT_TRUE(form->appendPartWithFileURL(NSURL::fileURLWithPath("/tmp/photo.png"), "file", &error));
    form->appendPartWithFileData(NSData::dataWithString("{}"), "meta", "m.json", "application/json");
    form->appendPartWithInputStream(NSInputStream::inputStreamWithData(NSData::dataWithString("streamed")), "s", "s.bin", 8,
                                    "application/octet-stream");
    auto request = form->requestByFinalizingMultipartFormData();
    const std::string b = form->boundary();
    ASSERT_EQ(b.size(), 25u);
    EXPECT_EQ(b.substr(0, 9), "Boundary+");
    EXPECT_EQ(b.find_first_not_of("0123456789ABCDEF", 9), std::string::npos);
    EXPECT_NE(b, builder()->boundary());
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Type"), "multipart/form-data; boundary=" + b);

    const std::string expected =
        "--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1"
        "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"photo.png\"\r\nContent-Type: image/png\r\n\r\nPNGBYTES"
        "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"meta\"; filename=\"m.json\"\r\nContent-Type: application/json\r\n\r\n{}"
        "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"s\"; filename=\"s.bin\"\r\nContent-Type: application/octet-stream\r\n\r\nstreamed"
        "\r\n--" + b + "--\r\n";
    auto body = std::dynamic_pointer_cast<NKMultipartBodyStream>(request->HTTPBodyStream());
    ASSERT_TRUE(body);
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Length"), std::to_string(expected.size()));
    EXPECT_EQ(body->contentLength(), expected.size());
    // The stream part is read once; copies of the others read again from the start.
    auto again = std::dynamic_pointer_cast<NKMultipartBodyStream>(body->copy());
    EXPECT_EQ(readAll(*body, 1 << 16), expected);
    EXPECT_TRUE(body->hasBytesAvailable());
    body->close();
    std::uint8_t byte;
    EXPECT_EQ(body->read(&byte, 1), 0);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->contentLength(), expected.size());
}

TEST_F(NKMultipartFormDataTest, OneByteReadsGiveTheSameBytesAsOneLargeRead) {
    auto form = builder();
    form->appendPartWithFormData(NSData::dataWithString("first"), "one");
    form->appendPartWithFormData(NSData::data(), "empty");
    form->appendPartWithFileData(NSData::dataWithString(std::string(300, 'x')), "two", "two.txt", "text/plain");
    auto large = form->requestByFinalizingMultipartFormData()->HTTPBodyStream();
    auto small = large->copy();
    ASSERT_TRUE(small);
    std::string whole = readAll(*large, 1 << 20);
    EXPECT_EQ(readAll(*small, 1), whole);
    EXPECT_EQ(whole.size(), std::dynamic_pointer_cast<NKMultipartBodyStream>(large)->contentLength());
}

TEST_F(NKMultipartFormDataTest, PacketSizeEndsACallOnceReached) {
    auto form = builder();
    for (int i = 0; i < 3; ++i) form->appendPartWithFormData(NSData::dataWithString(std::string(40, 'a' + i)), "p");
    form->throttleBandwidthWithPacketSize(10, 0);
    auto body = form->bodyStream();
    form->requestByFinalizingMultipartFormData();
    body->open();
    std::uint8_t buffer[100];
    long first = body->read(buffer, sizeof buffer);
    // One part read may run past the cap, up to the caller's room.
    EXPECT_GE(first, 10);
    EXPECT_LE(first, 100);
    std::string rest;
    long n;
    while ((n = body->read(buffer, sizeof buffer)) > 0) {
        EXPECT_GE(n, 1);
        rest.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
    }
    EXPECT_EQ(static_cast<std::uint64_t>(first) + rest.size(), body->contentLength());
}

TEST_F(NKMultipartFormDataTest, FileURLsThatCannotBeReadAddNoPart) {
    writeFile("/tmp/blob.nosuchext", "x");
    struct Case {
        const char* name;
        NSURLPtr url;
        const char* reason;
    };
    const Case cases[] = {
        {"not a file URL", NSURL::URLWithString("http://example.com/a.png"), "Expected URL to be a file URL"},
        {"missing file", NSURL::fileURLWithPath("/tmp/none.png"), "File URL not reachable."},
    };
    auto form = builder();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        EXPECT_FALSE(form->appendPartWithFileURL(c.url, "f", &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), NKNetworkingErrorDomain);
        EXPECT_EQ(error->code(), NSURLErrorBadURL);
        EXPECT_EQ(error->localizedFailureReason(), c.reason);
    }
    EXPECT_TRUE(form->bodyStream()->isEmpty());
    auto untouched = form->requestByFinalizingMultipartFormData();
    EXPECT_FALSE(untouched->HTTPBodyStream());
    EXPECT_EQ(untouched->valueForHTTPHeaderField("Content-Type"), "");

    NSErrorPtr error;
    ASSERT_TRUE(form->appendPartWithFileURL(NSURL::fileURLWithPath("/tmp/blob.nosuchext"), "f", &error));
    std::string body = readAll(*form->requestByFinalizingMultipartFormData()->HTTPBodyStream(), 4096);
    EXPECT_NE(body.find("Content-Type: application/octet-stream\r\n"), std::string::npos);
}

TEST_F(NKMultipartFormDataTest, AFailingPartFailsTheBodyInsteadOfTruncatingIt) {
    writeFile("/tmp/gone.txt", "soon gone");
    writeFile("/tmp/grows.txt", "small");
    auto streamPart = [](std::string given, std::int64_t declared) {
        return [given, declared](NKStreamingMultipartFormData& form) {
            form.appendPartWithInputStream(NSInputStream::inputStreamWithData(NSData::dataWithString(given)), "s", "s.bin", declared,
                                           "application/octet-stream");
        };
    };
    struct Case {
        const char* name;
        std::function<void(NKStreamingMultipartFormData&)> append;
        long code;
        const char* description;  // empty: the stream's own error, not checked
        bool readACopyAfterTheBody = false;
    };
    const Case cases[] = {
        {"stream fails midway",
         [](NKStreamingMultipartFormData& form) {
             form.appendPartWithInputStream(std::make_shared<FailingStream>("half"), "s", "s.bin", 8, "application/octet-stream");
         },
         EIO, ""},
        {"file removed before sending",
         [this](NKStreamingMultipartFormData& form) {
             NSErrorPtr error;
             ASSERT_TRUE(form.appendPartWithFileURL(NSURL::fileURLWithPath("/tmp/gone.txt"), "f", &error));
             std::remove(host("/tmp/gone.txt").c_str());
         },
         ENOENT, ""},
        {"stream shorter than declared", streamPart("1234567", 8), NSURLErrorRequestBodyStreamExhausted,
         "Body part \"s\" (s.bin) ended after 7 of its 8 declared bytes"},
        {"stream longer than declared", streamPart("123456789", 8), NSURLErrorRequestBodyStreamExhausted,
         "Body part \"s\" (s.bin) has more than its 8 declared bytes"},
        {"empty stream declared with bytes", streamPart("", 8), NSURLErrorRequestBodyStreamExhausted,
         "Body part \"s\" (s.bin) ended after 0 of its 8 declared bytes"},
        {"file grown after appending",
         [this](NKStreamingMultipartFormData& form) {
             NSErrorPtr error;
             ASSERT_TRUE(form.appendPartWithFileURL(NSURL::fileURLWithPath("/tmp/grows.txt"), "f", &error));
             writeFile("/tmp/grows.txt", "no longer small");
         },
         NSURLErrorRequestBodyStreamExhausted, "Body part \"f\" (grows.txt) has more than its 5 declared bytes"},
        {"stream already read by the first sending", streamPart("12345678", 8), NSURLErrorRequestBodyStreamExhausted,
         "Body part \"s\" (s.bin) ended after 0 of its 8 declared bytes", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto form = builder();
        form->appendPartWithFormData(NSData::dataWithString("before"), "a");
        c.append(*form);
        form->appendPartWithFormData(NSData::dataWithString("after"), "z");
        auto body = form->requestByFinalizingMultipartFormData()->HTTPBodyStream();
        if (c.readACopyAfterTheBody) {
            auto again = body->copy();
            EXPECT_EQ(readAll(*body, 64).size(), std::dynamic_pointer_cast<NKMultipartBodyStream>(body)->contentLength());
            body = again;
        }
        body->open();
        std::uint8_t buffer[64];
        std::size_t read = 0;
        long n;
        while ((n = body->read(buffer, sizeof buffer)) > 0) read += static_cast<std::size_t>(n);
        EXPECT_EQ(n, -1);
        EXPECT_LT(read, std::dynamic_pointer_cast<NKMultipartBodyStream>(body)->contentLength());
        EXPECT_EQ(body->streamStatus(), NSStreamStatusError);
        ASSERT_TRUE(body->streamError());
        EXPECT_EQ(body->streamError()->code(), c.code);
        if (*c.description) {
            EXPECT_EQ(body->streamError()->domain(), NKNetworkingErrorDomain);
            EXPECT_EQ(body->streamError()->localizedDescription(), c.description);
        }
        EXPECT_EQ(body->read(buffer, sizeof buffer), -1);
    }
}

} // namespace

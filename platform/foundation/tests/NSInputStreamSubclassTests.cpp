#include "platform/foundation/NSStream.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

namespace {

class NSInputStreamSubclassTest : public DeviceTest {};

std::string readAll(NSInputStream& stream) {
    stream.open();
    std::string text;
    std::uint8_t buffer[3];
    long n;
    while ((n = stream.read(buffer, sizeof buffer)) > 0) text.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
    return text;
}

// Counts down from a number: bytes made on demand, through the base class's interface.
class CountdownStream : public NSInputStream {
public:
    explicit CountdownStream(int from) : next_(from) {}
    void open() override { setStatus(NSStreamStatusOpen); }
    void close() override { setStatus(NSStreamStatusClosed); }
    bool hasBytesAvailable() const override { return next_ > 0; }
    long read(std::uint8_t* buffer, std::size_t length) override {
        if (length == 0) return 0;
        if (next_ == 0) {
            setStatus(NSStreamStatusAtEnd);
            return 0;
        }
        buffer[0] = static_cast<std::uint8_t>('0' + next_--);
        return 1;
    }
    std::shared_ptr<NSInputStream> copy() const override { return nullptr; }

private:
    int next_;
};

TEST_F(NSInputStreamSubclassTest, CopiesStartAgainAndURLsOpenFiles) {
    writeFile("/tmp/body.txt", "file body");
    auto fromURL = NSInputStream::inputStreamWithURL(NSURL::fileURLWithPath("/tmp/body.txt"));
    ASSERT_TRUE(fromURL);
    EXPECT_EQ(readAll(*fromURL), "file body");
    EXPECT_FALSE(NSInputStream::inputStreamWithURL(NSURL::URLWithString("http://example.com/body.txt")));
    EXPECT_FALSE(NSInputStream::inputStreamWithURL(nullptr));

    auto copy = fromURL->copy();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->streamStatus(), NSStreamStatusNotOpen);
    EXPECT_EQ(readAll(*copy), "file body");

    auto data = NSInputStream::inputStreamWithData(NSData::dataWithString("data body"));
    EXPECT_EQ(readAll(*data), "data body");
    EXPECT_EQ(readAll(*data->copy()), "data body");
    // Empty data has no bytes to point at: reading it must not touch them.
    EXPECT_EQ(readAll(*NSInputStream::inputStreamWithData(NSData::data())), "");
}

TEST_F(NSInputStreamSubclassTest, SubclassesAreReadThroughTheBase) {
    std::shared_ptr<NSInputStream> stream = std::make_shared<CountdownStream>(3);
    EXPECT_EQ(readAll(*stream), "321");
    EXPECT_EQ(stream->streamStatus(), NSStreamStatusAtEnd);
    EXPECT_FALSE(stream->hasBytesAvailable());
    EXPECT_FALSE(stream->copy());
}

} // namespace

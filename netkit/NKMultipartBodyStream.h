#pragma once
// The body stream of a multipart request: the bytes of its parts in order, read by the URL
// loader like any input stream. It stays open once all is read (reads then give 0); a part whose
// stream fails, or whose body is not as long as it declared, puts it in the error status with the
// part's error, and the read fails, so an upload never goes out with another length than the
// announced one.

#include "netkit/NKHTTPBodyPart.h"
#include "platform/foundation/NSStream.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

class NKMultipartBodyStream : public NSInputStream {
public:
    explicit NKMultipartBodyStream(NSStringEncoding encoding);

    std::uint64_t numberOfBytesInPacket() const { return numberOfBytesInPacket_; }
    void setNumberOfBytesInPacket(std::uint64_t bytes) { numberOfBytesInPacket_ = bytes; }
    double delay() const { return delay_; }
    void setDelay(double seconds) { delay_ = seconds; }
    NSStringEncoding stringEncoding() const { return stringEncoding_; }
    const std::vector<std::shared_ptr<NKHTTPBodyPart>>& HTTPBodyParts() const { return parts_; }

    void appendHTTPBodyPart(std::shared_ptr<NKHTTPBodyPart> part);
    bool isEmpty() const { return parts_.empty(); }
    // The first part opens the body, the last one closes it.
    void setInitialAndFinalBoundaries();
    std::uint64_t contentLength() const;

    void open() override;
    void close() override;
    bool hasBytesAvailable() const override;
    // Gathers bytes from as many parts as fit, stopping once the packet size is reached.
    long read(std::uint8_t* buffer, std::size_t length) override;
    // Fresh copies of every part, packet size and delay back to their defaults.
    std::shared_ptr<NSInputStream> copy() const override;

private:
    void failWith(NSErrorPtr error);

    std::uint64_t numberOfBytesInPacket_ = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    double delay_ = 0;
    NSStringEncoding stringEncoding_;
    std::vector<std::shared_ptr<NKHTTPBodyPart>> parts_;
    std::size_t nextPart_ = 0;
    std::shared_ptr<NKHTTPBodyPart> currentPart_;
};

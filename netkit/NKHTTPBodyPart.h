#pragma once
// One part of a multipart body. Its bytes come in four phases: the boundary line, the header
// lines, the body (read from an input stream over data, a file or a given stream) and, for the
// last part, the closing boundary. Each phase remembers how far it was read, so any buffer size
// reads the same bytes. Phase changes happen on the main thread, where the body stream is opened
// and scheduled; a reader on another thread waits for the main loop to make them.
//
// The request's Content-Length counts each body at its declared length, so a body must give
// exactly that many bytes: one that ends early, or still has bytes once the declared length is
// read, fails the part (error()) before the bytes after it are read, so the transfer is cut short
// instead of sending a body of another length than announced.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSStream.h"
#include "platform/foundation/NSStringEncoding.h"
#include "platform/foundation/NSURL.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

// Header fields in the order they are written.
using NKHTTPBodyPartHeaders = std::vector<std::pair<std::string, std::string>>;

class NKHTTPBodyPart : public NSObject {
public:
    using Body = std::variant<NSDataPtr, NSURLPtr, std::shared_ptr<NSInputStream>>;

    NKHTTPBodyPart(NSStringEncoding encoding, NKHTTPBodyPartHeaders headers, std::string boundary, Body body,
                   std::uint64_t bodyContentLength);
    ~NKHTTPBodyPart() override;

    const NKHTTPBodyPartHeaders& headers() const { return headers_; }
    const Body& body() const { return body_; }
    std::uint64_t bodyContentLength() const { return bodyContentLength_; }
    bool hasInitialBoundary() const { return hasInitialBoundary_; }
    void setHasInitialBoundary(bool on) { hasInitialBoundary_ = on; }
    bool hasFinalBoundary() const { return hasFinalBoundary_; }
    void setHasFinalBoundary(bool on) { hasFinalBoundary_ = on; }

    // The body's stream, made on first use and the same afterwards.
    const std::shared_ptr<NSInputStream>& inputStream();
    // Every byte this part puts on the wire.
    std::uint64_t contentLength() const;
    bool hasBytesAvailable();
    // Bytes of as many phases as fit; -1 when the body's stream fails or its length is not the
    // declared one.
    long read(std::uint8_t* buffer, std::size_t length);
    // Why read() failed: the body's length, or else its stream's own error.
    NSErrorPtr error();
    // A fresh part (phase 1, new streams for data and files) with the same contents; a stream
    // body is shared. The boundary flags are not copied.
    std::shared_ptr<NKHTTPBodyPart> copy() const;

private:
    enum Phase : int { kPhaseNone = 0, kPhaseBoundary = 1, kPhaseHeaders = 2, kPhaseBody = 3, kPhaseFinalBoundary = 4 };
    std::string openingLine() const;
    std::string stringForHeaders() const;
    std::string closingLine() const;
    std::vector<std::uint8_t> encoded(const std::string& text) const;
    long readData(const std::vector<std::uint8_t>& data, std::uint8_t* buffer, std::size_t length);
    long readBody(std::uint8_t* buffer, std::size_t length);
    // "name" (file name) from the Content-Disposition, for errors.
    std::string displayName() const;
    long failWithLength(bool tooLong);
    void transitionToNextPhase();
    void changePhase();

    Phase phase_ = kPhaseNone;
    std::shared_ptr<NSInputStream> inputStream_;
    std::uint64_t phaseReadOffset_ = 0;
    bool hasInitialBoundary_ = false;
    bool hasFinalBoundary_ = false;
    NSStringEncoding stringEncoding_;
    NKHTTPBodyPartHeaders headers_;
    std::string boundary_;
    Body body_;
    std::uint64_t bodyContentLength_;
    std::uint64_t bodyBytesRead_ = 0;
    bool passComplete_ = false;
    NSErrorPtr lengthError_;
};

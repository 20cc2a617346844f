#include "netkit/NKHTTPBodyPart.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSThread.h"

#include <algorithm>
#include <cstring>

namespace {
const char* const kCRLF = "\r\n";
} // namespace

NKHTTPBodyPart::NKHTTPBodyPart(NSStringEncoding encoding, NKHTTPBodyPartHeaders headers, std::string boundary, Body body,
                               std::uint64_t bodyContentLength)
    : stringEncoding_(encoding), headers_(std::move(headers)), boundary_(std::move(boundary)), body_(std::move(body)),
      bodyContentLength_(bodyContentLength) {
    changePhase();
}

NKHTTPBodyPart::~NKHTTPBodyPart() {
    if (inputStream_) inputStream_->close();
}

const std::shared_ptr<NSInputStream>& NKHTTPBodyPart::inputStream() {
    if (inputStream_) return inputStream_;
    if (auto data = std::get_if<NSDataPtr>(&body_)) {
        inputStream_ = NSInputStream::inputStreamWithData(*data);
    } else if (auto url = std::get_if<NSURLPtr>(&body_)) {
        inputStream_ = NSInputStream::inputStreamWithURL(*url);
    } else {
        inputStream_ = std::get<std::shared_ptr<NSInputStream>>(body_);
    }
    if (!inputStream_) {
        // A URL that no stream can read: an empty stream that fails when opened would hide that,
        // so the part reads from a stream over a path that cannot exist.
        inputStream_ = NSInputStream::inputStreamWithFileAtPath("");
    }
    return inputStream_;
}

std::string NKHTTPBodyPart::openingLine() const {
    return hasInitialBoundary_ ? "--" + boundary_ + kCRLF : kCRLF + ("--" + boundary_) + kCRLF;
}

std::string NKHTTPBodyPart::stringForHeaders() const {
    std::string text;
    for (const auto& [field, value] : headers_) text += field + ": " + value + kCRLF;
    return text + kCRLF;
}

std::string NKHTTPBodyPart::closingLine() const { return kCRLF + ("--" + boundary_) + "--" + kCRLF; }

std::vector<std::uint8_t> NKHTTPBodyPart::encoded(const std::string& text) const {
    return NSString::dataUsingEncoding(text, stringEncoding_).value_or(std::vector<std::uint8_t>());
}

std::uint64_t NKHTTPBodyPart::contentLength() const {
    std::uint64_t length = encoded(openingLine()).size() + encoded(stringForHeaders()).size() + bodyContentLength_;
    if (hasFinalBoundary_) length += encoded(closingLine()).size();
    return length;
}

bool NKHTTPBodyPart::hasBytesAvailable() {
    if (phase_ == kPhaseFinalBoundary) return true;
    return inputStream()->streamStatus() < NSStreamStatusAtEnd;
}

long NKHTTPBodyPart::read(std::uint8_t* buffer, std::size_t length) {
    std::size_t total = 0;
    if (phase_ == kPhaseBoundary) total += static_cast<std::size_t>(readData(encoded(openingLine()), buffer, length));
    if (phase_ == kPhaseHeaders) {
        total += static_cast<std::size_t>(readData(encoded(stringForHeaders()), buffer + total, length - total));
    }
    if (phase_ == kPhaseBody) {
        // A stream that failed to open fails the read even when no room is left for its bytes.
        if (inputStream()->streamStatus() == NSStreamStatusError) return -1;
        long n = 0;
        if (length > total) {
            n = inputStream()->read(buffer + total, length - total);
            if (n < 0) return -1;
        }
        total += static_cast<std::size_t>(n);
        if (inputStream()->streamStatus() >= NSStreamStatusAtEnd) transitionToNextPhase();
    }
    if (phase_ == kPhaseFinalBoundary) {
        std::vector<std::uint8_t> closing = hasFinalBoundary_ ? encoded(closingLine()) : std::vector<std::uint8_t>();
        total += static_cast<std::size_t>(readData(closing, buffer + total, length - total));
    }
    return static_cast<long>(total);
}

long NKHTTPBodyPart::readData(const std::vector<std::uint8_t>& data, std::uint8_t* buffer, std::size_t length) {
    std::size_t offset = static_cast<std::size_t>(std::min<std::uint64_t>(phaseReadOffset_, data.size()));
    std::size_t count = std::min(data.size() - offset, length);
    if (count > 0) std::memcpy(buffer, data.data() + offset, count);
    phaseReadOffset_ += count;
    if (phaseReadOffset_ >= data.size()) transitionToNextPhase();
    return static_cast<long>(count);
}

void NKHTTPBodyPart::transitionToNextPhase() {
    if (!NSThread::isMainThread()) {
        NSThread::mainThread()->performBlock([this] { changePhase(); }, true);
        return;
    }
    changePhase();
}

void NKHTTPBodyPart::changePhase() {
    switch (phase_) {
    case kPhaseBoundary: phase_ = kPhaseHeaders; break;
    case kPhaseHeaders:
        inputStream()->scheduleInRunLoop(NSRunLoop::currentRunLoop(), NSRunLoopCommonModes);
        inputStream()->open();
        phase_ = kPhaseBody;
        break;
    case kPhaseBody:
        inputStream()->close();
        phase_ = kPhaseFinalBoundary;
        break;
    default: phase_ = kPhaseBoundary; break;
    }
    phaseReadOffset_ = 0;
}

std::shared_ptr<NKHTTPBodyPart> NKHTTPBodyPart::copy() const {
    return std::make_shared<NKHTTPBodyPart>(stringEncoding_, headers_, boundary_, body_, bodyContentLength_);
}

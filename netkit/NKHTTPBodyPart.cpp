#include "netkit/NKHTTPBodyPart.h"

#include "netkit/NKLocalizedString.h"
#include "netkit/NKURLResponseSerialization.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSThread.h"
#include "platform/net/NSURLError.h"

#include <algorithm>
#include <cstring>

namespace {
const char* const kCRLF = "\r\n";

// The quoted value of one parameter of a Content-Disposition value (name="a"; filename="b").
std::string dispositionParameter(const std::string& disposition, const std::string& key) {
    const std::string opening = key + "=\"";
    for (std::size_t at = disposition.find(opening); at != std::string::npos; at = disposition.find(opening, at + 1)) {
        if (at > 0 && disposition[at - 1] != ' ' && disposition[at - 1] != ';') continue;  // "filename" holds "name"
        std::size_t start = at + opening.size();
        std::size_t end = disposition.find('"', start);
        if (end != std::string::npos) return disposition.substr(start, end - start);
    }
    return {};
}
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
    if (phase_ == kPhaseBody) return inputStream()->streamStatus() < NSStreamStatusAtEnd;
    // Until its pass is over a part is read even when its stream has already ended (a shared
    // stream read by an earlier copy): the body check then fails it instead of it being left out.
    return !passComplete_;
}

long NKHTTPBodyPart::read(std::uint8_t* buffer, std::size_t length) {
    std::size_t total = 0;
    if (phase_ == kPhaseBoundary) total += static_cast<std::size_t>(readData(encoded(openingLine()), buffer, length));
    if (phase_ == kPhaseHeaders) {
        total += static_cast<std::size_t>(readData(encoded(stringForHeaders()), buffer + total, length - total));
    }
    if (phase_ == kPhaseBody) {
        long n = readBody(buffer + total, length - total);
        if (n < 0) return -1;
        total += static_cast<std::size_t>(n);
    }
    if (phase_ == kPhaseFinalBoundary) {
        std::vector<std::uint8_t> closing = hasFinalBoundary_ ? encoded(closingLine()) : std::vector<std::uint8_t>();
        total += static_cast<std::size_t>(readData(closing, buffer + total, length - total));
    }
    return static_cast<long>(total);
}

long NKHTTPBodyPart::readBody(std::uint8_t* buffer, std::size_t length) {
    const auto& stream = inputStream();
    // A stream that failed to open fails the read even when no room is left for its bytes.
    if (stream->streamStatus() == NSStreamStatusError) return -1;
    // A read of 0 is the stream's end, whatever status a stream of the caller's keeps.
    bool ended = stream->streamStatus() >= NSStreamStatusAtEnd;
    long n = 0;
    if (!ended && bodyBytesRead_ < bodyContentLength_ && length > 0) {
        const std::uint64_t remaining = bodyContentLength_ - bodyBytesRead_;
        n = stream->read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(length, remaining)));
        if (n < 0) return -1;
        ended = n == 0;
        bodyBytesRead_ += static_cast<std::uint64_t>(n);
    }
    if (!ended && bodyBytesRead_ == bodyContentLength_) {
        // All declared bytes are read: the stream must be at its end now.
        std::uint8_t extra;
        long more = stream->read(&extra, 1);
        if (more < 0) return -1;
        if (more > 0) return failWithLength(true);
        ended = true;
    }
    if (ended) {
        if (bodyBytesRead_ < bodyContentLength_) return failWithLength(false);
        transitionToNextPhase();
    }
    return n;
}

std::string NKHTTPBodyPart::displayName() const {
    std::string disposition;
    for (const auto& [field, value] : headers_) {
        if (NSString::caseInsensitiveCompare(field, "Content-Disposition") == NSOrderedSame) disposition = value;
    }
    std::string name = dispositionParameter(disposition, "name");
    std::string fileName = dispositionParameter(disposition, "filename");
    if (name.empty()) return disposition.empty() ? "(unnamed)" : disposition;
    return "\"" + name + "\"" + (fileName.empty() ? "" : " (" + fileName + ")");
}

long NKHTTPBodyPart::failWithLength(bool tooLong) {
    std::string text =
        tooLong ? NSString::stringWithFormat(NKLocalizedString("Body part %@ has more than its %llu declared bytes"), displayName(),
                                             bodyContentLength_)
                : NSString::stringWithFormat(NKLocalizedString("Body part %@ ended after %llu of its %llu declared bytes"),
                                             displayName(), bodyBytesRead_, bodyContentLength_);
    Value::Dictionary userInfo;
    userInfo[NSLocalizedDescriptionKey] = text;
    lengthError_ = NSError::errorWithDomain(NKNetworkingErrorDomain, NSURLErrorRequestBodyStreamExhausted, std::move(userInfo));
    return -1;
}

NSErrorPtr NKHTTPBodyPart::error() {
    if (lengthError_) return lengthError_;
    return inputStream_ ? inputStream_->streamError() : nullptr;
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
        bodyBytesRead_ = 0;
        phase_ = kPhaseBody;
        break;
    case kPhaseBody:
        inputStream()->close();
        phase_ = kPhaseFinalBoundary;
        break;
    case kPhaseFinalBoundary:
        passComplete_ = true;
        phase_ = kPhaseBoundary;
        break;
    default: phase_ = kPhaseBoundary; break;
    }
    phaseReadOffset_ = 0;
}

std::shared_ptr<NKHTTPBodyPart> NKHTTPBodyPart::copy() const {
    return std::make_shared<NKHTTPBodyPart>(stringEncoding_, headers_, boundary_, body_, bodyContentLength_);
}

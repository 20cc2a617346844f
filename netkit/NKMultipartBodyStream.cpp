#include "netkit/NKMultipartBodyStream.h"

#include "platform/foundation/NSThread.h"

#include <algorithm>

NKMultipartBodyStream::NKMultipartBodyStream(NSStringEncoding encoding) : stringEncoding_(encoding) {}

void NKMultipartBodyStream::appendHTTPBodyPart(std::shared_ptr<NKHTTPBodyPart> part) { parts_.push_back(std::move(part)); }

void NKMultipartBodyStream::setInitialAndFinalBoundaries() {
    if (parts_.empty()) return;
    for (const auto& part : parts_) {
        part->setHasInitialBoundary(false);
        part->setHasFinalBoundary(false);
    }
    parts_.front()->setHasInitialBoundary(true);
    parts_.back()->setHasFinalBoundary(true);
}

std::uint64_t NKMultipartBodyStream::contentLength() const {
    std::uint64_t length = 0;
    for (const auto& part : parts_) length += part->contentLength();
    return length;
}

void NKMultipartBodyStream::open() {
    {
        std::lock_guard guard(mutex_);
        if (status_ == NSStreamStatusOpen) return;
        setStatus(NSStreamStatusOpen);
    }
    setInitialAndFinalBoundaries();
    nextPart_ = 0;
    currentPart_.reset();
}

void NKMultipartBodyStream::close() {
    std::lock_guard guard(mutex_);
    setStatus(NSStreamStatusClosed);
}

bool NKMultipartBodyStream::hasBytesAvailable() const { return streamStatus() == NSStreamStatusOpen; }

void NKMultipartBodyStream::failWith(NSErrorPtr error) {
    std::lock_guard guard(mutex_);
    fail(std::move(error));
}

long NKMultipartBodyStream::read(std::uint8_t* buffer, std::size_t length) {
    NSStreamStatus status = streamStatus();
    if (status == NSStreamStatusClosed) return 0;
    if (status == NSStreamStatusError) return -1;
    const std::uint64_t limit = std::min<std::uint64_t>(length, numberOfBytesInPacket_);
    std::size_t total = 0;
    while (total < limit) {
        if (!currentPart_ || !currentPart_->hasBytesAvailable()) {
            if (nextPart_ >= parts_.size()) return static_cast<long>(total);
            currentPart_ = parts_[nextPart_++];
            continue;
        }
        long n = currentPart_->read(buffer + total, length - total);
        if (n < 0) {
            NSErrorPtr error = currentPart_->error();
            failWith(error ? error : NSError::posixError(EIO));
            return -1;
        }
        total += static_cast<std::size_t>(n);
        if (delay_ > 0) NSThread::sleepForTimeInterval(delay_);
    }
    return static_cast<long>(total);
}

std::shared_ptr<NSInputStream> NKMultipartBodyStream::copy() const {
    auto copy = std::make_shared<NKMultipartBodyStream>(stringEncoding_);
    for (const auto& part : parts_) copy->appendHTTPBodyPart(part->copy());
    copy->setInitialAndFinalBoundaries();
    return copy;
}

#include "platform/foundation/NSStream.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/FileWrites.h"
#include "platform/foundation/RegularFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

const std::string NSStreamDataWrittenToMemoryStreamKey = "NSStreamDataWrittenToMemoryStreamKey";
const std::string NSStreamFileCurrentOffsetKey = "NSStreamFileCurrentOffsetKey";

NSStreamStatus NSStream::streamStatus() const {
    std::lock_guard guard(mutex_);
    return status_;
}

NSErrorPtr NSStream::streamError() const {
    std::lock_guard guard(mutex_);
    return error_;
}

Value NSStream::propertyForKey(const std::string&) const { return {}; }

bool NSStream::setPropertyForKey(const Value&, const std::string&) { return false; }

void NSStream::scheduleInRunLoop(const std::shared_ptr<NSRunLoop>&, const std::string&) {}

void NSStream::removeFromRunLoop(const std::shared_ptr<NSRunLoop>&, const std::string&) {}

void NSStream::setStatus(NSStreamStatus status) { status_ = status; }

void NSStream::fail(NSErrorPtr error) {
    error_ = std::move(error);
    status_ = NSStreamStatusError;
}

// MARK: - NSOutputStream

std::shared_ptr<NSOutputStream> NSOutputStream::outputStreamToMemory() { return std::make_shared<NSOutputStream>(); }

std::shared_ptr<NSOutputStream> NSOutputStream::outputStreamToFileAtPath(const std::string& path, bool append) {
    return std::make_shared<NSOutputStream>(path, append);
}

NSOutputStream::NSOutputStream(std::string path, bool append) : toFile_(true), path_(std::move(path)), append_(append) {}

NSOutputStream::~NSOutputStream() {
    if (fd_ >= 0) ::close(fd_);
}

void NSOutputStream::open() {
    std::lock_guard guard(mutex_);
    if (status_ != NSStreamStatusNotOpen) return;
    if (!toFile_) {
        memory_ = NSData::data();
        setStatus(NSStreamStatusOpen);
        return;
    }
    fd_ = DeviceRoot::open(path_, O_WRONLY | O_CREAT | (append_ ? O_APPEND : O_TRUNC), 0644).release();
    if (fd_ < 0) {
        fail(NSError::posixError(errno));
        return;
    }
    offset_ = append_ ? ::lseek(fd_, 0, SEEK_END) : 0;
    if (offset_ < 0) offset_ = 0;
    setStatus(NSStreamStatusOpen);
}

void NSOutputStream::close() {
    std::lock_guard guard(mutex_);
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (status_ != NSStreamStatusError) setStatus(NSStreamStatusClosed);
}

bool NSOutputStream::hasSpaceAvailable() const {
    std::lock_guard guard(mutex_);
    return status_ == NSStreamStatusOpen || status_ == NSStreamStatusWriting;
}

long NSOutputStream::write(const std::uint8_t* buffer, std::size_t length) {
    std::lock_guard guard(mutex_);
    if (status_ != NSStreamStatusOpen && status_ != NSStreamStatusWriting) return -1;
    if (!toFile_) {
        memory_->appendBytes(buffer, length);
        return static_cast<long>(length);
    }
    // In the page cache's pieces (see FileWrites.h); what was written before a failure counts.
    std::size_t n = NSWriteInPieces(fd_, buffer, length);
    offset_ += static_cast<long long>(n);
    if (n > 0 || length == 0) return static_cast<long>(n);
    fail(NSError::posixError(errno));
    return -1;
}

Value NSOutputStream::propertyForKey(const std::string& key) const {
    if (key == NSStreamDataWrittenToMemoryStreamKey) {
        auto data = dataWrittenToMemory();
        return data ? Value(data) : Value();
    }
    if (key == NSStreamFileCurrentOffsetKey) {
        long long offset = fileCurrentOffset();
        return offset >= 0 ? Value(offset) : Value();
    }
    return {};
}

bool NSOutputStream::setPropertyForKey(const Value& value, const std::string& key) {
    if (key != NSStreamFileCurrentOffsetKey || !value.isNumber()) return false;
    std::lock_guard guard(mutex_);
    auto offset = value.integerValue();
    if (offset < 0 || (status_ != NSStreamStatusOpen && status_ != NSStreamStatusWriting)) return false;
    if (!toFile_) {
        if (static_cast<std::size_t>(offset) > memory_->length()) return false;
        memory_->setLength(static_cast<std::size_t>(offset));
        return true;
    }
    if (::ftruncate(fd_, offset) != 0 || ::lseek(fd_, offset, SEEK_SET) < 0) {
        fail(NSError::posixError(errno));
        return false;
    }
    offset_ = offset;
    return true;
}

NSDataPtr NSOutputStream::dataWrittenToMemory() const {
    std::lock_guard guard(mutex_);
    if (toFile_) return nullptr;
    // A memory stream that was never opened has written nothing, which is still a (empty) buffer.
    if (!memory_) return NSData::data();
    // A closed stream's buffer never changes again: it is handed out itself, not copied.
    if (status_ == NSStreamStatusClosed) return memory_;
    return NSData::dataWithBytes(memory_->bytes(), memory_->length());
}

long long NSOutputStream::fileCurrentOffset() const {
    std::lock_guard guard(mutex_);
    return toFile_ && fd_ >= 0 ? offset_ : -1;
}

// MARK: - NSInputStream

std::shared_ptr<NSInputStream> NSInputStream::inputStreamWithData(const NSDataPtr& data) {
    return std::make_shared<NSInputStream>(data ? data : NSData::data());
}

std::shared_ptr<NSInputStream> NSInputStream::inputStreamWithFileAtPath(const std::string& path) {
    return std::make_shared<NSInputStream>(path);
}

std::shared_ptr<NSInputStream> NSInputStream::inputStreamWithURL(const NSURLPtr& url) {
    if (!url || !url->isFileURL()) return nullptr;
    return std::make_shared<NSInputStream>(url->path());
}

std::shared_ptr<NSInputStream> NSInputStream::copy() const {
    if (data_) return std::make_shared<NSInputStream>(data_);
    if (!path_.empty()) return std::make_shared<NSInputStream>(path_);
    return nullptr;
}

NSInputStream::NSInputStream(NSDataPtr data) : data_(std::move(data)) {}

NSInputStream::NSInputStream(std::string path) : path_(std::move(path)) {}

NSInputStream::~NSInputStream() {
    if (fd_ >= 0) ::close(fd_);
}

void NSInputStream::open() {
    std::lock_guard guard(mutex_);
    if (status_ != NSStreamStatusNotOpen) return;
    if (!data_) {
        NSRegularFile file = NSOpenRegularFile(path_);
        if (!file) {
            fail(NSError::posixError(file.errnum));
            return;
        }
        fd_ = file.fd.release();
    }
    setStatus(NSStreamStatusOpen);
}

void NSInputStream::close() {
    std::lock_guard guard(mutex_);
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (status_ != NSStreamStatusError) setStatus(NSStreamStatusClosed);
}

bool NSInputStream::hasBytesAvailable() const {
    std::lock_guard guard(mutex_);
    if (status_ != NSStreamStatusOpen && status_ != NSStreamStatusReading) return false;
    return data_ ? position_ < data_->length() : true;
}

long NSInputStream::read(std::uint8_t* buffer, std::size_t length) {
    std::lock_guard guard(mutex_);
    if (status_ == NSStreamStatusAtEnd) return 0;
    if (status_ != NSStreamStatusOpen && status_ != NSStreamStatusReading) return -1;
    if (data_) {
        std::size_t n = std::min(length, data_->length() - position_);
        if (n > 0) std::memcpy(buffer, data_->bytes() + position_, n);
        position_ += n;
        if (n == 0) setStatus(NSStreamStatusAtEnd);
        return static_cast<long>(n);
    }
    for (;;) {
        ssize_t n = ::read(fd_, buffer, length);
        if (n > 0) return static_cast<long>(n);
        if (n == 0) {
            setStatus(NSStreamStatusAtEnd);
            return 0;
        }
        if (errno == EINTR) continue;
        fail(NSError::posixError(errno));
        return -1;
    }
}

Value NSInputStream::propertyForKey(const std::string& key) const {
    std::lock_guard guard(mutex_);
    if (key == NSStreamFileCurrentOffsetKey) {
        if (data_) return Value(static_cast<long long>(position_));
        if (fd_ >= 0) return Value(static_cast<long long>(::lseek(fd_, 0, SEEK_CUR)));
    }
    return {};
}

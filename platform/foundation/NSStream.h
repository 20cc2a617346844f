#pragma once
// Streams over memory and device files. Writes and reads are synchronous (a file or a buffer is
// always ready), so scheduling a stream in a run loop only records the wish: there are no
// stream events to deliver.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class NSRunLoop;

enum NSStreamStatus : unsigned long {
    NSStreamStatusNotOpen = 0,
    NSStreamStatusOpening = 1,
    NSStreamStatusOpen = 2,
    NSStreamStatusReading = 3,
    NSStreamStatusWriting = 4,
    NSStreamStatusAtEnd = 5,
    NSStreamStatusClosed = 6,
    NSStreamStatusError = 7,
};

// Property keys.
extern const std::string NSStreamDataWrittenToMemoryStreamKey;
extern const std::string NSStreamFileCurrentOffsetKey;

class NSStream : public NSObject {
public:
    virtual void open() = 0;
    virtual void close() = 0;
    NSStreamStatus streamStatus() const;
    NSErrorPtr streamError() const;

    // The property under a key, or null (NSStreamDataWrittenToMemoryStreamKey: the bytes of a
    // memory stream as data; NSStreamFileCurrentOffsetKey: the offset of a file stream).
    virtual Value propertyForKey(const std::string& key) const;
    // False when the stream does not take the property.
    virtual bool setPropertyForKey(const Value& value, const std::string& key);

    void scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const std::string& mode);
    void removeFromRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const std::string& mode);

protected:
    void setStatus(NSStreamStatus status);
    void fail(NSErrorPtr error);

    mutable std::mutex mutex_;
    NSStreamStatus status_ = NSStreamStatusNotOpen;
    NSErrorPtr error_;
};

class NSOutputStream : public NSStream {
public:
    // Into memory; the bytes are the NSStreamDataWrittenToMemoryStreamKey property.
    static std::shared_ptr<NSOutputStream> outputStreamToMemory();
    // Into a device file, created when missing; with append NO it is emptied when opened.
    static std::shared_ptr<NSOutputStream> outputStreamToFileAtPath(const std::string& path, bool append);

    NSOutputStream() = default;  // in memory
    NSOutputStream(std::string path, bool append);
    ~NSOutputStream() override;

    void open() override;
    void close() override;
    bool hasSpaceAvailable() const;
    // The count of bytes written (maybe fewer than asked), or -1 on error (streamError tells why).
    long write(const std::uint8_t* buffer, std::size_t length);
    Value propertyForKey(const std::string& key) const override;
    // NSStreamFileCurrentOffsetKey moves an open stream back to an offset, and what was written
    // after it is discarded: a file is cut there, so that rewriting starts from a clean end.
    bool setPropertyForKey(const Value& value, const std::string& key) override;

    // The bytes written so far to a memory stream (once it is closed, its buffer itself); nil for a
    // file stream.
    NSDataPtr dataWrittenToMemory() const;
    // The current offset of an open file stream; -1 for other streams.
    long long fileCurrentOffset() const;

private:
    bool toFile_ = false;
    std::string path_;
    bool append_ = false;
    int fd_ = -1;
    long long offset_ = 0;
    NSDataPtr memory_;
};

class NSInputStream : public NSStream {
public:
    static std::shared_ptr<NSInputStream> inputStreamWithData(const NSDataPtr& data);
    static std::shared_ptr<NSInputStream> inputStreamWithFileAtPath(const std::string& path);
    // Over the file of a file URL; nil for any other URL.
    static std::shared_ptr<NSInputStream> inputStreamWithURL(const NSURLPtr& url);

    explicit NSInputStream(NSDataPtr data);
    explicit NSInputStream(std::string path);
    ~NSInputStream() override;

    void open() override;
    void close() override;
    // Subclasses that make their own bytes override these two (and open and close).
    virtual bool hasBytesAvailable() const;
    // The count of bytes read, 0 at the end, -1 on error.
    virtual long read(std::uint8_t* buffer, std::size_t length);
    Value propertyForKey(const std::string& key) const override;
    // A new, unopened stream over the same bytes from their start (to send a body again); nil
    // when the bytes cannot be had again.
    virtual std::shared_ptr<NSInputStream> copy() const;

protected:
    // For subclasses that make their own bytes.
    NSInputStream() = default;

private:
    NSDataPtr data_;
    std::size_t position_ = 0;
    std::string path_;
    int fd_ = -1;
};

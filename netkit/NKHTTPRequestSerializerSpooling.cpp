// Spooling a streamed request body into a file, for uploads that must know their body first.
#include "netkit/NKHTTPRequestSerializer.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSStream.h"

#include <cerrno>

namespace {
constexpr std::size_t kSpoolBufferSize = 1024;

NSErrorPtr errorOf(const NSStream& stream, int fallback) {
    NSErrorPtr error = stream.streamError();
    return error ? error : NSError::posixError(fallback);
}

// Every byte, a short write continuing where it stopped; the first stream error ends the copy.
NSErrorPtr writeAll(NSOutputStream& output, const std::uint8_t* bytes, std::size_t length) {
    std::size_t offset = 0;
    while (offset < length) {
        long written = output.write(bytes + offset, length - offset);
        if (written < 0) return errorOf(output, EIO);
        // A stream that takes nothing would never finish.
        if (written == 0) return errorOf(output, ENOSPC);
        offset += static_cast<std::size_t>(written);
    }
    return nullptr;
}

NSErrorPtr copyStream(NSInputStream& input, NSOutputStream& output) {
    auto runLoop = NSRunLoop::currentRunLoop();
    input.scheduleInRunLoop(runLoop, NSDefaultRunLoopMode);
    output.scheduleInRunLoop(runLoop, NSDefaultRunLoopMode);
    input.open();
    output.open();
    NSErrorPtr error;
    if (input.streamStatus() == NSStreamStatusError) error = errorOf(input, EIO);
    if (!error && output.streamStatus() == NSStreamStatusError) error = errorOf(output, EIO);
    std::uint8_t buffer[kSpoolBufferSize];
    while (!error) {
        long count = input.read(buffer, sizeof buffer);
        if (count < 0) {
            error = errorOf(input, EIO);
            break;
        }
        if (count == 0) break;
        error = writeAll(output, buffer, static_cast<std::size_t>(count));
    }
    output.close();
    input.close();
    return error;
}
} // namespace

NSURLRequestPtr NKHTTPRequestSerializer::requestWithMultipartFormRequestWritingStreamContentsToFile(
    const NSURLRequestPtr& request, const NSURLPtr& fileURL, std::function<void(const NSErrorPtr&)> handler) {
    if (!request) return nullptr;
    auto copy = request->mutableCopy();
    std::shared_ptr<NSInputStream> input = request->HTTPBodyStream();
    if (!input) return copy;
    // A URL that names no file gives an output that fails to open, and the handler that error.
    std::string path = fileURL && fileURL->isFileURL() ? fileURL->path() : std::string();
    auto output = NSOutputStream::outputStreamToFileAtPath(path, false);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [input, output, handler] {
        NSErrorPtr error = copyStream(*input, *output);
        if (handler) dispatch_async(dispatch_get_main_queue(), [handler, error] { handler(error); });
    });
    copy->setHTTPBodyStream(nullptr);
    return copy;
}

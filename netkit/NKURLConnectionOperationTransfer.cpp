// The operation's transfer on the network thread: the connection's callbacks, the body written
// into the output stream, and the progress reported on the main queue.
#include "netkit/NKURLConnectionOperation.h"

#include "netkit/NKURLResponseSerialization.h"
#include "platform/net/NSURLError.h"

#include <thread>

namespace {

// A stream that keeps reporting no space and no error gets this long before the chunk fails.
constexpr int kMaximumStreamSpaceWaits = 1 << 20;

} // namespace

void NKURLConnectionOperation::resetTotalBytesReadOnMainQueue() { queueProgress({true, 0, 0}); }

void NKURLConnectionOperation::connectionWillSendRequestForAuthenticationChallenge(const NSURLConnectionPtr& connection,
                                                                                   const NSURLAuthenticationChallengePtr& challenge) {
    AuthenticationChallengeBlock block = lockedRead(&NKURLConnectionOperation::authenticationChallenge_);
    if (block) {
        block(connection, challenge);
        return;
    }
    auto sender = challenge->sender();
    if (!sender) return;
    const auto& space = challenge->protectionSpace();
    if (space->authenticationMethod() == NSURLAuthenticationMethodServerTrust) {
        if (securityPolicy_ && securityPolicy_->evaluateServerTrustForDomain(space->serverTrust(), space->host())) {
            sender->useCredentialForAuthenticationChallenge(NSURLCredential::credentialForTrust(space->serverTrust()), challenge);
        } else {
            sender->cancelAuthenticationChallenge(challenge);
        }
        return;
    }
    if (challenge->previousFailureCount() != 0) {
        sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
    } else if (credential_) {
        sender->useCredentialForAuthenticationChallenge(credential_, challenge);
    } else {
        sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
    }
}

bool NKURLConnectionOperation::connectionShouldUseCredentialStorage(const NSURLConnectionPtr&) { return shouldUseCredentialStorage_; }

NSURLRequestPtr NKURLConnectionOperation::connectionWillSendRequestRedirectResponse(const NSURLConnectionPtr& connection,
                                                                                    const NSURLRequestPtr& request,
                                                                                    const NSURLResponsePtr& redirectResponse) {
    RedirectResponseBlock block = lockedRead(&NKURLConnectionOperation::redirectResponse_);
    return block ? block(connection, request, redirectResponse) : request;
}

void NKURLConnectionOperation::connectionDidSendBodyData(const NSURLConnectionPtr& connection, long long bytesWritten, long long totalBytesWritten,
                                                         long long totalBytesExpectedToWrite) {
    if (isStale(connection)) return;
    bool hasBlock;
    {
        MutexLock guard(*lock_);
        hasBlock = static_cast<bool>(uploadProgress_);
    }
    if (!hasBlock) return;
    auto self = this->self<NKURLConnectionOperation>();
    dispatch_async(dispatch_get_main_queue(), [self, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite] {
        UploadProgressBlock block = self->lockedRead(&NKURLConnectionOperation::uploadProgress_);
        if (block) block(bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    });
}

void NKURLConnectionOperation::connectionDidReceiveResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response) {
    if (isStale(connection)) return;
    // A partial answer counts only as the range the request asked for; any other is refused before
    // the stream is opened, so that nothing of it reaches the stream.
    NSURLRequestPtr sent = connection && connection->currentRequest() ? connection->currentRequest() : request();
    if (sent && response) {
        if (std::string refusal = partialContent_.judgeHead(*sent, *response); !refusal.empty()) {
            failWithBadServerResponse(connection, response, refusal);
            return;
        }
    }
    {
        MutexLock guard(*lock_);
        response_ = response;
    }
    auto stream = outputStream();
    bool wasOpen = stream->streamStatus() != NSStreamStatusNotOpen;
    stream->open();
    if (!streamOffsetKnown_) {
        // What the stream held before this download: an appending file's length, or what the
        // caller wrote into a memory stream it opened itself.
        long long fileOffset = stream->fileCurrentOffset();
        NSDataPtr written = fileOffset < 0 && wasOpen ? stream->dataWrittenToMemory() : nullptr;
        streamOffset_ = fileOffset >= 0 ? fileOffset : written ? static_cast<long long>(written->length()) : 0;
        streamOffsetKnown_ = true;
    }
}

void NKURLConnectionOperation::connectionDidReceiveData(const NSURLConnectionPtr& connection, const NSDataPtr& data) {
    // The stream is written without the operation's lock, so that a pause (or anything else on
    // the main thread) never waits for a slow stream. A pause that lands during the write takes
    // the offset without this chunk; the chunk's bytes are then cut off the stream on the network
    // thread before anything else is written to it (operationDidPause).
    std::shared_ptr<NSOutputStream> stream;
    {
        MutexLock guard(*lock_);
        if (isStale(connection) || bodyDiscarded_) return;
        stream = outputStream();
    }
    std::size_t length = data->length();
    if (std::string refusal = partialContent_.judgeBody(static_cast<long long>(length)); !refusal.empty()) {
        failWithBadServerResponse(connection, response(), refusal);
        return;
    }
    for (int waits = 0; !stream->hasSpaceAvailable(); ++waits) {
        NSErrorPtr streamError = stream->streamError();
        if (!streamError && waits >= kMaximumStreamSpaceWaits) {
            streamError = NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorCannotWriteToFile);
        }
        if (streamError) {
            if (isStale(connection)) return;
            connection->cancel();
            failWithError(streamError);
            return;
        }
        std::this_thread::yield();
        if (isStale(connection)) return;
    }
    std::size_t written = 0;
    int emptyWrites = 0;
    while (written < length) {
        long n = stream->write(data->bytes() + written, length - written);
        if (n < 0) break;
        // A stream that keeps accepting nothing does not hold the network thread for ever.
        if (n == 0 && ++emptyWrites > kMaximumStreamSpaceWaits) break;
        written += static_cast<std::size_t>(n);
    }
    {
        MutexLock guard(*lock_);
        if (isStale(connection)) {
            strayBytes_ = written > 0;
            return;
        }
        streamOffset_ += static_cast<long long>(written);
    }
    long long expected = response() ? response()->expectedContentLength() : NSURLResponseUnknownLength;
    queueProgress({false, length, expected});
}

void NKURLConnectionOperation::discardBodyOfResponse(const NSURLConnectionPtr& connection) {
    MutexLock guard(*lock_);
    if (!isStale(connection)) bodyDiscarded_ = true;
}

void NKURLConnectionOperation::restartStreamAt(long long offset) {
    MutexLock guard(*lock_);
    outputStream()->setPropertyForKey(Value(offset), NSStreamFileCurrentOffsetKey);
    streamOffset_ = offset;
}

void NKURLConnectionOperation::queueProgress(const PendingProgress& entry) {
    // Progress reaches the main queue in order, one call per chunk. While a delivery is queued
    // and has not started, later chunks join it instead of queueing (and waking the main thread)
    // once each: a fast transfer would otherwise spend its time waking the main thread.
    bool schedule;
    {
        MutexLock guard(progressMutex_);
        pendingProgress_.push_back(entry);
        schedule = !progressScheduled_;
        progressScheduled_ = true;
    }
    if (!schedule) return;
    auto self = this->self<NKURLConnectionOperation>();
    dispatch_async(dispatch_get_main_queue(), [self] { self->deliverProgress(); });
}

void NKURLConnectionOperation::deliverProgress() {
    std::vector<PendingProgress> entries;
    {
        MutexLock guard(progressMutex_);
        entries.swap(pendingProgress_);
        progressScheduled_ = false;
    }
    for (const PendingProgress& entry : entries) {
        if (entry.reset) {
            totalBytesRead_ = 0;
            continue;
        }
        long long total = totalBytesRead_ += static_cast<long long>(entry.length);
        DownloadProgressBlock block = lockedRead(&NKURLConnectionOperation::downloadProgress_);
        if (block) block(entry.length, total, entry.expected);
    }
}

void NKURLConnectionOperation::connectionDidFinishLoading(const NSURLConnectionPtr& connection) {
    // A partial answer that ended before its range did is a piece, not the part asked for.
    const std::string shortPart = partialContent_.judgeEnd();
    {
        // Checked and cleaned up under the lock, so a pause cannot land in between: once the
        // clean-up starts, the operation is finishing and a pause leaves it alone.
        MutexLock guard(*lock_);
        if (isStale(connection)) return;
        auto stream = outputStream();
        // A write that failed on the last chunk has no next chunk to report it: the body is not
        // complete, so the operation fails with the stream's error instead of finishing as a success.
        NSErrorPtr streamError = stream->streamError();
        // Closed first: a closed memory stream hands over its buffer itself instead of a copy.
        stream->close();
        if (streamError) {
            error_ = streamError;
        } else if (!shortPart.empty()) {
            error_ = NKBadServerResponseError(response_, request_, shortPart);
        } else {
            responseData_ = stream->dataWrittenToMemory();
        }
        outputStream_.reset();
        connection_.reset();
        finishing_ = true;
    }
    finish();
}

void NKURLConnectionOperation::connectionDidFailWithError(const NSURLConnectionPtr& connection, const NSErrorPtr& error) {
    {
        MutexLock guard(*lock_);
        if (isStale(connection)) return;
        finishing_ = true;
    }
    failWithError(error);
}

bool NKURLConnectionOperation::isStale(const NSURLConnectionPtr& connection) const {
    MutexLock guard(*lock_);
    return connection != connection_ || connectionAbandoned_;
}

void NKURLConnectionOperation::failWithBadServerResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response,
                                                         const std::string& description) {
    if (isStale(connection)) return;
    if (connection) connection->cancel();
    {
        // The refused answer stays the operation's response, for whoever asks what went wrong.
        MutexLock guard(*lock_);
        if (response) response_ = response;
    }
    failWithError(NKBadServerResponseError(response, request(), description));
}

void NKURLConnectionOperation::failWithError(const NSErrorPtr& error) {
    {
        MutexLock guard(*lock_);
        error_ = error;
        if (outputStream_) outputStream_->close();
        outputStream_.reset();
        connection_.reset();
    }
    finish();
}

NSCachedURLResponsePtr NKURLConnectionOperation::connectionWillCacheResponse(const NSURLConnectionPtr& connection,
                                                                             const NSCachedURLResponsePtr& cachedResponse) {
    CacheResponseBlock block = lockedRead(&NKURLConnectionOperation::cacheResponse_);
    if (block) return block(connection, cachedResponse);
    return isCancelled() ? nullptr : cachedResponse;
}

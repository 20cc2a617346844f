#pragma once
// One HTTP(S) request performed as an operation: its connection runs on the shared network
// thread "NetKit", its body streams into an output stream as it arrives, progress and completion
// are reported on the main queue (or the completion queue). The operation keeps itself alive
// while its work runs: the work queued on the network thread, the connection (which holds its
// delegate until it ends) and the blocks queued on the main queue each hold it.

#include "platform/uikit/UIApplication.h"
#include "netkit/NKSecurityPolicy.h"
#include "platform/dispatch/NSOperation.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSLock.h"
#include "platform/foundation/NSStream.h"
#include "platform/foundation/NSStringEncoding.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/ThreadSafety.h"
#include "platform/foundation/Value.h"
#include "platform/net/NSHTTPPartialContent.h"
#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLResponse.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

using NKConnectionOperationState = long long;
enum : NKConnectionOperationState {
    NKOperationPausedState = -1,
    NKOperationReadyState = 1,
    NKOperationExecutingState = 2,
    NKOperationFinishedState = 3,
};

extern const std::string NKNetworkingOperationDidStartNotification;   // "com.netkit.networking.operation.start"
extern const std::string NKNetworkingOperationDidFinishNotification;  // "com.netkit.networking.operation.finish"

class NKURLConnectionOperation;
using NKURLConnectionOperationPtr = std::shared_ptr<NKURLConnectionOperation>;

class NKURLConnectionOperation : public NSOperation, public NSURLConnectionDataDelegate, public NSCoding {
public:
    using UploadProgressBlock = std::function<void(long long bytesWritten, long long totalBytesWritten, long long totalBytesExpectedToWrite)>;
    using DownloadProgressBlock = std::function<void(std::uint64_t bytesRead, long long totalBytesRead, long long totalBytesExpectedToRead)>;
    using AuthenticationChallengeBlock = std::function<void(const NSURLConnectionPtr&, const NSURLAuthenticationChallengePtr&)>;
    using CacheResponseBlock = std::function<NSCachedURLResponsePtr(const NSURLConnectionPtr&, const NSCachedURLResponsePtr&)>;
    using RedirectResponseBlock =
        std::function<NSURLRequestPtr(const NSURLConnectionPtr&, const NSURLRequestPtr&, const NSURLResponsePtr&)>;

    // initWithRequest: — ready, with the default security policy. Use initWithRequest() to make one.
    explicit NKURLConnectionOperation(NSURLRequestPtr request);
    ~NKURLConnectionOperation() override;
    // Nil for a nil request.
    static NKURLConnectionOperationPtr initWithRequest(const NSURLRequestPtr& request);

    // The network thread, started on first use, and its run loop.
    static std::shared_ptr<NSThread> networkRequestThread();
    static std::shared_ptr<NSRunLoop> networkRequestRunLoop();

    // NSOperation.
    void start() override;
    void cancel() override;
    bool isConcurrent() const override { return true; }
    bool isReady() const override;
    bool isExecuting() const override { return state_ == NKOperationExecutingState; }
    bool isFinished() const override { return state_ == NKOperationFinishedState; }
    bool isPaused() const { return state_ == NKOperationPausedState; }
    // Runs on the completion queue (main queue when none) in the completion group, whatever the outcome.
    void setCompletionBlock(std::function<void()> block) override;

    virtual void pause();
    void resume();

    // Properties.
    const std::set<std::string>& runLoopModes() const { return runLoopModes_; }
    void setRunLoopModes(std::set<std::string> modes) { runLoopModes_ = std::move(modes); }
    NSURLRequestPtr request() const;
    void setRequest(NSURLRequestPtr request);
    NSURLResponsePtr response() const;
    virtual NSErrorPtr error() const;
    NSDataPtr responseData() const;
    void setResponseData(const NSDataPtr& data);
    std::optional<std::string> responseString();
    NSStringEncoding responseStringEncoding();
    bool shouldUseCredentialStorage() const { return shouldUseCredentialStorage_; }
    void setShouldUseCredentialStorage(bool use) { shouldUseCredentialStorage_ = use; }
    const NSURLCredentialPtr& credential() const { return credential_; }
    void setCredential(NSURLCredentialPtr credential) { credential_ = std::move(credential); }
    const std::shared_ptr<NKSecurityPolicy>& securityPolicy() const { return securityPolicy_; }
    void setSecurityPolicy(std::shared_ptr<NKSecurityPolicy> policy) { securityPolicy_ = std::move(policy); }
    std::shared_ptr<NSInputStream> inputStream() const;
    void setInputStream(const std::shared_ptr<NSInputStream>& stream);
    // Made on demand as a memory stream.
    std::shared_ptr<NSOutputStream> outputStream();
    void setOutputStream(const std::shared_ptr<NSOutputStream>& stream);
    dispatch_queue_t completionQueue() const;
    void setCompletionQueue(dispatch_queue_t queue);
    dispatch_group_t completionGroup() const;
    void setCompletionGroup(dispatch_group_t group);
    const Value& userInfo() const { return userInfo_; }
    void setUserInfo(Value userInfo) { userInfo_ = std::move(userInfo); }
    NKConnectionOperationState state() const { return state_; }
    NSRecursiveLock& lock() { return *lock_; }
    NSURLConnectionPtr connection() const;
    // Advanced on the main queue only.
    long long totalBytesRead() const { return totalBytesRead_; }

    // Asks the application to let the operation finish in the background. When the system's time
    // runs out, the handler (may be empty) is called and the operation is cancelled. The task ends
    // on expiry or when the operation goes, not when it finishes. Only the first call begins one.
    void setShouldExecuteAsBackgroundTaskWithExpirationHandler(std::function<void()> handler);
    UIBackgroundTaskIdentifier backgroundTaskIdentifier() const;

    void setUploadProgressBlock(UploadProgressBlock block);
    void setDownloadProgressBlock(DownloadProgressBlock block);
    void setWillSendRequestForAuthenticationChallengeBlock(AuthenticationChallengeBlock block);
    void setCacheResponseBlock(CacheResponseBlock block);
    void setRedirectResponseBlock(RedirectResponseBlock block);

    // Pauses the operation first (so an executing one stops), then archives its request, state,
    // response, error, body and count. The error keeps its domain, code and the text and number
    // entries of its user info.
    void encodeWithCoder(NSCoder& coder) const override;
    // initWithCoder: — always ready: the archived state is applied as a move from ready.
    static NKURLConnectionOperationPtr initWithCoder(const NSCoder& coder);

    // A copy of the request with the same blocks, completion queue and group (ready, no results).
    virtual NKURLConnectionOperationPtr copy() const;

    // The operations, plus one that runs after all of them and calls the completion block with
    // the list; the progress block gets (finished count, total count) as each one completes.
    static std::vector<NSOperationPtr> batchOfRequestOperations(
        const std::vector<NKURLConnectionOperationPtr>& operations,
        std::function<void(std::size_t numberOfFinishedOperations, std::size_t totalNumberOfOperations)> progressBlock,
        std::function<void(const std::vector<NKURLConnectionOperationPtr>& operations)> completionBlock);

    std::string description() const override;

    // The state machine and the network-thread work.
    void setState(NKConnectionOperationState state);
    void finish();
    void operationDidStart();
    void operationDidPause();
    void cancelConnection();

    // NSURLConnectionDataDelegate.
    void connectionWillSendRequestForAuthenticationChallenge(const NSURLConnectionPtr& connection,
                                                             const NSURLAuthenticationChallengePtr& challenge) override;
    bool connectionShouldUseCredentialStorage(const NSURLConnectionPtr& connection) override;
    NSURLRequestPtr connectionWillSendRequestRedirectResponse(const NSURLConnectionPtr& connection, const NSURLRequestPtr& request,
                                                              const NSURLResponsePtr& redirectResponse) override;
    void connectionDidSendBodyData(const NSURLConnectionPtr& connection, long long bytesWritten, long long totalBytesWritten,
                                   long long totalBytesExpectedToWrite) override;
    void connectionDidReceiveResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response) override;
    void connectionDidReceiveData(const NSURLConnectionPtr& connection, const NSDataPtr& data) override;
    void connectionDidFinishLoading(const NSURLConnectionPtr& connection) override;
    void connectionDidFailWithError(const NSURLConnectionPtr& connection, const NSErrorPtr& error) override;
    NSCachedURLResponsePtr connectionWillCacheResponse(const NSURLConnectionPtr& connection,
                                                       const NSCachedURLResponsePtr& cachedResponse) override;

    // The key path standing for a state ("isReady", ...; "state" for none).
    static std::string keyPathFromOperationState(NKConnectionOperationState state);

protected:
    // A new, ready operation of the receiver's class for the request (what copy() starts from).
    virtual NKURLConnectionOperationPtr makeWithRequest(const NSURLRequestPtr& request) const;
    // Queues work on the network thread, holding the operation.
    void performOnNetworkThread(void (NKURLConnectionOperation::*work)());
    void resetTotalBytesReadOnMainQueue();
    // A connection that is not the operation's current one, or that a pause gave up.
    bool isStale(const NSURLConnectionPtr& connection) const;
    // What the output stream holds for this download: what it held before plus every chunk written.
    long long streamOffset() const { return streamOffset_; }
    // The body of the connection's current response is not the download's (it is dropped).
    void discardBodyOfResponse(const NSURLConnectionPtr& connection);
    // Cuts the output stream back to an offset; the download continues from there.
    void restartStreamAt(long long offset);
    // The archived state, response, error, body and count, applied to a new operation.
    void decodeRestFrom(const NSCoder& coder);
    // Stores the error, closes and releases the stream and the connection, finishes.
    void failWithError(const NSErrorPtr& error);
    // Cancels the connection and fails with the library's error for an answer that is not the one
    // asked for.
    void failWithBadServerResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response, const std::string& description);

    // The plain properties' accessors: a field read (copied) or replaced under the lock.
    template <class Field>
    Field lockedRead(Field NKURLConnectionOperation::*field) const {
        MutexLock guard(*lock_);
        return this->*field;
    }
    template <class Field, class Given>
    void lockedWrite(Field NKURLConnectionOperation::*field, Given&& given) {
        MutexLock guard(*lock_);
        this->*field = std::forward<Given>(given);
    }

    // The operation's lock, which its subclasses' state shares. Recursive: the state machine's
    // steps call each other with it held.
    std::shared_ptr<NSRecursiveLock> lock_;
    UIBackgroundTaskIdentifier backgroundTaskIdentifier_ TD_GUARDED_BY(*lock_) = UIBackgroundTaskInvalid;

private:
    struct PendingProgress {
        bool reset;  // the count starts again (a resumed download that got the whole body)
        std::size_t length;
        long long expected;
    };
    void queueProgress(const PendingProgress& entry);
    void deliverProgress();
    static void postNotification(const std::string& name, const std::shared_ptr<NKURLConnectionOperation>& operation);

    std::set<std::string> runLoopModes_;
    NSURLRequestPtr request_ TD_GUARDED_BY(*lock_);
    NSURLResponsePtr response_ TD_GUARDED_BY(*lock_);
    NSErrorPtr error_ TD_GUARDED_BY(*lock_);
    NSDataPtr responseData_ TD_GUARDED_BY(*lock_);
    std::optional<std::string> responseString_ TD_GUARDED_BY(*lock_);
    NSStringEncoding responseStringEncoding_ TD_GUARDED_BY(*lock_) = 0;
    bool shouldUseCredentialStorage_ = true;
    NSURLCredentialPtr credential_;
    std::shared_ptr<NKSecurityPolicy> securityPolicy_;
    std::shared_ptr<NSOutputStream> outputStream_ TD_GUARDED_BY(*lock_);
    dispatch_queue_t completionQueue_ TD_GUARDED_BY(*lock_);
    dispatch_group_t completionGroup_ TD_GUARDED_BY(*lock_);
    Value userInfo_;
    std::atomic<NKConnectionOperationState> state_{NKOperationReadyState};
    NSURLConnectionPtr connection_ TD_GUARDED_BY(*lock_);
    bool connectionAbandoned_ TD_GUARDED_BY(*lock_) = false;
    // Set under the lock when the transfer ended and finish is on its way.
    bool finishing_ TD_GUARDED_BY(*lock_) = false;
    std::atomic<long long> totalBytesRead_{0};
    std::atomic<long long> streamOffset_{0};
    bool streamOffsetKnown_ = false;  // network thread only
    // Whether the current connection's answer is the part its request asked for (network thread only).
    NSHTTPPartialContent partialContent_;
    // A chunk was written after a pause took the offset; it is cut off on the network thread.
    bool strayBytes_ TD_GUARDED_BY(*lock_) = false;
    bool bodyDiscarded_ TD_GUARDED_BY(*lock_) = false;
    Mutex progressMutex_;
    std::vector<PendingProgress> pendingProgress_ TD_GUARDED_BY(progressMutex_);
    bool progressScheduled_ TD_GUARDED_BY(progressMutex_) = false;

    UploadProgressBlock uploadProgress_ TD_GUARDED_BY(*lock_);
    DownloadProgressBlock downloadProgress_ TD_GUARDED_BY(*lock_);
    AuthenticationChallengeBlock authenticationChallenge_ TD_GUARDED_BY(*lock_);
    CacheResponseBlock cacheResponse_ TD_GUARDED_BY(*lock_);
    RedirectResponseBlock redirectResponse_ TD_GUARDED_BY(*lock_);
};

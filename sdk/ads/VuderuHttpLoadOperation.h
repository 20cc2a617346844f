#pragma once
// Downloads an asset URL into its save path. The worker thread that the queue starts it on stays
// in its own run loop for the whole download (a port keeps it there), with the connection
// scheduled in that loop, and leaves it when the port is removed. A connection error starts the
// load over, up to MaxNumRetriesPerOperation times.
//
// Where the outcome is delivered:
//   finished (a body of at least 100 bytes)      directly, on the worker thread
//   failed after the last connection error       directly, on the worker thread
//   failed by status, size or the file's write   on the main thread, without waiting
//   cancelled                                    nothing (cancel cleared the delegate)
// A body, or an announced length, past maxAssetSize fails the load and its file goes: the URL
// is the server's to name, the disk is not.

#include "platform/foundation/NSFileHandle.h"
#include "platform/foundation/NSPort.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/net/NSHTTPPartialContent.h"
#include "platform/net/NSURLConnection.h"
#include "sdk/ads/VuderuLoadOperation.h"

#include <cstdint>

extern const int MaxNumRetriesPerOperation;

class VuderuHttpLoadOperation : public VuderuLoadOperation, public NSURLConnectionDataDelegate {
public:
    static constexpr double kRequestTimeoutSeconds = 60;
    static constexpr std::uint64_t kMinimumAssetBytes = 100;

    // initWithAssetName:withUrlString:withExpiryTime:withTags:delegate:withSavePath:withCBKey:
    VuderuHttpLoadOperation(std::string assetName, const std::string& urlString, double expiryTime, Value::Dictionary tags,
                            std::weak_ptr<VuderuContentLoadOperationDelegate> delegate, std::optional<std::string> savePath,
                            std::string cbKey);

    int numRetries() const { return numRetries_; }
    bool failed() const { return failed_; }
    const std::string& cbKey() const { return cbKey_; }
    // The worker's run loop while the load runs; nil otherwise.
    std::shared_ptr<NSRunLoop> runLoop() const;
    // Bytes; 0 or less: no limit.
    std::int64_t maxAssetSize() const { return maxAssetSize_; }
    void setMaxAssetSize(std::int64_t bytes) { maxAssetSize_ = bytes; }

    // The connection's delegate (worker thread).
    void connectionDidReceiveResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response) override;
    void connectionDidReceiveData(const NSURLConnectionPtr& connection, const NSDataPtr& data) override;
    void connectionDidFinishLoading(const NSURLConnectionPtr& connection) override;
    void connectionDidFailWithError(const NSURLConnectionPtr& connection, const NSErrorPtr& error) override;

protected:
    void executeLoading() override;
    void didCancelWhileExecuting() override;

private:
    // One attempt: file, connection, port, and the run loop until the port goes.
    void loadOnce();
    void openFile();
    void closeFile();
    void deleteFile();
    // Leaves the run loop: the port goes and runLoop is cleared.
    void leaveRunLoop();
    // A cancelled load: the connection stops, its file goes, nothing is reported.
    void abandonCancelled();
    // A failure found while the body arrives (status, size, write): reported on the main thread.
    void failWhileLoading(const NSErrorPtr& error);
    NSErrorPtr tooLargeError() const;
    // An answer that is not the asset asked for (a part of it, say), with the reason.
    NSErrorPtr badAnswerError(const std::string& refusal) const;

    int numRetries_ = 0;
    bool failed_ = false;
    bool retry_ = false;
    std::string cbKey_;
    std::int64_t maxAssetSize_ = 0;
    std::uint64_t bytesReceived_ = 0;
    // An asset is whole only from a whole answer, or from exactly the range its request asked for.
    NSHTTPPartialContent partialContent_;
    std::shared_ptr<NSPort> port_;
    std::shared_ptr<NSFileHandle> fileHandle_;
    NSURLConnectionPtr connection_;
    mutable std::mutex loopMutex_;
    std::shared_ptr<NSRunLoop> runLoop_;
};

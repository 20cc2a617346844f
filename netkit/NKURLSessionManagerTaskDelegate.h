#pragma once
// The per-task state of a URL session manager: gathers a data task's body, keeps the task's
// upload and download progress, moves a finished download to its destination, and at completion
// has the manager's response serializer make the response object, calls the caller's handler and
// posts "com.netkit.networking.task.complete".
//
// A download whose move fails completes with the move's error (handler and error key); a
// download without a destination of its own is not moved onto itself.

#include "netkit/NKURLResponseSerialization.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSProgress.h"
#include "platform/net/NSURLSession.h"
#include "platform/foundation/ThreadSafety.h"

#include <functional>
#include <memory>
#include <mutex>

class NKURLSessionManager;

extern const std::string NKNetworkingTaskDidCompleteNotification;                  // "com.netkit.networking.task.complete"
extern const std::string NKNetworkingTaskDidCompleteResponseSerializerKey;        // "…task.complete.responseserializer"
extern const std::string NKNetworkingTaskDidCompleteResponseDataKey;              // "com.netkit.networking.complete.finish.responsedata"
extern const std::string NKNetworkingTaskDidCompleteSerializedResponseKey;        // "…task.complete.serializedresponse"
extern const std::string NKNetworkingTaskDidCompleteAssetPathKey;                 // "…task.complete.assetpath"
extern const std::string NKNetworkingTaskDidCompleteErrorKey;                     // "…task.complete.error"
extern const std::string NKURLSessionDownloadTaskDidFailToMoveFileNotification;   // "…session.download.file-manager-error"

// The shared queue that serializes responses and the group completion handlers run in when the
// manager has none.
dispatch_queue_t url_session_manager_processing_queue();
dispatch_group_t url_session_manager_completion_group();

class NKURLSessionManagerTaskDelegate : public NSObject, public NSURLSessionDelegate {
public:
    using CompletionHandler = std::function<void(const NSURLResponsePtr& response, const Value& responseObject, const NSErrorPtr& error)>;
    using FinishDownloadingBlock =
        std::function<NSURLPtr(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task, const NSURLPtr& location)>;

    NKURLSessionManagerTaskDelegate();

    std::weak_ptr<NKURLSessionManager> manager;
    CompletionHandler completionHandler;
    FinishDownloadingBlock downloadTaskDidFinishDownloading;

    NSDataPtr mutableData() const;
    const NSProgressPtr& uploadProgress() const { return uploadProgress_; }
    void setUploadProgress(NSProgressPtr progress) { uploadProgress_ = std::move(progress); }
    const NSProgressPtr& downloadProgress() const { return downloadProgress_; }
    NSURLPtr downloadFileURL() const;

    void URLSessionTaskDidSendBodyData(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, long long bytesSent, long long totalBytesSent,
                                       long long totalBytesExpectedToSend) override;
    void URLSessionDataTaskDidReceiveData(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSDataPtr& data) override;
    void URLSessionDownloadTaskDidWriteData(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, long long bytesWritten,
                                            long long totalBytesWritten, long long totalBytesExpectedToWrite) override;
    void URLSessionDownloadTaskDidResumeAtOffset(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, long long fileOffset,
                                                 long long expectedTotalBytes) override;
    void URLSessionDownloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                                         const NSURLPtr& location) override;
    void URLSessionTaskDidCompleteWithError(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task, const NSErrorPtr& error) override;

private:
    mutable Mutex mutex_;
    NSDataPtr data_ TD_GUARDED_BY(mutex_);
    NSProgressPtr uploadProgress_;
    NSProgressPtr downloadProgress_;
    NSURLPtr downloadFileURL_ TD_GUARDED_BY(mutex_);
    NSErrorPtr moveError_ TD_GUARDED_BY(mutex_);
};

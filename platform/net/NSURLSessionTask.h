#pragma once
// The tasks of a URL session. A task starts suspended; resume() starts it (or lets a suspended
// transfer go on), suspend() holds its transfer where it is, cancel() ends it with
// NSURLErrorCancelled. `state` is observable ("state"): 0 running, 1 suspended, 2 canceling,
// 3 completed. The public calls may come from any thread; the transfer runs on the session's
// network thread.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"
#include "platform/net/NSHTTPPartialContent.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionDelegate.h"
#include "platform/net/URLTransfer.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

enum NSURLSessionTaskState : long {
    NSURLSessionTaskStateRunning = 0,
    NSURLSessionTaskStateSuspended = 1,
    NSURLSessionTaskStateCanceling = 2,
    NSURLSessionTaskStateCompleted = 3,
};

inline constexpr long long NSURLSessionTransferSizeUnknown = -1;

// The key of a failed download's error under which its resume data is, when it can resume.
extern const std::string NSURLSessionDownloadTaskResumeData;

class NSURLSessionTask : public NSObject, public NSKeyValueObserving, public URLTransferClient {
public:
    enum class Kind { Data, Upload, Download };
    // Where an upload's body comes from.
    enum class BodySource { None, Data, File, Stream };

    ~NSURLSessionTask() override;

    unsigned long taskIdentifier() const { return identifier_; }
    Kind kind() const { return kind_; }
    const NSURLRequestPtr& originalRequest() const { return originalRequest_; }
    NSURLRequestPtr currentRequest() const;
    NSURLResponsePtr response() const;
    NSErrorPtr error() const;
    NSURLSessionTaskState state() const;
    long long countOfBytesReceived() const;
    long long countOfBytesSent() const;
    long long countOfBytesExpectedToSend() const;
    long long countOfBytesExpectedToReceive() const;

    void resume();
    void suspend();
    void cancel();

    std::string description() const override;

protected:
    friend class NSURLSession;
    NSURLSessionTask(Kind kind, unsigned long identifier, const NSURLSessionPtr& session, NSURLRequestPtr request);

    NSURLSessionPtr session() const;
    NSURLSessionTaskPtr strongSelf() { return self<NSURLSessionTask>(); }
    // The one place the state changes (observers are told); false when the move is not allowed.
    bool moveState(NSURLSessionTaskState to);
    bool isCanceled() const;
    NSErrorPtr errorFor(long code, const std::string& description) const;

    // On the network thread.
    void startOnLoop();
    void beginTransfer(const NSURLRequestPtr& request);
    void finishOnLoop(const NSErrorPtr& error);
    void setPausedOnLoop(bool paused);
    bool transferShouldTrustServer(URLTransfer& transfer, const SecTrustRef& trust, long* refusal) override;
    HeadDisposition transferDidReceiveHead(URLTransfer& transfer, const std::shared_ptr<NSHTTPURLResponse>& response) override;
    bool transferDidReceiveData(URLTransfer& transfer, const NSDataPtr& data) override;
    bool transferDidSendBodyData(URLTransfer& transfer, long long totalSent, long long totalExpected) override;
    void transferDidComplete(URLTransfer& transfer, const URLTransferOutcome& outcome) override;
    HeadDisposition receiveDataHead(const std::shared_ptr<NSHTTPURLResponse>& response);
    // The request as sent: the session's headers and time-out, the upload's body.
    NSURLRequestPtr prepare(const NSURLRequestPtr& request);
    void completeSuccessfully();
    // Hands the running transfer to a new download task; false when the session makes no more tasks.
    bool becomeDownload(const std::shared_ptr<NSHTTPURLResponse>& response);
    // Ends the task without telling the delegate (a data task that became a download).
    void retire();

    // Download side (NSURLSessionDownloadTask), on the network thread.
    bool openDownloadFile(const std::shared_ptr<NSHTTPURLResponse>& response);
    bool writeDownload(const NSDataPtr& data);
    void finishDownload();
    void discardDownloadFile();
    Value resumeDataValue() const;
    // Why an answer's head is not the answer to the request sent ("" when it is): a 206 must be the
    // range asked for and, for a resumed download, the rest of the resource its file began.
    std::string answerRefusal(URLTransfer& transfer, const NSHTTPURLResponse& response);

    const Kind kind_;
    const unsigned long identifier_;
    const NSURLRequestPtr originalRequest_;

    mutable std::mutex mutex_;
    NSURLSessionPtr session_;  // held until the task completes
    std::weak_ptr<NSURLSession> weakSession_;
    NSURLRequestPtr currentRequest_;
    NSURLResponsePtr response_;
    NSErrorPtr error_;
    NSURLSessionTaskState state_ = NSURLSessionTaskStateSuspended;
    bool started_ = false;
    bool canceled_ = false;
    long long received_ = 0, sent_ = 0, expectedToSend_ = 0, expectedToReceive_ = NSURLSessionTransferSizeUnknown;

    // Network thread only.
    std::shared_ptr<URLTransfer> transfer_;
    NSURLRequestPtr followUp_;
    int redirects_ = 0;
    // Whether the current answer is the part its request asked for.
    NSHTTPPartialContent partialContent_;
    BodySource bodySource_ = BodySource::None;
    NSDataPtr bodyData_;
    std::string bodyFile_;  // device path
    // A download's file and what it resumes from.
    std::string filePath_;  // device path
    std::shared_ptr<NSOutputStream> file_;
    long long resumeOffset_ = 0;
    std::string validator_;  // ETag or Last-Modified of the partial file
    long long completeLength_ = -1;  // the resource's length as the file's first answer gave it (-1: unknown)
    bool keepFile_ = false;  // handed over as resume data
    long long written_ = 0;
    bool fromResumeData_ = false;
    // The download task a data task's transfer now feeds (response disposition "become download").
    std::shared_ptr<NSURLSessionTask> becameDownload_;
};

class NSURLSessionDataTask : public NSURLSessionTask {
protected:
    friend class NSURLSession;
    using NSURLSessionTask::NSURLSessionTask;
};

class NSURLSessionUploadTask : public NSURLSessionDataTask {
protected:
    friend class NSURLSession;
    using NSURLSessionDataTask::NSURLSessionDataTask;
};

class NSURLSessionDownloadTask : public NSURLSessionTask {
public:
    // Cancels the task; the handler gets, on the delegate queue, data to resume it from with
    // NSURLSession::downloadTaskWithResumeData (nil when it cannot be resumed: nothing received
    // yet, or the server gave no validator).
    void cancelByProducingResumeData(std::function<void(const NSDataPtr& resumeData)> handler);

protected:
    friend class NSURLSession;
    using NSURLSessionTask::NSURLSessionTask;
};

using NSURLSessionUploadTaskPtr = std::shared_ptr<NSURLSessionUploadTask>;

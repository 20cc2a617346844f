#pragma once
// Owns one URL session and is its delegate: makes tasks for the caller, gives each a task
// delegate (NKURLSessionManagerTaskDelegate) that gathers its outcome for the caller's handler,
// lets every delegate call be observed or answered by an optional hook, and posts notifications
// when a task it made resumes or suspends. Four optional delegate calls are offered to the
// session only while their hook is set, so that the session's own default applies otherwise.
//
// removeAllDelegates ends the tasks' "state" observations as well, so no task that outlives the
// manager's bookkeeping reaches it any more.

#include "netkit/NKSecurityPolicy.h"
#include "netkit/NKURLResponseSerialization.h"
#include "netkit/NKURLSessionManagerTaskDelegate.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSLock.h"
#include "platform/net/NSURLSession.h"
#include "platform/foundation/ThreadSafety.h"

#include <map>
#include <optional>
#include <vector>

class NKNetworkReachabilityManager;

extern const std::string NKNetworkingTaskDidResumeNotification;         // "com.netkit.networking.task.resume"
extern const std::string NKNetworkingTaskDidSuspendNotification;        // "com.netkit.networking.task.suspend"
extern const std::string NKURLSessionDidInvalidateNotification;         // "com.netkit.networking.session.invalidate"

class NKURLSessionManager : public NSObject, public NSURLSessionDelegate, public NSCoding {
public:
    using CompletionHandler = NKURLSessionManagerTaskDelegate::CompletionHandler;
    using DestinationBlock = std::function<NSURLPtr(const NSURLPtr& targetPath, const NSURLResponsePtr& response)>;

    // initWithSessionConfiguration: (nil: the default configuration).
    static std::shared_ptr<NKURLSessionManager> managerWithSessionConfiguration(const NSURLSessionConfigurationPtr& configuration);
    static std::shared_ptr<NKURLSessionManager> managerWithCoder(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    // A manager of the same class on the same configuration; nothing else is carried over.
    virtual std::shared_ptr<NKURLSessionManager> copy() const;
    std::string description() const override;
    ~NKURLSessionManager() override;

    const NSURLSessionPtr& session() const { return session_; }
    const std::shared_ptr<NSOperationQueue>& operationQueue() const { return operationQueue_; }
    const NSURLSessionConfigurationPtr& sessionConfiguration() const { return sessionConfiguration_; }
    std::shared_ptr<NKURLResponseSerialization> responseSerializer() const;
    virtual void setResponseSerializer(std::shared_ptr<NKURLResponseSerialization> serializer);
    std::shared_ptr<NKSecurityPolicy> securityPolicy;
    std::shared_ptr<NKNetworkReachabilityManager> reachabilityManager;
    dispatch_queue_t completionQueue() const;
    void setCompletionQueue(dispatch_queue_t queue);
    dispatch_group_t completionGroup() const;
    void setCompletionGroup(dispatch_group_t group);
    const std::shared_ptr<NSLock>& lock() const { return lock_; }

    // The session's current tasks; these wait for the session's answer on the delegate queue, so
    // they must not be called there.
    std::vector<NSURLSessionTaskPtr> tasks() { return tasksForKeyPath("tasks").value_or(std::vector<NSURLSessionTaskPtr>{}); }
    std::vector<NSURLSessionTaskPtr> dataTasks() { return tasksForKeyPath("dataTasks").value_or(std::vector<NSURLSessionTaskPtr>{}); }
    std::vector<NSURLSessionTaskPtr> uploadTasks() { return tasksForKeyPath("uploadTasks").value_or(std::vector<NSURLSessionTaskPtr>{}); }
    std::vector<NSURLSessionTaskPtr> downloadTasks() { return tasksForKeyPath("downloadTasks").value_or(std::vector<NSURLSessionTaskPtr>{}); }
    // Nil (nullopt) for an unknown key path.
    std::optional<std::vector<NSURLSessionTaskPtr>> tasksForKeyPath(const std::string& keyPath);

    void invalidateSessionCancelingTasks(bool cancelPendingTasks);

    // Task factories: the task is registered and returned suspended.
    NSURLSessionDataTaskPtr dataTaskWithRequest(const NSURLRequestPtr& request, CompletionHandler handler);
    NSURLSessionUploadTaskPtr uploadTaskWithRequestFromFile(const NSURLRequestPtr& request, const NSURLPtr& fileURL, NSProgressPtr* progress,
                                                           CompletionHandler handler);
    NSURLSessionUploadTaskPtr uploadTaskWithRequestFromData(const NSURLRequestPtr& request, const NSDataPtr& body, NSProgressPtr* progress,
                                                           CompletionHandler handler);
    NSURLSessionUploadTaskPtr uploadTaskWithStreamedRequest(const NSURLRequestPtr& request, NSProgressPtr* progress, CompletionHandler handler);
    NSURLSessionDownloadTaskPtr downloadTaskWithRequest(const NSURLRequestPtr& request, NSProgressPtr* progress, DestinationBlock destination,
                                                        CompletionHandler handler);
    NSURLSessionDownloadTaskPtr downloadTaskWithResumeData(const NSDataPtr& resumeData, NSProgressPtr* progress, DestinationBlock destination,
                                                           CompletionHandler handler);
    NSProgressPtr uploadProgressForTask(const NSURLSessionTaskPtr& task) const;
    NSProgressPtr downloadProgressForTask(const NSURLSessionTaskPtr& task) const;

    // Bookkeeping.
    std::shared_ptr<NKURLSessionManagerTaskDelegate> delegateForTask(const NSURLSessionTaskPtr& task) const;
    void setDelegateForTask(const std::shared_ptr<NKURLSessionManagerTaskDelegate>& delegate, const NSURLSessionTaskPtr& task);
    void removeDelegateForTask(const NSURLSessionTaskPtr& task);
    void removeAllDelegates();
    void addDelegateForDataTask(const NSURLSessionDataTaskPtr& task, CompletionHandler handler);
    void addDelegateForUploadTask(const NSURLSessionUploadTaskPtr& task, NSProgressPtr* progress, CompletionHandler handler);
    void addDelegateForDownloadTask(const NSURLSessionDownloadTaskPtr& task, NSProgressPtr* progress, DestinationBlock destination,
                                    CompletionHandler handler);

    // Hooks.
    using Credential = NSURLCredentialPtr;
    std::function<void(const NSURLSessionPtr&, const NSErrorPtr&)> sessionDidBecomeInvalid;
    std::function<NSURLSessionAuthChallengeDisposition(const NSURLSessionPtr&, const NSURLAuthenticationChallengePtr&, Credential*)>
        sessionDidReceiveAuthenticationChallenge;
    std::function<NSURLRequestPtr(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const std::shared_ptr<NSHTTPURLResponse>&,
                                  const NSURLRequestPtr&)>
        taskWillPerformHTTPRedirection;
    std::function<NSURLSessionAuthChallengeDisposition(const NSURLSessionPtr&, const NSURLSessionTaskPtr&,
                                                       const NSURLAuthenticationChallengePtr&, Credential*)>
        taskDidReceiveAuthenticationChallenge;
    std::function<std::shared_ptr<NSInputStream>(const NSURLSessionPtr&, const NSURLSessionTaskPtr&)> taskNeedNewBodyStream;
    std::function<void(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, long long, long long, long long)> taskDidSendBodyData;
    std::function<void(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSErrorPtr&)> taskDidComplete;
    std::function<NSURLSessionResponseDisposition(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLResponsePtr&)>
        dataTaskDidReceiveResponse;
    std::function<void(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLSessionDownloadTaskPtr&)> dataTaskDidBecomeDownloadTask;
    std::function<void(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSDataPtr&)> dataTaskDidReceiveData;
    std::function<NSCachedURLResponsePtr(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSCachedURLResponsePtr&)>
        dataTaskWillCacheResponse;
    std::function<void(const NSURLSessionPtr&)> didFinishEventsForBackgroundURLSession;
    std::function<NSURLPtr(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, const NSURLPtr&)> downloadTaskDidFinishDownloading;
    std::function<void(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, long long, long long, long long)> downloadTaskDidWriteData;
    std::function<void(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, long long, long long)> downloadTaskDidResume;

    // The session's delegate calls.
    bool respondsToSelector(std::string_view selector) const override;
    void URLSessionDidBecomeInvalidWithError(const NSURLSessionPtr&, const NSErrorPtr&) override;
    void URLSessionDidReceiveChallenge(const NSURLSessionPtr&, const NSURLAuthenticationChallengePtr&, ChallengeHandler) override;
    void URLSessionDidFinishEventsForBackgroundURLSession(const NSURLSessionPtr&) override;
    void URLSessionTaskWillPerformHTTPRedirection(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const std::shared_ptr<NSHTTPURLResponse>&,
                                                  const NSURLRequestPtr&, RedirectHandler) override;
    void URLSessionTaskDidReceiveChallenge(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSURLAuthenticationChallengePtr&,
                                           ChallengeHandler) override;
    void URLSessionTaskNeedNewBodyStream(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, BodyStreamHandler) override;
    void URLSessionTaskDidSendBodyData(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, long long, long long, long long) override;
    void URLSessionTaskDidCompleteWithError(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSErrorPtr&) override;
    void URLSessionDataTaskDidReceiveResponse(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLResponsePtr&, ResponseHandler) override;
    void URLSessionDataTaskDidBecomeDownloadTask(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLSessionDownloadTaskPtr&) override;
    void URLSessionDataTaskDidReceiveData(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSDataPtr&) override;
    void URLSessionDataTaskWillCacheResponse(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSCachedURLResponsePtr&,
                                             CacheHandler) override;
    void URLSessionDownloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, const NSURLPtr&) override;
    void URLSessionDownloadTaskDidWriteData(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, long long, long long, long long) override;
    void URLSessionDownloadTaskDidResumeAtOffset(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, long long, long long) override;

protected:
    NKURLSessionManager() = default;
    // The second half of initWithSessionConfiguration:, once the manager has its shared pointer.
    virtual void setUp(const NSURLSessionConfigurationPtr& configuration);
    // A fresh instance of the receiver's class, for copy().
    virtual std::shared_ptr<NKURLSessionManager> makeEmpty() const;

private:
    struct Entry {
        std::shared_ptr<NKURLSessionManagerTaskDelegate> delegate;
        std::weak_ptr<NSURLSessionTask> task;
        NSKeyValueObserving::ObserverToken observation = 0;
    };
    void taskStateChanged(const NSURLSessionTaskPtr& task);
    NSURLSessionAuthChallengeDisposition evaluateTrust(const NSURLAuthenticationChallengePtr& challenge, Credential* credential) const;

    NSURLSessionConfigurationPtr sessionConfiguration_;
    std::shared_ptr<NSOperationQueue> operationQueue_;
    NSURLSessionPtr session_;
    mutable Mutex settingsMutex_;
    std::shared_ptr<NKURLResponseSerialization> responseSerializer_ TD_GUARDED_BY(settingsMutex_);
    dispatch_queue_t completionQueue_ TD_GUARDED_BY(settingsMutex_);
    dispatch_group_t completionGroup_ TD_GUARDED_BY(settingsMutex_);
    std::shared_ptr<NSLock> lock_ = std::make_shared<NSLock>();
    std::map<unsigned long, Entry> mutableTaskDelegatesKeyedByTaskIdentifier_ TD_GUARDED_BY(*lock_);
};

// The manager as the session's delegate: each call goes to the task's delegate where it has one,
// then to the hook when set; calls that want an answer get the hook's, or the default.

#include "netkit/NKURLSessionManager.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSString.h"
#include "platform/net/NSURLAuthenticationChallenge.h"

namespace S = NSURLSessionSelector;

bool NKURLSessionManager::respondsToSelector(std::string_view selector) const {
    if (selector == S::WillPerformHTTPRedirection) return taskWillPerformHTTPRedirection != nullptr;
    if (selector == S::DidReceiveResponse) return dataTaskDidReceiveResponse != nullptr;
    if (selector == S::WillCacheResponse) return dataTaskWillCacheResponse != nullptr;
    if (selector == S::DidFinishEventsForBackground) return didFinishEventsForBackgroundURLSession != nullptr;
    return true;
}

void NKURLSessionManager::URLSessionDidBecomeInvalidWithError(const NSURLSessionPtr& session, const NSErrorPtr& error) {
    if (sessionDidBecomeInvalid) sessionDidBecomeInvalid(session, error);
    removeAllDelegates();
    NSNotificationCenter::defaultCenter()->postNotificationName(NKURLSessionDidInvalidateNotification, Value(session));
}

NSURLSessionAuthChallengeDisposition NKURLSessionManager::evaluateTrust(const NSURLAuthenticationChallengePtr& challenge,
                                                                       Credential* credential) const {
    const auto& space = challenge->protectionSpace();
    if (space->authenticationMethod() != NSURLAuthenticationMethodServerTrust) return NSURLSessionAuthChallengePerformDefaultHandling;
    auto policy = securityPolicy;
    if (!policy || !policy->evaluateServerTrustForDomain(space->serverTrust(), space->host())) {
        return NSURLSessionAuthChallengeCancelAuthenticationChallenge;
    }
    *credential = NSURLCredential::credentialForTrust(space->serverTrust());
    return NSURLSessionAuthChallengeUseCredential;
}

void NKURLSessionManager::URLSessionDidReceiveChallenge(const NSURLSessionPtr& session, const NSURLAuthenticationChallengePtr& challenge,
                                                        ChallengeHandler handler) {
    Credential credential;
    NSURLSessionAuthChallengeDisposition disposition;
    if (sessionDidReceiveAuthenticationChallenge) {
        disposition = sessionDidReceiveAuthenticationChallenge(session, challenge, &credential);
    } else {
        disposition = evaluateTrust(challenge, &credential);
        // At session level a trusted chain without a credential falls back to the default.
        if (disposition == NSURLSessionAuthChallengeUseCredential && !credential) disposition = NSURLSessionAuthChallengePerformDefaultHandling;
    }
    if (handler) handler(disposition, credential);
}

void NKURLSessionManager::URLSessionTaskDidReceiveChallenge(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                            const NSURLAuthenticationChallengePtr& challenge, ChallengeHandler handler) {
    Credential credential;
    NSURLSessionAuthChallengeDisposition disposition = taskDidReceiveAuthenticationChallenge
                                                           ? taskDidReceiveAuthenticationChallenge(session, task, challenge, &credential)
                                                           : evaluateTrust(challenge, &credential);
    if (handler) handler(disposition, credential);
}

void NKURLSessionManager::URLSessionDidFinishEventsForBackgroundURLSession(const NSURLSessionPtr& session) {
    if (didFinishEventsForBackgroundURLSession) didFinishEventsForBackgroundURLSession(session);
}

void NKURLSessionManager::URLSessionTaskWillPerformHTTPRedirection(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                                   const std::shared_ptr<NSHTTPURLResponse>& response,
                                                                   const NSURLRequestPtr& request, RedirectHandler handler) {
    NSURLRequestPtr next = taskWillPerformHTTPRedirection ? taskWillPerformHTTPRedirection(session, task, response, request) : request;
    if (handler) handler(next);
}

void NKURLSessionManager::URLSessionTaskNeedNewBodyStream(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                          BodyStreamHandler handler) {
    std::shared_ptr<NSInputStream> stream;
    if (taskNeedNewBodyStream) {
        stream = taskNeedNewBodyStream(session, task);
    } else if (task->originalRequest()) {
        // A fresh copy of the request's stream, which starts again from its first byte; a stream
        // that cannot be copied is handed over as it is.
        auto original = task->originalRequest()->HTTPBodyStream();
        stream = original ? original->copy() : nullptr;
        if (!stream) stream = original;
    }
    if (handler) handler(stream);
}

void NKURLSessionManager::URLSessionTaskDidSendBodyData(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task, long long bytesSent,
                                                        long long totalBytesSent, long long totalBytesExpectedToSend) {
    long long expected = totalBytesExpectedToSend;
    if (expected == NSURLSessionTransferSizeUnknown && task->originalRequest()) {
        std::string length = task->originalRequest()->valueForHTTPHeaderField("Content-Length");
        if (!length.empty()) expected = NSString::longLongValue(length);
    }
    if (auto delegate = delegateForTask(task)) delegate->URLSessionTaskDidSendBodyData(session, task, bytesSent, totalBytesSent, expected);
    if (taskDidSendBodyData) taskDidSendBodyData(session, task, bytesSent, totalBytesSent, expected);
}

void NKURLSessionManager::URLSessionTaskDidCompleteWithError(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                             const NSErrorPtr& error) {
    if (auto delegate = delegateForTask(task)) {
        delegate->URLSessionTaskDidCompleteWithError(session, task, error);
        removeDelegateForTask(task);
    }
    if (taskDidComplete) taskDidComplete(session, task, error);
}

void NKURLSessionManager::URLSessionDataTaskDidReceiveResponse(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                                               const NSURLResponsePtr& response, ResponseHandler handler) {
    NSURLSessionResponseDisposition disposition =
        dataTaskDidReceiveResponse ? dataTaskDidReceiveResponse(session, task, response) : NSURLSessionResponseAllow;
    if (handler) handler(disposition);
}

void NKURLSessionManager::URLSessionDataTaskDidBecomeDownloadTask(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& dataTask,
                                                                  const NSURLSessionDownloadTaskPtr& downloadTask) {
    if (auto delegate = delegateForTask(dataTask)) {
        removeDelegateForTask(dataTask);
        setDelegateForTask(delegate, downloadTask);
    }
    if (dataTaskDidBecomeDownloadTask) dataTaskDidBecomeDownloadTask(session, dataTask, downloadTask);
}

void NKURLSessionManager::URLSessionDataTaskDidReceiveData(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                                           const NSDataPtr& data) {
    if (auto delegate = delegateForTask(task)) delegate->URLSessionDataTaskDidReceiveData(session, task, data);
    if (dataTaskDidReceiveData) dataTaskDidReceiveData(session, task, data);
}

void NKURLSessionManager::URLSessionDataTaskWillCacheResponse(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                                              const NSCachedURLResponsePtr& proposed, CacheHandler handler) {
    NSCachedURLResponsePtr cached = dataTaskWillCacheResponse ? dataTaskWillCacheResponse(session, task, proposed) : proposed;
    if (handler) handler(cached);
}

void NKURLSessionManager::URLSessionDownloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                                                          const NSURLPtr& location) {
    if (auto delegate = delegateForTask(task)) {
        delegate->URLSessionDownloadTaskDidFinishDownloadingToURL(session, task, location);
        return;
    }
    if (!downloadTaskDidFinishDownloading) return;
    NSURLPtr destination = downloadTaskDidFinishDownloading(session, task, location);
    if (!destination) return;
    NSErrorPtr error;
    if (!NSFileManager::defaultManager()->moveItemAtPath(location->path(), destination->path(), &error)) {
        NSNotificationCenter::defaultCenter()->postNotificationName(NKURLSessionDownloadTaskDidFailToMoveFileNotification, Value(task),
                                                                    error ? error->userInfo() : Value::Dictionary{});
    }
}

void NKURLSessionManager::URLSessionDownloadTaskDidWriteData(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                                             long long bytesWritten, long long totalBytesWritten, long long totalBytesExpectedToWrite) {
    if (auto delegate = delegateForTask(task)) {
        delegate->URLSessionDownloadTaskDidWriteData(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    }
    if (downloadTaskDidWriteData) downloadTaskDidWriteData(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
}

void NKURLSessionManager::URLSessionDownloadTaskDidResumeAtOffset(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                                                  long long fileOffset, long long expectedTotalBytes) {
    if (auto delegate = delegateForTask(task)) delegate->URLSessionDownloadTaskDidResumeAtOffset(session, task, fileOffset, expectedTotalBytes);
    if (downloadTaskDidResume) downloadTaskDidResume(session, task, fileOffset, expectedTotalBytes);
}

#pragma once
// The delegate protocols of NSURLSession (session, task, data and download), as one class.
// Every method is optional: the session asks respondsToSelector() with the method's selector
// name before each call, and a delegate that does not respond gets the session's default. The
// default bodies here do that default too. Only the session-level challenge is not answered by
// default: a delegate that takes challenges there says so in respondsToSelector(); otherwise the
// task-level call gets them.
//
// A call with a completion handler holds its transfer until the handler is called; a handler that
// is dropped without being called answers as the default would.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSStream.h"
#include "platform/foundation/NSURL.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLAuthenticationChallenge.h"
#include "platform/net/NSURLRequest.h"

#include <functional>
#include <memory>
#include <string_view>

class NSURLSession;
class NSURLSessionTask;
class NSURLSessionDataTask;
class NSURLSessionDownloadTask;
using NSURLSessionPtr = std::shared_ptr<NSURLSession>;
using NSURLSessionTaskPtr = std::shared_ptr<NSURLSessionTask>;
using NSURLSessionDataTaskPtr = std::shared_ptr<NSURLSessionDataTask>;
using NSURLSessionDownloadTaskPtr = std::shared_ptr<NSURLSessionDownloadTask>;

enum NSURLSessionAuthChallengeDisposition : long {
    NSURLSessionAuthChallengeUseCredential = 0,
    NSURLSessionAuthChallengePerformDefaultHandling = 1,
    NSURLSessionAuthChallengeCancelAuthenticationChallenge = 2,
    NSURLSessionAuthChallengeRejectProtectionSpace = 3,
};

enum NSURLSessionResponseDisposition : long {
    NSURLSessionResponseCancel = 0,
    NSURLSessionResponseAllow = 1,
    NSURLSessionResponseBecomeDownload = 2,
};

// The selector names the session probes.
namespace NSURLSessionSelector {
inline constexpr std::string_view DidBecomeInvalid = "URLSession:didBecomeInvalidWithError:";
inline constexpr std::string_view DidReceiveChallenge = "URLSession:didReceiveChallenge:completionHandler:";
inline constexpr std::string_view DidFinishEventsForBackground = "URLSessionDidFinishEventsForBackgroundURLSession:";
inline constexpr std::string_view WillPerformHTTPRedirection = "URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:";
inline constexpr std::string_view TaskDidReceiveChallenge = "URLSession:task:didReceiveChallenge:completionHandler:";
inline constexpr std::string_view NeedNewBodyStream = "URLSession:task:needNewBodyStream:";
inline constexpr std::string_view DidSendBodyData = "URLSession:task:didSendBodyData:totalBytesSent:totalBytesExpectedToSend:";
inline constexpr std::string_view DidComplete = "URLSession:task:didCompleteWithError:";
inline constexpr std::string_view DidReceiveResponse = "URLSession:dataTask:didReceiveResponse:completionHandler:";
inline constexpr std::string_view DidBecomeDownloadTask = "URLSession:dataTask:didBecomeDownloadTask:";
inline constexpr std::string_view DidReceiveData = "URLSession:dataTask:didReceiveData:";
inline constexpr std::string_view WillCacheResponse = "URLSession:dataTask:willCacheResponse:completionHandler:";
inline constexpr std::string_view DidFinishDownloading = "URLSession:downloadTask:didFinishDownloadingToURL:";
inline constexpr std::string_view DidWriteData = "URLSession:downloadTask:didWriteData:totalBytesWritten:totalBytesExpectedToWrite:";
inline constexpr std::string_view DidResume = "URLSession:downloadTask:didResumeAtOffset:expectedTotalBytes:";
} // namespace NSURLSessionSelector

class NSURLSessionDelegate {
public:
    using ChallengeHandler = std::function<void(NSURLSessionAuthChallengeDisposition, const NSURLCredentialPtr&)>;
    using RedirectHandler = std::function<void(const NSURLRequestPtr&)>;
    using BodyStreamHandler = std::function<void(const std::shared_ptr<NSInputStream>&)>;
    using ResponseHandler = std::function<void(NSURLSessionResponseDisposition)>;
    using CacheHandler = std::function<void(const NSCachedURLResponsePtr&)>;

    virtual ~NSURLSessionDelegate() = default;
    // Every selector but DidReceiveChallenge by default.
    virtual bool respondsToSelector(std::string_view selector) const { return selector != NSURLSessionSelector::DidReceiveChallenge; }

    // Session.
    virtual void URLSessionDidBecomeInvalidWithError(const NSURLSessionPtr&, const NSErrorPtr&) {}
    virtual void URLSessionDidReceiveChallenge(const NSURLSessionPtr&, const NSURLAuthenticationChallengePtr&, ChallengeHandler handler) {
        handler(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
    }
    virtual void URLSessionDidFinishEventsForBackgroundURLSession(const NSURLSessionPtr&) {}

    // Task.
    virtual void URLSessionTaskWillPerformHTTPRedirection(const NSURLSessionPtr&, const NSURLSessionTaskPtr&,
                                                          const std::shared_ptr<NSHTTPURLResponse>&, const NSURLRequestPtr& request,
                                                          RedirectHandler handler) {
        handler(request);
    }
    virtual void URLSessionTaskDidReceiveChallenge(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSURLAuthenticationChallengePtr&,
                                                   ChallengeHandler handler) {
        handler(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
    }
    // Default: no stream, and the task fails.
    virtual void URLSessionTaskNeedNewBodyStream(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, BodyStreamHandler handler) {
        handler(nullptr);
    }
    virtual void URLSessionTaskDidSendBodyData(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, long long /*bytesSent*/,
                                               long long /*totalBytesSent*/, long long /*totalBytesExpectedToSend*/) {}
    virtual void URLSessionTaskDidCompleteWithError(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSErrorPtr&) {}

    // Data.
    virtual void URLSessionDataTaskDidReceiveResponse(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLResponsePtr&,
                                                      ResponseHandler handler) {
        handler(NSURLSessionResponseAllow);
    }
    virtual void URLSessionDataTaskDidBecomeDownloadTask(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&,
                                                         const NSURLSessionDownloadTaskPtr&) {}
    virtual void URLSessionDataTaskDidReceiveData(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSDataPtr&) {}
    virtual void URLSessionDataTaskWillCacheResponse(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&,
                                                     const NSCachedURLResponsePtr& proposed, CacheHandler handler) {
        handler(proposed);
    }

    // Download. The file at the location is deleted once this call returns, unless it was moved.
    virtual void URLSessionDownloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&,
                                                                 const NSURLPtr& /*location*/) {}
    virtual void URLSessionDownloadTaskDidWriteData(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, long long /*bytesWritten*/,
                                                    long long /*totalBytesWritten*/, long long /*totalBytesExpectedToWrite*/) {}
    virtual void URLSessionDownloadTaskDidResumeAtOffset(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, long long /*fileOffset*/,
                                                         long long /*expectedTotalBytes*/) {}
};

#pragma once
// URL sessions over the URL loader of a network thread the session owns: its tasks' transfers
// share that thread's curl multi handle (and so its kept-alive connections). Delegate calls run
// on the delegate queue one after another, in the order the session makes them; a call that
// takes a completion handler holds its transfer until the handler is called.
//
// Server trust is challenged for every request over TLS, also on a kept-alive connection: at
// session level when the delegate responds to it there, else at task level.
//
// The session holds its delegate until it is invalidated: finishTasksAndInvalidate() lets the
// running tasks end, invalidateAndCancel() cancels them; either way
// URLSessionDidBecomeInvalidWithError comes last and no task can be made any more (the factories
// then answer nil).

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSURL.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionConfiguration.h"
#include "platform/net/NSURLSessionDelegate.h"
#include "platform/net/NSURLSessionTask.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class NSOperationQueue;
class URLLoader;

class NSURLSession : public NSObject {
public:
    // A nil queue gives the session a serial queue of its own.
    static NSURLSessionPtr sessionWithConfiguration(const NSURLSessionConfigurationPtr& configuration,
                                                    const std::shared_ptr<NSURLSessionDelegate>& delegate,
                                                    const std::shared_ptr<NSOperationQueue>& delegateQueue);
    static NSURLSessionPtr sessionWithConfiguration(const NSURLSessionConfigurationPtr& configuration);
    ~NSURLSession() override;

    const NSURLSessionConfigurationPtr& configuration() const { return configuration_; }
    std::shared_ptr<NSURLSessionDelegate> delegate() const;
    const std::shared_ptr<NSOperationQueue>& delegateQueue() const { return delegateQueue_; }

    NSURLSessionDataTaskPtr dataTaskWithRequest(const NSURLRequestPtr& request);
    NSURLSessionDataTaskPtr dataTaskWithURL(const NSURLPtr& url);
    NSURLSessionUploadTaskPtr uploadTaskWithRequestFromFile(const NSURLRequestPtr& request, const NSURLPtr& fileURL);
    NSURLSessionUploadTaskPtr uploadTaskWithRequestFromData(const NSURLRequestPtr& request, const NSDataPtr& body);
    // The body comes from URLSessionTaskNeedNewBodyStream, asked at every start and resend.
    NSURLSessionUploadTaskPtr uploadTaskWithStreamedRequest(const NSURLRequestPtr& request);
    NSURLSessionDownloadTaskPtr downloadTaskWithRequest(const NSURLRequestPtr& request);
    NSURLSessionDownloadTaskPtr downloadTaskWithURL(const NSURLPtr& url);
    // Data from cancelByProducingResumeData (or a failed download's error); the task fails with
    // NSURLErrorCannotOpenFile when its partial file is gone, NSURLErrorUnsupportedURL when the
    // data is no resume data.
    NSURLSessionDownloadTaskPtr downloadTaskWithResumeData(const NSDataPtr& resumeData);

    using TasksHandler = std::function<void(const std::vector<NSURLSessionDataTaskPtr>& dataTasks,
                                            const std::vector<NSURLSessionUploadTaskPtr>& uploadTasks,
                                            const std::vector<NSURLSessionDownloadTaskPtr>& downloadTasks)>;
    // The tasks that have not completed, on the delegate queue.
    void getTasksWithCompletionHandler(TasksHandler handler);

    void finishTasksAndInvalidate();
    void invalidateAndCancel();

    // Whether the application runs in the background (told by the application layer): a
    // background session whose last task ends then tells its delegate that its events are done.
    static void setApplicationInBackground(bool background);

private:
    friend class NSURLSessionTask;
    friend class NSURLSessionDownloadTask;
    NSURLSession(NSURLSessionConfigurationPtr configuration, std::shared_ptr<NSURLSessionDelegate> delegate,
                 std::shared_ptr<NSOperationQueue> delegateQueue);
    void setUp();

    template <class Task>
    std::shared_ptr<Task> makeTask(NSURLSessionTask::Kind kind, const NSURLRequestPtr& request);
    // Runs the block on the network thread. A session whose thread could not be started (for want
    // of memory) runs it at once: its tasks fail before any transfer, so nothing else runs them.
    void performOnLoop(std::function<void()> block);
    // The loader, made now if memory ran out when the session was made; nil while it still cannot
    // be made. On the network thread.
    const std::shared_ptr<URLLoader>& loaderOnLoop();
    const std::shared_ptr<URLLoader>& loader() const { return loader_; }

    // Runs the call on the delegate queue after every call enqueued before it.
    void enqueue(std::function<void()> call);
    void drain();
    // The delegate when it responds to the selector, else nil.
    std::shared_ptr<NSURLSessionDelegate> responder(std::string_view selector) const;
    // Calls the delegate on its queue and waits (on the network thread) for the answer given to
    // the handler; the fallback when the handler is dropped unanswered or the task is canceled.
    template <class Answer>
    Answer ask(const NSURLSessionTask& task, Answer fallback, std::function<void(std::function<void(Answer)>)> call);
    // Wakes every ask() so that a canceled task's stops waiting.
    void wakeAsks();
    void taskDidComplete(const NSURLSessionTaskPtr& task);
    void becomeInvalidIfDone();

    const NSURLSessionConfigurationPtr configuration_;
    std::shared_ptr<NSOperationQueue> delegateQueue_;
    std::shared_ptr<NSRunLoop> runLoop_;
    std::shared_ptr<URLLoader> loader_;

    mutable std::mutex mutex_;
    std::shared_ptr<NSURLSessionDelegate> delegate_;
    std::map<unsigned long, NSURLSessionTaskPtr> tasks_;  // not yet completed
    unsigned long nextIdentifier_ = 1;
    bool invalidating_ = false;
    bool invalid_ = false;
    std::deque<std::function<void()>> calls_;
    bool draining_ = false;

    struct AskBoard {
        std::mutex mutex;
        std::condition_variable changed;
    };
    std::shared_ptr<AskBoard> board_ = std::make_shared<AskBoard>();
};

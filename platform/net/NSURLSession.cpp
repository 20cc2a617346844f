#include "platform/net/NSURLSession.h"

#include "platform/dispatch/NSOperationQueue.h"
#include "platform/foundation/NSThread.h"
#include "platform/net/URLLoader.h"

#include <atomic>
#include <exception>
#include <new>

namespace {

std::atomic<bool> applicationInBackground{false};

// The thread serves for the rest of the process, like the loader of its run loop.
std::shared_ptr<NSRunLoop> startNetworkThread() { return NSThread::startServiceThread("com.apple.NSURLSession-work")->runLoop(); }

} // namespace

void NSURLSession::setApplicationInBackground(bool background) { applicationInBackground = background; }

NSURLSessionPtr NSURLSession::sessionWithConfiguration(const NSURLSessionConfigurationPtr& configuration,
                                                       const std::shared_ptr<NSURLSessionDelegate>& delegate,
                                                       const std::shared_ptr<NSOperationQueue>& delegateQueue) {
    auto queue = delegateQueue;
    if (!queue) {
        queue = std::make_shared<NSOperationQueue>();
        queue->setMaxConcurrentOperationCount(1);
    }
    NSURLSessionPtr session(new NSURLSession(configuration ? configuration->copy() : NSURLSessionConfiguration::defaultSessionConfiguration(),
                                             delegate, queue));
    session->setUp();
    return session;
}

NSURLSessionPtr NSURLSession::sessionWithConfiguration(const NSURLSessionConfigurationPtr& configuration) {
    return sessionWithConfiguration(configuration, nullptr, nullptr);
}

NSURLSession::NSURLSession(NSURLSessionConfigurationPtr configuration, std::shared_ptr<NSURLSessionDelegate> delegate,
                           std::shared_ptr<NSOperationQueue> delegateQueue)
    : configuration_(std::move(configuration)), delegateQueue_(std::move(delegateQueue)), delegate_(std::move(delegate)) {}

NSURLSession::~NSURLSession() = default;

void NSURLSession::setUp() {
    // Out of memory (or threads) here fails the session's tasks when they start, not the process.
    try {
        runLoop_ = startNetworkThread();
    } catch (const std::exception&) {
        return;
    }
    try {
        loader_ = URLLoader::forRunLoop(runLoop_);
    } catch (const std::bad_alloc&) {
    }
}

void NSURLSession::performOnLoop(std::function<void()> block) {
    if (runLoop_) {
        runLoop_->performBlock(std::move(block));
    } else {
        block();
    }
}

const std::shared_ptr<URLLoader>& NSURLSession::loaderOnLoop() {
    if (!loader_ && runLoop_) {
        try {
            loader_ = URLLoader::forRunLoop(runLoop_);
        } catch (const std::bad_alloc&) {
        }
    }
    return loader_;
}

std::shared_ptr<NSURLSessionDelegate> NSURLSession::delegate() const {
    std::lock_guard guard(mutex_);
    return delegate_;
}

// MARK: - Tasks

template <class Task>
std::shared_ptr<Task> NSURLSession::makeTask(NSURLSessionTask::Kind kind, const NSURLRequestPtr& request) {
    std::lock_guard guard(mutex_);
    if (invalidating_ || invalid_) return nullptr;
    std::shared_ptr<Task> task(new Task(kind, nextIdentifier_++, self<NSURLSession>(), request ? request->copy() : nullptr));
    tasks_[task->taskIdentifier()] = task;
    return task;
}

NSURLSessionDataTaskPtr NSURLSession::dataTaskWithRequest(const NSURLRequestPtr& request) {
    return makeTask<NSURLSessionDataTask>(NSURLSessionTask::Kind::Data, request);
}

NSURLSessionDataTaskPtr NSURLSession::dataTaskWithURL(const NSURLPtr& url) { return dataTaskWithRequest(NSURLRequest::requestWithURL(url)); }

NSURLSessionUploadTaskPtr NSURLSession::uploadTaskWithRequestFromFile(const NSURLRequestPtr& request, const NSURLPtr& fileURL) {
    auto task = makeTask<NSURLSessionUploadTask>(NSURLSessionTask::Kind::Upload, request);
    if (!task) return nullptr;
    task->bodySource_ = NSURLSessionTask::BodySource::File;
    task->bodyFile_ = fileURL ? fileURL->path() : std::string();
    return task;
}

NSURLSessionUploadTaskPtr NSURLSession::uploadTaskWithRequestFromData(const NSURLRequestPtr& request, const NSDataPtr& body) {
    auto task = makeTask<NSURLSessionUploadTask>(NSURLSessionTask::Kind::Upload, request);
    if (!task) return nullptr;
    task->bodySource_ = NSURLSessionTask::BodySource::Data;
    task->bodyData_ = body ? body : NSData::data();
    task->expectedToSend_ = static_cast<long long>(task->bodyData_->length());
    return task;
}

NSURLSessionUploadTaskPtr NSURLSession::uploadTaskWithStreamedRequest(const NSURLRequestPtr& request) {
    auto task = makeTask<NSURLSessionUploadTask>(NSURLSessionTask::Kind::Upload, request);
    if (!task) return nullptr;
    task->bodySource_ = NSURLSessionTask::BodySource::Stream;
    task->expectedToSend_ = NSURLSessionTransferSizeUnknown;
    return task;
}

NSURLSessionDownloadTaskPtr NSURLSession::downloadTaskWithRequest(const NSURLRequestPtr& request) {
    return makeTask<NSURLSessionDownloadTask>(NSURLSessionTask::Kind::Download, request);
}

NSURLSessionDownloadTaskPtr NSURLSession::downloadTaskWithURL(const NSURLPtr& url) {
    return downloadTaskWithRequest(NSURLRequest::requestWithURL(url));
}

void NSURLSession::getTasksWithCompletionHandler(TasksHandler handler) {
    std::vector<NSURLSessionDataTaskPtr> data;
    std::vector<NSURLSessionUploadTaskPtr> uploads;
    std::vector<NSURLSessionDownloadTaskPtr> downloads;
    {
        std::lock_guard guard(mutex_);
        for (const auto& [identifier, task] : tasks_) {
            if (task->state() == NSURLSessionTaskStateCompleted) continue;
            switch (task->kind()) {
            case NSURLSessionTask::Kind::Data: data.push_back(std::static_pointer_cast<NSURLSessionDataTask>(task)); break;
            case NSURLSessionTask::Kind::Upload: uploads.push_back(std::static_pointer_cast<NSURLSessionUploadTask>(task)); break;
            case NSURLSessionTask::Kind::Download: downloads.push_back(std::static_pointer_cast<NSURLSessionDownloadTask>(task)); break;
            }
        }
    }
    enqueue([handler = std::move(handler), data, uploads, downloads] {
        if (handler) handler(data, uploads, downloads);
    });
}

// MARK: - The delegate queue

void NSURLSession::enqueue(std::function<void()> call) {
    std::lock_guard guard(mutex_);
    calls_.push_back(std::move(call));
    if (draining_) return;
    draining_ = true;
    auto self = this->self<NSURLSession>();
    delegateQueue_->addOperationWithBlock([self] { self->drain(); });
}

void NSURLSession::drain() {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard guard(mutex_);
            if (calls_.empty()) {
                draining_ = false;
                return;
            }
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
    }
}

std::shared_ptr<NSURLSessionDelegate> NSURLSession::responder(std::string_view selector) const {
    auto delegate = this->delegate();
    return delegate && delegate->respondsToSelector(selector) ? delegate : nullptr;
}

void NSURLSession::wakeAsks() {
    std::lock_guard guard(board_->mutex);
    board_->changed.notify_all();
}

// MARK: - Invalidation

void NSURLSession::finishTasksAndInvalidate() {
    {
        std::lock_guard guard(mutex_);
        if (invalidating_) return;
        invalidating_ = true;
    }
    becomeInvalidIfDone();
}

void NSURLSession::invalidateAndCancel() {
    std::vector<NSURLSessionTaskPtr> running;
    {
        std::lock_guard guard(mutex_);
        if (invalidating_) return;
        invalidating_ = true;
        for (const auto& [identifier, task] : tasks_) running.push_back(task);
    }
    for (const auto& task : running) task->cancel();
    becomeInvalidIfDone();
}

void NSURLSession::taskDidComplete(const NSURLSessionTaskPtr& task) {
    bool lastInBackground = false;
    {
        std::lock_guard guard(mutex_);
        tasks_.erase(task->taskIdentifier());
        lastInBackground = tasks_.empty() && configuration_->isBackground() && applicationInBackground;
    }
    if (lastInBackground) {
        auto self = this->self<NSURLSession>();
        enqueue([self] {
            if (auto delegate = self->responder(NSURLSessionSelector::DidFinishEventsForBackground)) {
                delegate->URLSessionDidFinishEventsForBackgroundURLSession(self);
            }
        });
    }
    becomeInvalidIfDone();
}

void NSURLSession::becomeInvalidIfDone() {
    {
        std::lock_guard guard(mutex_);
        if (!invalidating_ || invalid_ || !tasks_.empty()) return;
        invalid_ = true;
    }
    auto self = this->self<NSURLSession>();
    enqueue([self] {
        std::shared_ptr<NSURLSessionDelegate> delegate;
        {
            std::lock_guard guard(self->mutex_);
            delegate = std::move(self->delegate_);
        }
        if (delegate && delegate->respondsToSelector(NSURLSessionSelector::DidBecomeInvalid)) {
            delegate->URLSessionDidBecomeInvalidWithError(self, nullptr);
        }
    });
}

// A data task that becomes a download makes its download task on the network thread.
template std::shared_ptr<NSURLSessionDownloadTask> NSURLSession::makeTask<NSURLSessionDownloadTask>(NSURLSessionTask::Kind,
                                                                                                   const NSURLRequestPtr&);
